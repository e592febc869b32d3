# Sourced by compositor_test.sh, with BRUMO and C (the compositor) set: a headless compositor of
# the test's own, what drives it and what looks at it, all ended with the test.
#
#   start_compositor        mutter, kwin, sway, weston or wayfire, with its Xwayland; sets
#                           WAYLAND_DISPLAY, XDISPLAY, XAUTH. Gives up (77) where it cannot run
#   start_pointer           the compositor's own pointer and keys, driven by ptr; POINTER is
#                           empty where there is none
#   ptr set X Y | move DX DY | press B | release B | key KEYSYM 1|0
#   as_user CMD...          CMD as the compositor's user, in its session
#   start CMD...            the same in the background, ended with the test
#   x CMD...                an X client of the compositor's Xwayland
#   globals                 the names of the compositor's Wayland globals
#   shot FILE               a screenshot (grim, or KWin's own; PPM), once a clock's frame is on it
#   clock_box FILE          "X Y W H" of the topmost clock frame in the screenshot
#   client_pixels FILE X Y W H   "x y r g b" lines of that box, 0,0 its top-left
#   result CHECK pass|xfail|skip|FAIL [WHY]    one line of the matrix
#   give_up WHY             the whole test is a skip
#   wait_for SECS CMD...    until CMD succeeds
set -uo pipefail
SCALE=${SCALE:-1} # the output's scale at start (KWin)
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
T=$(mktemp -d /tmp/brumo-wayland-XXXXXX)
chmod 755 "$T"
PIDS=()
FAILED=0
RUN_AS=()

# Every process the test started, and theirs (the compositor's Xwayland, a bus daemon), by PID.
tree() {
  local p
  for p in $(ps -o pid= --ppid "$1" 2>/dev/null); do tree "$p"; done
  echo "$1"
}
cleanup() {
  local i p="" all=()
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do all+=($(tree "${PIDS[i]}")); done
  for p in "${all[@]}"; do kill "$p" 2>/dev/null; done
  for i in $(seq 30); do
    for p in "${all[@]}"; do kill -0 "$p" 2>/dev/null && break; p=""; done
    [ -z "$p" ] && break
    sleep 0.1
  done
  for p in "${all[@]}"; do kill -KILL "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$T"
}
trap cleanup EXIT

result() {
  printf '%-14s %-42s %s%s\n' "$C" "$1" "$2" "${3:+ ($3)}"
  [ "$2" = FAIL ] && FAILED=1
  return 0
}
give_up() { echo "$C: skipped: $1"; exit 77; }
fail() { echo "$*"; exit 1; } # for what colons_apart finds, run in a subshell
need() { for tool; do command -v "$tool" >/dev/null || give_up "$tool is not installed"; done; }

