"""A pointer driven through Mutter's own remote-desktop input, on one D-Bus connection (the
session lives as long as the connection that made it). Reads commands, one a line, and answers
each with "ok" once sent:
  move DX DY          relative motion
  press|release B     B = 1 (left), 2 (middle), 3 (right)
"""
import sys

from gi.repository import Gio, GLib

BUS = "org.gnome.Mutter.RemoteDesktop"
CODES = {"1": 0x110, "2": 0x112, "3": 0x111}  # evdev BTN_LEFT, BTN_MIDDLE, BTN_RIGHT

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)


def call(path, iface, method, args=None, reply=None):
    return bus.call_sync(BUS, path, iface, method, args, reply, Gio.DBusCallFlags.NONE, -1, None)


path = call("/org/gnome/Mutter/RemoteDesktop", BUS, "CreateSession",
            reply=GLib.VariantType("(o)")).unpack()[0]
session = BUS + ".Session"
call(path, session, "Start")
print("ok", flush=True)
for line in sys.stdin:
    word = line.split()
    if not word:
        continue
    if word[0] == "move":
        call(path, session, "NotifyPointerMotionRelative",
             GLib.Variant("(dd)", (float(word[1]), float(word[2]))))
    elif word[0] in ("press", "release"):
        call(path, session, "NotifyPointerButton",
             GLib.Variant("(ib)", (CODES[word[1]], word[0] == "press")))
    print("ok", flush=True)
call(path, session, "Stop")
