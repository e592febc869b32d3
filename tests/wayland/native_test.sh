# End to end: the native Wayland clock under a headless sway, as a person would see and use it.
# Usage: native_test.sh BRUMO
#
# sway will not run as root, so it and its clients run as an unprivileged user of their own
# (created when missing), in a runtime directory of the test's own. The helpers below can be
# sourced by a script that runs other compositors:
#
#   wl_start_sway             sway headless at 1280x800 with wayvnc giving its seat a pointer and
#                             a keyboard; sets WL_RUNTIME, WL_SOCKET, SWAYSOCK
#   wl_as CMD...              runs CMD as the compositor's user, in its session's environment
#   wl_msg ARGS...            swaymsg ARGS
#   wl_start_brumo [TIME]     the clock (its clock frozen at TIME); sets BRUMO_PID
#   wl_shot FILE              a screenshot (grim), once the clock's frame is on it
#   wl_clock_box FILE         "X Y W H" of the clock's frame in the screenshot
#   wl_pointer X,Y,BUTTONS... the pointer through wayvnc
#   wl_drag BUTTON X Y DX DY  presses BUTTON (1, 2, 3) at X,Y, moves by DX,DY, releases, moves on
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/session.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/colons.sh"

WL_USER=brumo-wl
FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n1 || true)

# WL_AS: the command that runs what follows it as the compositor's user, so that a process
# started in the background with it is that process itself (its PID the one to end).
wl_as_prefix() {
  WL_AS=(setpriv --reuid="$WL_USER" --regid="$WL_USER" --init-groups
    env -i PATH=/usr/bin:/bin HOME="$WL_HOME" XDG_RUNTIME_DIR="$WL_RUNTIME")
  [ -z "${WL_SOCKET:-}" ] || WL_AS+=("WAYLAND_DISPLAY=$WL_SOCKET")
  [ -z "${SWAYSOCK:-}" ] || WL_AS+=("SWAYSOCK=$SWAYSOCK")
  [ -z "${WL_DISPLAY:-}" ] || WL_AS+=("DISPLAY=$WL_DISPLAY")
}

wl_as() {
  wl_as_prefix
  "${WL_AS[@]}" "$@"
}

wl_msg() { wl_as swaymsg "$@"; }

wl_start_sway() {
  local i
  id "$WL_USER" >/dev/null 2>&1 || useradd -m "$WL_USER" || fail "cannot create user $WL_USER"
  WL_HOME=$(getent passwd "$WL_USER" | cut -d: -f6)
  WL_RUNTIME="$E2E_TMP/runtime"
  mkdir -m 700 "$WL_RUNTIME"
  chown "$WL_USER:" "$WL_RUNTIME"
  chmod 755 "$E2E_TMP"
  # A plain background, no bar, and no binding that would take Alt+F4 from the clock.
  cat >"$E2E_TMP/sway.conf" <<'EOF'
output * bg #336699 solid_color
output HEADLESS-1 mode 1280x800
xwayland enable
focus_follows_mouse no
for_window [app_id="foot"] floating enable, move position 0 0, resize set 600 300
for_window [class="Xmessage"] floating enable, move position 0 0
EOF
  WL_SOCKET="" SWAYSOCK="" wl_as_prefix
  "${WL_AS[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman sway -c "$E2E_TMP/sway.conf" >"$E2E_TMP/sway.log" 2>&1 &
  track $!
  for i in $(seq 100); do
    SWAYSOCK=$(ls "$WL_RUNTIME"/sway-ipc.*.sock 2>/dev/null | head -n1 || true)
    WL_SOCKET=$(cd "$WL_RUNTIME" && ls wayland-* 2>/dev/null | grep -v lock | head -n1 || true)
    [ -n "$SWAYSOCK" ] && [ -n "$WL_SOCKET" ] && wl_msg -t get_outputs >/dev/null 2>&1 && break
    sleep 0.1
  done
  wl_msg -t get_outputs >/dev/null 2>&1 || fail "sway did not start: $(tail -5 "$E2E_TMP/sway.log")"
  # A port of its own: other tests may run a VNC server too.
  WL_VNC_PORT=$((20000 + RANDOM % 20000))
  wl_as_prefix
  "${WL_AS[@]}" wayvnc 127.0.0.1 "$WL_VNC_PORT" >"$E2E_TMP/wayvnc.log" 2>&1 &
  track $!
  for i in $(seq 100); do
    wl_msg -t get_inputs 2>/dev/null | grep -q '"pointer"' && break
    sleep 0.1
  done
  wl_msg -t get_inputs | grep -q '"pointer"' || fail "no pointer on the seat: $(cat "$E2E_TMP/wayvnc.log")"
}