as_user() { "${RUN_AS[@]}" env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$@"; }
start() {
  as_user "$@" &
  PIDS+=($!)
}
wait_for() {
  local end=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}
x() { as_user env DISPLAY="$XDISPLAY" XAUTHORITY="${XAUTH:-}" "$@"; }
# (grim lists them before it finds whether it can take a screenshot at all.)
globals() { { as_user env WAYLAND_DEBUG=1 grim - 2>&1 >/dev/null || true; } | sed -n 's/.*\.global([0-9]*, "\([^"]*\)".*/\1/p'; }

# sway and wayfire refuse to run as root: a user of the test's own runs them and their clients.
# setpriv, not runuser, so that a process started in the background has the PID that ends it.
own_user() {
  [ "$(id -u)" = 0 ] || return 0
  id brumo-wl >/dev/null 2>&1 || useradd -m brumo-wl || give_up "no unprivileged user"
  chown brumo-wl "$XDG_RUNTIME_DIR"
  touch "$T/display" && chmod 666 "$T/display"
  RUN_AS=(setpriv --reuid=brumo-wl --regid=brumo-wl --init-groups env HOME="$(getent passwd brumo-wl | cut -d: -f6)")
}
# Until the compositor has written its Xwayland's display to FILE, or has ended.
started() { wait_for 30 sh -c "test -s $1 || ! kill -0 ${PIDS[-1]}" && test -s "$1"; }

start_compositor() {
  export XDG_RUNTIME_DIR=$T/run
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  local socket=brumo-test-$$ bus xw
  # Xwayland's sockets: a compositor that makes the directory itself may leave it unwritable.
  [ -d /tmp/.X11-unix ] || mkdir -m 1777 /tmp/.X11-unix
  export NO_AT_BRIDGE=1 QT_ACCESSIBILITY=0 XDG_SESSION_TYPE=wayland
  unset DISPLAY WAYLAND_DISPLAY XAUTHORITY
  need dbus-daemon
  bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || give_up "no session bus"
  export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
  PIDS+=("${bus##*$'\n'}")
  LOG=$T/compositor.log
  case ${C%-native} in
    mutter)
      need mutter
      start mutter --wayland --headless --virtual-monitor 1280x800 --wayland-display=$socket >"$LOG" 2>&1
      wait_for 20 grep -q 'Using public X11 display' "$LOG" || give_up "mutter did not start: $(tail -3 "$LOG")"
      XDISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$LOG")
      XAUTH=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1)
      ;;
    kwin)
      need kwin_wayland
      # The packaged binary carries a file capability that this machine may refuse: a copy runs.
      cp "$(command -v kwin_wayland)" "$T/kwin_wayland"
      # What it starts is given its Xwayland's display; KWin ends with it, and it ends with the
      # test (KWin starts it out of the test's process tree).
      printf '#!/bin/sh\necho "$DISPLAY" >%s/display\nwhile [ -d %s ]; do sleep 1; done\n' "$T" "$T" >"$T/started"
      chmod 755 "$T/started"
      # No desktop file names the test's fake-input client: no permission check. Screenshots are
      # another matter: KWin takes them for a program that a desktop entry allows (kwin_shot.py).
      mkdir -p "$T/share/applications"
      printf '[Desktop Entry]\nType=Application\nName=shot\nExec=%s\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n' \
        "$(readlink -f /usr/bin/python3)" >"$T/share/applications/brumo-test-shot.desktop"
      start env QT_QPA_PLATFORM=wayland KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 XDG_DATA_DIRS="$T/share:/usr/share" \
        XDG_CACHE_HOME="$T/cache" XDG_CONFIG_HOME="$T/config" \
        "$T/kwin_wayland" --virtual --xwayland --width 1280 --height 800 --scale "$SCALE" --socket $socket \
        "$T/started" >"$LOG" 2>&1
      started "$T/display" || give_up "kwin_wayland did not start: $(tail -3 "$LOG")"
      XDISPLAY=$(cat "$T/display")
      XAUTH=$(ls "$XDG_RUNTIME_DIR"/xauth_* 2>/dev/null | head -n1)
      # KWin finds the desktop entry once it has indexed the entries into its cache (one of the
      # test's own, which no other KDE program rewrites meanwhile), a while after it starts.
      # Now and then it refuses them for as long as it runs: nothing can be looked at then.
      [ "$C" = kwin ] || wait_for 60 /usr/bin/python3 "$HERE/kwin_shot.py" ||
        give_up "KWin refuses its screenshots to the test: $(/usr/bin/python3 "$HERE/kwin_shot.py" 2>&1 >/dev/null | tail -n1)"
      ;;
    sway)
      need sway swaymsg
      own_user
      # No bar, no binding that would take Alt+F4 from the clock; the test's windows floating at
      # the top-left corner, over the clock.
      cat >"$T/sway.conf" <<EOF
output HEADLESS-1 mode 1280x800 bg #406080 solid_color
xwayland force
focus_follows_mouse no
for_window [app_id="foot"] floating enable, move position 0 0, resize set 600 300
for_window [class="Xmessage"] floating enable, move position 0 0
exec sh -c 'echo \$DISPLAY >$T/display'
EOF
      start env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$T/sway.conf" >"$LOG" 2>&1
      started "$T/display" || give_up "sway did not start: $(tail -3 "$LOG")"
      export SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock | head -n1)
      ;;
    wayfire)
      need wayfire
      own_user
      printf '%s\n' '[core]' 'plugins = autostart vswitch' 'xwayland = true' '[output:HEADLESS-1]' \
        'mode = 1280x800' '[autostart]' "display = sh -c 'echo \$DISPLAY >$T/display'" >"$T/wayfire.ini"
      start env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman wayfire -c "$T/wayfire.ini" >"$LOG" 2>&1
      started "$T/display" || give_up "wayfire does not start headless here: $(tail -1 "$LOG")"
      ;;
    weston)
      need weston
      start weston --backend=headless-backend.so --xwayland --use-pixman --width=1280 --height=800 \
        --socket=$socket --log="$LOG" 2>"$T/weston.err"
      wait_for 20 grep -q 'xserver listening on display' "$LOG" || give_up "weston did not start: $(tail -3 "$LOG")"
      XDISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$LOG" | head -n1)
      ;;
    *) give_up "unknown compositor $C" ;;
  esac
  export WAYLAND_DISPLAY=$socket
  # wlroots picks its own socket name.
  if [ -z "${XDISPLAY:-}" ]; then
    XDISPLAY=$(cat "$T/display")
    WAYLAND_DISPLAY=$(ls "$XDG_RUNTIME_DIR" | grep -m1 '^wayland-[0-9]*$')
  fi
  wait_for 30 x xdpyinfo || give_up "no Xwayland on $XDISPLAY: $(tail -3 "$LOG")"
  # Xwayland may be started apart from the compositor's own tree (wlroots'): ended by its PID too.
  xw=$(ss -xlpn 2>/dev/null | grep -F "/tmp/.X11-unix/X${XDISPLAY#:} " | grep -o 'pid=[0-9]*' | head -n1)
  [ -z "$xw" ] || PIDS+=("${xw#pid=}")
  echo "$C: Wayland display $WAYLAND_DISPLAY, Xwayland $XDISPLAY"
}

