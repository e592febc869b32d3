"""A pointer and keyboard driven through wayvnc's virtual ones as a VNC client drives them (RFB
pointer and key events): real input, where `swaymsg seat - cursor` moves the cursor without the
motion that a client holding a button is sent. Reads commands, one a line, and answers each with
"ok" once sent:
  set X Y | move DX DY    absolute position | motion from the last one (stopped at 0)
  press|release B         B = 1 (left), 2 (middle), 3 (right)
  key KEYSYM 1|0          an X keysym (hexadecimal) down or up
"""
import socket
import struct
import sys
import time

s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))


def read(n):
    b = b""
    while len(b) < n:
        more = s.recv(n - len(b))
        assert more, "wayvnc closed the connection"
        b += more
    return b


s.sendall(read(12))  # the server's protocol version, agreed to
assert 1 in read(read(1)[0]), "wayvnc asks for authentication"
s.sendall(b"\x01")
assert read(4) == b"\0\0\0\0", "wayvnc refused the connection"
s.sendall(b"\x01")  # shared
read(20)
read(struct.unpack(">I", read(4))[0])  # the desktop's name
print("ok", flush=True)
x = y = buttons = 0
MASK = {"1": 1, "2": 2, "3": 4}
for line in sys.stdin:
    word = line.split()
    if not word:
        continue
    if word[0] == "key":
        s.sendall(struct.pack(">BBxxI", 4, int(word[2]), int(word[1], 16)))
    else:
        if word[0] == "set":
            x, y = int(word[1]), int(word[2])
        elif word[0] == "move":
            x, y = x + int(word[1]), y + int(word[2])
        elif word[0] == "press":
            buttons |= MASK[word[1]]
        elif word[0] == "release":
            buttons &= ~MASK[word[1]]
        x, y = max(x, 0), max(y, 0)
        s.sendall(struct.pack(">BBHH", 5, buttons, x, y))
    time.sleep(0.02)
    print("ok", flush=True)