wl_start_brumo() {
  local at=${1:-} fake=()
  if [ -n "$at" ]; then
    [ -n "$FAKETIME_LIB" ] || fail "libfaketime is not installed (package faketime)"
    fake=(LD_PRELOAD="$FAKETIME_LIB" FAKETIME="$at" FAKETIME_DONT_FAKE_MONOTONIC=1)
  fi
  wl_as_prefix
  "${WL_AS[@]}" "${fake[@]}" "$BRUMO" 2>>"$E2E_TMP/brumo.err" &
  BRUMO_PID=$!
  track "$BRUMO_PID"
}

# The screenshot's pixels as "X Y R G B" lines.
wl_pixels() {
  convert "$1" -crop "${4}x${5}+${2}+${3}" +repage -depth 8 txt:- |
    awk -v ox="$2" -v oy="$3" -F'[,:() ]+' '!/^#/ {print $1 + ox, $2 + oy, $3, $4, $5}'
}

# The frame's box: its outer light edge (227) at the top-left, its dark edge (105) at the
# bottom-right, found along the row and the column through the frame's top-left corner.
wl_clock_box() {
  convert "$1" -depth 8 ppm:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
magic, w, h, maxval, pixels = data.split(maxsplit=4)
w, h = int(w), int(h)
at = -1
while True:
    at = pixels.find(b"\xe3\xe3\xe3", at + 1)
    if at < 0: sys.exit(1)
    if at % 3 == 0: break
x, y = at // 3 % w, at // 3 // w
px = lambda x, y: pixels[3 * (y * w + x):3 * (y * w + x) + 3]
r = x
dark = b"\x69\x69\x69"  # the outer dark edge, as wide as the scale
while r < w and px(r, y + 4) != dark: r += 1
while r + 1 < w and px(r + 1, y + 4) == dark: r += 1
b = y
while b < h and px(x + 4, b) != dark: b += 1
while b + 1 < h and px(x + 4, b + 1) == dark: b += 1
print(x, y, r - x + 1, b - y + 1)'
}