# Mutter's remote desktop, KWin's fake input, or on wlroots a virtual pointer and keyboard that
# wayvnc adds to the seat, driven as a VNC client drives them.
start_pointer() {
  POINTER=""
  case ${C%-native} in
    mutter) POINTER="/usr/bin/python3 $HERE/mutter_pointer.py" ;;
    kwin) [ -x "$KWIN_POINTER" ] && POINTER=$KWIN_POINTER ;;
    sway | wayfire)
      if command -v wayvnc >/dev/null; then
        local port=$((20000 + RANDOM % 20000))
        start wayvnc 127.0.0.1 $port
        # Listening once the seat has its pointer.
        wait_for 10 sh -c "ss -tln | grep -q 127.0.0.1:$port" && POINTER="/usr/bin/python3 $HERE/vnc_pointer.py $port"
      fi
      # The X11 clock under sway, through sway's own seat commands: a click through wayvnc does
      # not reach its glyph.
      [ "$C" != sway ] || [ -z "$POINTER" ] || POINTER=swaymsg
      ;;
  esac
  [ -n "$POINTER" ] && [ "$POINTER" != swaymsg ] || return 0
  coproc PTR { as_user $POINTER 2>"$T/pointer.log"; }
  PIDS+=($PTR_PID)
  read -r -t 10 _ <&"${PTR[0]}" || POINTER=""
}
ptr() {
  if [ "$POINTER" = swaymsg ]; then
    case $1 in
      move | set) as_user swaymsg -q seat - cursor "$1" "$2" "$3" ;;
      press | release) as_user swaymsg -q seat - cursor "$1" "button$2" ;;
    esac
  else
    echo "$*" >&"${PTR[1]}"
    read -r -t 10 _ <&"${PTR[0]}"
  fi
}

# The frame's box: its outer light edge (227) at the top-left, its dark edge (105) at the
# bottom-right, found along the row and the column through the frame's top-left corner.
clock_box() {
  python3 -c '
import sys
magic, w, h, maxval, pixels = open(sys.argv[1], "rb").read().split(maxsplit=4)
w, h = int(w), int(h)
at = -1
while True:
    at = pixels.find(b"\xe3\xe3\xe3", at + 1)
    if at < 0: sys.exit(1)
    if at % 3 == 0: break
x, y = at // 3 % w, at // 3 // w
px = lambda x, y: pixels[3 * (y * w + x):3 * (y * w + x) + 3]
r, b, dark = x, y, b"\x69\x69\x69"  # the outer dark edge, as wide as the scale
while r < w and px(r, y + 4) != dark: r += 1
while r + 1 < w and px(r + 1, y + 4) == dark: r += 1
while b < h and px(x + 4, b) != dark: b += 1
while b + 1 < h and px(x + 4, b + 1) == dark: b += 1
print(x, y, r - x + 1, b - y + 1)' "$1"
}
shot() {
  local i take=(grim -t ppm -)
  [ "${C%-native}" != kwin ] || take=(/usr/bin/python3 "$HERE/kwin_shot.py")
  for i in $(seq 50); do
    as_user "${take[@]}" >"$1" 2>"$T/shot.err" && clock_box "$1" >/dev/null && return 0
    sleep 0.1
  done
  return 1
}
client_pixels() {
  convert "$1" -crop "${4}x${5}+${2}+${3}" +repage -depth 8 txt:- | awk -F'[,:() ]+' '!/^#/ {print $1, $2, $3, $4, $5}'
}
