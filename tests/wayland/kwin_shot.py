#!/usr/bin/python3
"""A screenshot of KWin's screen at its own resolution, through its ScreenShot2 D-Bus interface,
written as a PPM image to standard output: how the tests look at what KWin shows where no other
client may capture the screen. KWin answers only a program that a desktop entry allows
(X-KDE-DBUS-Restricted-Interfaces), unless its permission checks are off."""
import os
import sys

from gi.repository import Gio, GLib

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
r, w = os.pipe()
fds = Gio.UnixFDList.new()
fds.append(w)
os.close(w)
reply, _ = bus.call_with_unix_fd_list_sync(
    "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", "CaptureActiveScreen",
    GLib.Variant("(a{sv}h)", ({"native-resolution": GLib.Variant("b", True)}, 0)),
    GLib.VariantType("(a{sv})"), Gio.DBusCallFlags.NONE, 10000, fds, None)
del fds  # KWin's copy is the only writer left: the pipe ends when it has written
meta = reply.unpack()[0]
data = bytearray()
while chunk := os.read(r, 1 << 16):
    data += chunk
width, height, stride = meta["width"], meta["height"], meta["stride"]
# 32 bits a pixel, B G R A in memory (QImage's ARGB32 formats), opaque on screen.
out = bytearray()
for y in range(height):
    row = data[y * stride:y * stride + 4 * width]
    out += bytes(c for x in range(0, len(row), 4) for c in (row[x + 2], row[x + 1], row[x]))
sys.stdout.buffer.write(b"P6 %d %d 255\n" % (width, height) + out)