wl_shot() {
  local i
  for i in $(seq 50); do
    wl_as grim - >"$1" 2>/dev/null && wl_clock_box "$1" >/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# The pointer, through wayvnc's virtual pointer as a VNC client would move it (RFB pointer events):
# real pointer motion, which `swaymsg seat - cursor` does not send to clients. Each argument is
# "X,Y,BUTTONS" (BUTTONS: 1 left, 2 middle, 4 right held) or "key:KEYSYM:1|0" (a key down or
# up, its X keysym in hexadecimal), sent 20 ms apart.
wl_pointer() {
  python3 - "$WL_VNC_PORT" "$@" <<'PY'
import socket, struct, sys, time
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
def read(n):
    b = b""
    while len(b) < n:
        b += s.recv(n - len(b))
    return b
s.sendall(read(12))  # the server's protocol version, agreed to
types = read(read(1)[0])
assert 1 in types, "wayvnc asks for authentication"
s.sendall(b"\x01")
assert read(4) == b"\0\0\0\0", "wayvnc refused the connection"
s.sendall(b"\x01")  # shared
read(20)
read(struct.unpack(">I", read(4))[0])  # the desktop's name
for step in sys.argv[2:]:
    if step.startswith("key:"):  # key:KEYSYM:1 down, key:KEYSYM:0 up
        _, sym, down = step.split(":")
        s.sendall(struct.pack(">BBxxI", 4, int(down), int(sym, 16)))
        time.sleep(0.02)
        continue
    x, y, buttons = map(int, step.split(","))
    x, y = max(x, 0), max(y, 0)  # the pointer stops at the output's edge
    s.sendall(struct.pack(">BBHH", 5, buttons, x, y))
    time.sleep(0.02)
time.sleep(0.2)
PY
}

wl_drag() {
  local button=$1 x=$2 y=$3 dx=$4 dy=$5 i n mask steps=()
  mask=$((button == 3 ? 4 : button))
  steps+=("$x,$y,0" "$x,$y,$mask")
  n=10
  for i in $(seq "$n"); do steps+=("$((x + dx * i / n)),$((y + dy * i / n)),$mask"); done
  # Released, and the pointer moves on: a move that outlived its button would follow it.
  steps+=("$((x + dx)),$((y + dy)),0" "$((x + dx + 37)),$((y + dy + 23)),0" "640,500,0")
  wl_pointer "${steps[@]}"
  sleep 0.3
}

# Succeeds once PID has ended (within 5 s), with STATUS its exit status.
wl_ended() {
  local i
  for i in $(seq 100); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$1" 2>/dev/null && return 1
  STATUS=0
  wait "$1" 2>/dev/null || STATUS=$?
}

# Fails unless "$1" equals "$2", naming what was compared.
expect_eq() { [ "$1" = "$2" ] || fail "${3:-value}: got '$1', expected '$2'"; }

[ "${BASH_SOURCE[0]}" = "$0" ] || return 0

BRUMO=$(readlink -f "${1:-}")
[ -x "$BRUMO" ] || fail "no program to test: pass the path of brumo"
for tool in sway swaymsg wayvnc grim convert setpriv; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done

wl_start_sway
# Started as the session starts programs: with Xwayland's DISPLAY too, whose manager does not
# keep windows above, so that the clock picks its native shell.
wl_msg exec 'echo "$DISPLAY" >"$XDG_RUNTIME_DIR/display"' >/dev/null
for _ in $(seq 50); do [ -s "$WL_RUNTIME/display" ] && break; sleep 0.1; done
WL_DISPLAY=$(cat "$WL_RUNTIME/display")
[ -n "$WL_DISPLAY" ] || fail "sway started no Xwayland"

# Its size, at the usable area's top-left corner; the colons apart from the digits.
wl_start_brumo
wl_shot "$E2E_TMP/start.png" || fail "no clock on screen; stderr: $(cat "$E2E_TMP/brumo.err")"
expect_eq "$(wl_clock_box "$E2E_TMP/start.png")" "0 0 330 32" "the clock's box at start"
wl_pixels "$E2E_TMP/start.png" 3 3 324 26 >"$E2E_TMP/client.txt"
awk '{print $1 - 3, $2 - 3, $3, $4, $5}' "$E2E_TMP/client.txt" >"$E2E_TMP/client0.txt"
colons_apart "$E2E_TMP/client0.txt" 96
echo "PASS: native, 330 x 32 at the top-left"

# A second copy ends at once, with nothing shown.
wl_as_prefix
timeout 5 "${WL_AS[@]}" "$BRUMO" 2>>"$E2E_TMP/brumo.err" || fail "a second copy failed or stayed: $?"
echo "PASS: a second copy ends at once"

# Above a focused floating window, native and X11; on another workspace.
for app in foot "xmessage -geometry 600x300+0+0 covering"; do
  wl_msg exec "$app" >/dev/null
  sleep 1.5
  wl_shot "$E2E_TMP/covered.png" || fail "covered by a focused floating $app"
  expect_eq "$(wl_clock_box "$E2E_TMP/covered.png")" "0 0 330 32" "the clock over $app"
  wl_msg kill >/dev/null
done
wl_msg workspace 2 >/dev/null
sleep 0.5
wl_shot "$E2E_TMP/workspace.png" || fail "not on another workspace"
echo "PASS: above focused floating windows (foot, xmessage) and on another workspace"

# Every button drags it by the pointer's travel, and the move ends with the button.
x=0 y=0
for move in "1 120 130" "2 -60 200" "3 400 -150"; do
  read -r button dx dy <<<"$move"
  wl_drag "$button" $((x + 100)) $((y + 10)) "$dx" "$dy"
  x=$((x + dx)) y=$((y + dy))
  wl_shot "$E2E_TMP/drag.png" || fail "gone after a drag"
  expect_eq "$(wl_clock_box "$E2E_TMP/drag.png")" "$x $y 330 32" "after a drag with button $button"
done
wl_drag 1 $((x + 100)) $((y + 10)) -2000 2000
wl_shot "$E2E_TMP/drag.png"
expect_eq "$(wl_clock_box "$E2E_TMP/drag.png")" "0 768 330 32" "dragged past the output's corner"
echo "PASS: drags with buttons 1, 2 and 3, kept on the output"
wl_drag 1 100 778 0 -2000

# Sharp at scale 2: twice the pixels, laid out again, the colons apart.
wl_msg output HEADLESS-1 scale 2 >/dev/null
sleep 1
wl_shot "$E2E_TMP/scale2.png" || fail "no clock at scale 2"
read -r x y w h < <(wl_clock_box "$E2E_TMP/scale2.png")
expect_eq "$w $h" "660 64" "the clock's pixels at scale 2"
wl_pixels "$E2E_TMP/scale2.png" $((x + 6)) $((y + 6)) 648 52 |
  awk -v ox=$((x + 6)) -v oy=$((y + 6)) '{print $1 - ox, $2 - oy, $3, $4, $5}' >"$E2E_TMP/client0.txt"
colons_apart "$E2E_TMP/client0.txt" 192
wl_msg output HEADLESS-1 scale 1 >/dev/null
echo "PASS: 660 x 64 at scale 2"

# The glyph's click closes it; so does Alt+F4 once a click has given it the keyboard.
wl_shot "$E2E_TMP/before.png"
read -r x y w h < <(wl_clock_box "$E2E_TMP/before.png")
wl_pointer "$((x + 319)),$((y + 10)),0" "$((x + 319)),$((y + 10)),1" "$((x + 319)),$((y + 10)),0"
wl_ended "$BRUMO_PID" || fail "the glyph's click did not close the clock"
expect_eq "$STATUS" 0 "exit status after the glyph's click"
wl_start_brumo
wl_shot "$E2E_TMP/again.png" || fail "no clock after a clean close"
wl_pointer "100,10,0" "100,10,1" "100,10,0" "640,500,0" key:ffe9:1 key:ffc1:1 key:ffc1:0 key:ffe9:0
wl_ended "$BRUMO_PID" || fail "Alt+F4 did not close the clock"
echo "PASS: closed by its glyph, and by Alt+F4 after a click"
