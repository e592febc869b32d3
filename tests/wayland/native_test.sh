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
#   wl_drag BUTTON X Y DX DY  presses BUTTON (1, 2, 3) at X,Y, moves by DX,DY in steps, releases
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/session.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/colons.sh"

WL_USER=brumo-wl
FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n1 || true)

wl_as() {
  setpriv --reuid="$WL_USER" --regid="$WL_USER" --init-groups \
    env -i PATH=/usr/bin:/bin HOME="$WL_HOME" XDG_RUNTIME_DIR="$WL_RUNTIME" \
    ${WL_SOCKET:+WAYLAND_DISPLAY=$WL_SOCKET} ${SWAYSOCK:+SWAYSOCK=$SWAYSOCK} \
    ${WL_DISPLAY:+DISPLAY=$WL_DISPLAY} "$@"
}

wl_msg() { wl_as swaymsg "$@"; }

wl_start_sway() {
  local i port
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
EOF
  WL_SOCKET="" SWAYSOCK="" wl_as WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
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
  port=$((20000 + RANDOM % 20000))
  wl_as wayvnc 127.0.0.1 "$port" >"$E2E_TMP/wayvnc.log" 2>&1 &
  track $!
  for i in $(seq 100); do
    wl_msg -t get_inputs 2>/dev/null | grep -q '"pointer"' && break
    sleep 0.1
  done
  wl_msg -t get_inputs | grep -q '"pointer"' || fail "no pointer on the seat: $(cat "$E2E_TMP/wayvnc.log")"
}

wl_start_brumo() {
  local at=${1:-}
  if [ -n "$at" ]; then
    [ -n "$FAKETIME_LIB" ] || fail "libfaketime is not installed (package faketime)"
    wl_as LD_PRELOAD="$FAKETIME_LIB" FAKETIME="$at" FAKETIME_DONT_FAKE_MONOTONIC=1 "$BRUMO" \
      2>>"$E2E_TMP/brumo.err" &
  else
    wl_as "$BRUMO" 2>>"$E2E_TMP/brumo.err" &
  fi
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
  convert "$1" -depth 8 txt:- | awk -F'[,:() ]+' '
    !/^#/ && $3 == 227 && $4 == 227 && $5 == 227 && !found { x = $1; y = $2; found = 1 }
    !/^#/ { px[$1, $2] = $3 " " $4 " " $5 }
    END {
      if (!found) exit 1
      for (r = x; (r, y + 4) in px && px[r, y + 4] != "105 105 105"; r++) {}
      for (b = y; (x + 4, b) in px && px[x + 4, b] != "105 105 105"; b++) {}
      print x, y, r - x + 1, b - y + 1
    }'
}

wl_shot() {
  local i
  for i in $(seq 50); do
    wl_as grim - >"$1" 2>/dev/null && wl_clock_box "$1" >/dev/null && return 0
    sleep 0.1
  done
  return 1
}

wl_drag() {
  local button=$1 x=$2 y=$3 dx=$4 dy=$5 i
  wl_msg seat - cursor set "$x" "$y" >/dev/null
  wl_msg seat - cursor press "button$button" >/dev/null
  for i in 1 2 3 4; do
    wl_msg seat - cursor move $((dx / 4)) $((dy / 4)) >/dev/null
    sleep 0.1
  done
  wl_msg seat - cursor release "button$button" >/dev/null
  # The pointer moves on: a move that outlived its button would follow it.
  wl_msg seat - cursor move 37 23 >/dev/null
  sleep 0.3
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
WL_DISPLAY=""
wl_start_brumo
wl_shot "$E2E_TMP/start.png" || fail "no clock on screen; stderr: $(cat "$E2E_TMP/brumo.err")"
expect_eq "$(wl_clock_box "$E2E_TMP/start.png")" "0 0 330 32" "the clock's box at start"
echo "PASS: shown at the top-left, 330 x 32"
