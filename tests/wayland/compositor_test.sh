#!/usr/bin/env bash
# The X11 clock under one Wayland compositor, as an X11 client of that compositor's Xwayland: its
# size; still showing once an ordinary X11 window and a native Wayland window are activated over
# it; on another workspace; drags with the left, middle and right buttons driven through the
# compositor's own input; Alt+F4 right after start; one copy only. Each check prints one line:
# pass, xfail (the compositor cannot do it through Xwayland) or skip (no way to look), with why.
#   compositor_test.sh BRUMO mutter|kwin|sway|weston [KWIN_POINTER]
# Exits 77 (a skip) when the compositor cannot run here.
set -uo pipefail
BRUMO=$1 C=$2 KWIN_POINTER=${3:-}
HERE=$(cd "$(dirname "$0")" && pwd)
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
  local i p all=()
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

result() { # CHECK pass|xfail|skip|FAIL [WHY]
  printf '%-8s %-34s %s%s\n' "$C" "$1" "$2" "${3:+ ($3)}"
  [ "$2" = FAIL ] && FAILED=1
  return 0
}
give_up() { echo "$C: skipped: $1"; exit 77; }
for tool in xdotool xwininfo xlogo; do command -v $tool >/dev/null || give_up "$tool is not installed"; done

as_user() { "${RUN_AS[@]}" env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$@"; }
start() { # a process of the test's, ended with it
  as_user "$@" &
  PIDS+=($!)
}
wait_for() { # SECS COMMAND...: until COMMAND succeeds
  local secs=$1 i
  shift
  for i in $(seq $((secs * 10))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
x() { as_user env DISPLAY="$XDISPLAY" XAUTHORITY="${XAUTH:-}" "$@"; }
geometry() {
  x xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
    /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}'
}
at_x() { [ "$(geometry "$BRUMO_WIN" | cut -d' ' -f1)" = "$1" ]; }
brumo_window() { x xdotool search --classname '^brumo$' 2>/dev/null | head -n1; }

# --- The compositor --------------------------------------------------------------------------
export XDG_RUNTIME_DIR=$T/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
SOCKET=brumo-test-$$
# Xwayland's sockets: a compositor that makes the directory itself may leave it unwritable.
[ -d /tmp/.X11-unix ] || mkdir -m 1777 /tmp/.X11-unix
export NO_AT_BRIDGE=1 QT_ACCESSIBILITY=0 XDG_SESSION_TYPE=wayland
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY
command -v dbus-daemon >/dev/null || give_up "dbus-daemon is not installed"
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || give_up "no session bus"
export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
PIDS+=("${bus##*$'\n'}")
LOG=$T/compositor.log
case $C in
  mutter)
    command -v mutter >/dev/null || give_up "mutter is not installed"
    start mutter --wayland --headless --virtual-monitor 1280x800 --wayland-display=$SOCKET \
      >"$LOG" 2>&1
    wait_for 20 grep -q 'Using public X11 display' "$LOG" || give_up "mutter did not start: $(tail -3 "$LOG")"
    XDISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$LOG")
    XAUTH=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1)
    ;;
  kwin)
    command -v kwin_wayland >/dev/null || give_up "kwin_wayland is not installed"
    # The packaged binary carries a file capability that this machine may refuse: a copy runs.
    cp "$(command -v kwin_wayland)" "$T/kwin_wayland"
    # What it starts is given its Xwayland's display; KWin ends with it, and it ends with the
    # test (KWin starts it out of the test's process tree).
    printf '#!/bin/sh\necho "$DISPLAY" >%s/display\nwhile [ -d %s ]; do sleep 1; done\n' "$T" "$T" \
      >"$T/started"
    chmod 755 "$T/started"
    # No desktop file names the test's fake-input client: no permission check.
    start env QT_QPA_PLATFORM=wayland KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 "$T/kwin_wayland" --virtual --xwayland --width 1280 \
      --height 800 --socket $SOCKET "$T/started" >"$LOG" 2>&1
    wait_for 30 test -s "$T/display" || give_up "kwin_wayland did not start: $(tail -3 "$LOG")"
    XDISPLAY=$(cat "$T/display")
    XAUTH=$(ls "$XDG_RUNTIME_DIR"/xauth_* 2>/dev/null | head -n1)
    ;;
  sway)
    command -v sway >/dev/null || give_up "sway is not installed"
    # sway refuses to run as root: a user of the test's own runs it and its clients.
    if [ "$(id -u)" = 0 ]; then
      id brumo-wayland >/dev/null 2>&1 || useradd -r -M -d /nonexistent -s /usr/sbin/nologin brumo-wayland ||
        give_up "no unprivileged user for sway"
      chown brumo-wayland "$XDG_RUNTIME_DIR"
      RUN_AS=(runuser -u brumo-wayland --)
    fi
    printf '%s\n' 'output HEADLESS-1 mode 1280x800 bg #406080 solid_color' 'xwayland force' \
      "exec sh -c 'echo \$DISPLAY >$T/display'" >"$T/sway.conf"
    chmod 644 "$T/sway.conf"
    touch "$T/display" && chmod 666 "$T/display"
    start env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
      sway -c "$T/sway.conf" >"$LOG" 2>&1
    wait_for 30 test -s "$T/display" || give_up "sway did not start: $(tail -3 "$LOG")"
    XDISPLAY=$(cat "$T/display")
    export SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock | head -n1)
    ;;
  weston)
    command -v weston >/dev/null || give_up "weston is not installed"
    start weston --backend=headless-backend.so --xwayland --use-pixman --width=1280 \
      --height=800 --socket=$SOCKET --log="$LOG" 2>"$T/weston.err"
    wait_for 20 grep -q 'xserver listening on display' "$LOG" || give_up "weston did not start: $(tail -3 "$LOG")"
    XDISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$LOG" | head -n1)
    ;;
  *) give_up "unknown compositor $C" ;;
esac
export WAYLAND_DISPLAY=${SWAYSOCK:+wayland-1}
[ "$C" = sway ] || WAYLAND_DISPLAY=$SOCKET
[ "$C" != sway ] || WAYLAND_DISPLAY=$(ls "$XDG_RUNTIME_DIR" | grep -m1 '^wayland-[0-9]*$')
wait_for 30 x xdpyinfo || give_up "no Xwayland on $XDISPLAY: $(tail -3 "$LOG")"
# Xwayland may be started apart from the compositor's own tree (wlroots'): ended by its PID too.
xw=$(ss -xlpn 2>/dev/null | grep -F "/tmp/.X11-unix/X${XDISPLAY#:} " | grep -o 'pid=[0-9]*' | head -n1)
[ -z "$xw" ] || PIDS+=("${xw#pid=}")
echo "$C: Wayland display $WAYLAND_DISPLAY, Xwayland $XDISPLAY"

# --- The compositor's own pointer and keys ---------------------------------------------------
# ptr move DX DY | set X Y (not Mutter's) | press B | release B
POINTER=""
case $C in
  mutter) POINTER="/usr/bin/python3 $HERE/mutter_pointer.py" ;;
  kwin) [ -x "$KWIN_POINTER" ] && POINTER=$KWIN_POINTER ;;
  sway)
    # A headless seat has no pointer until a device exists: wayvnc adds a virtual one.
    if command -v wayvnc >/dev/null; then
      start wayvnc 127.0.0.1 $((20000 + $$ % 20000))
      wait_for 10 sh -c "swaymsg -t get_inputs | grep -q pointer" && POINTER=swaymsg
    fi
    ;;
esac
if [ -n "$POINTER" ] && [ "$POINTER" != swaymsg ]; then
  coproc PTR { as_user $POINTER 2>"$T/pointer.log"; }
  PIDS+=($PTR_PID)
  read -r -t 10 ready <&"${PTR[0]}" || POINTER=""
fi
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

# --- The checks ------------------------------------------------------------------------------
# The clock as an X11 client: where the compositor offers its own shell for it (sway's
# layer-shell), an empty WAYLAND_DISPLAY keeps it on Xwayland.
CLOCK_ENV=(DISPLAY="$XDISPLAY" XAUTHORITY="${XAUTH:-}")
[ "$C" != sway ] || CLOCK_ENV+=(WAYLAND_DISPLAY=)
start_brumo() {
  "${RUN_AS[@]}" env "${CLOCK_ENV[@]}" "$BRUMO" 2>>"$T/brumo.err" &
  BRUMO_PID=$!
  PIDS+=($BRUMO_PID)
  wait_for 10 brumo_window $BRUMO_PID && sleep 0.3
  BRUMO_WIN=$(brumo_window $BRUMO_PID)
}

# Alt+F4 right after start: the clock is the active window.
start_brumo
if [ -z "$BRUMO_WIN" ]; then
  result "starts" FAIL "no window: $(cat "$T/brumo.err")"
  exit 1
fi
if [ "$C" = weston ]; then
  result "Alt+F4 right after start" skip "weston's Xwayland ends on XTEST input, and weston has no input of its own to drive"
else
  # XTEST keys reach the X client that the compositor gave the keyboard to: once it is shown
  # active, as a person would see it.
  wait_for 10 x sh -c "[ \"\$(xdotool getactivewindow)\" = $BRUMO_WIN ]"
  x xdotool key alt+F4
  if wait_for 5 sh -c "! kill -0 $BRUMO_PID"; then result "Alt+F4 right after start" pass
  else result "Alt+F4 right after start" FAIL "the clock did not close"; fi
fi
kill -0 $BRUMO_PID 2>/dev/null && kill $BRUMO_PID
wait $BRUMO_PID 2>/dev/null
start_brumo

# Where the compositor has placed it: the same answer twice, a fifth of a second apart (sway
# centres and pads a floating window after it maps).
settled() {
  local now last="" i
  for i in $(seq 25); do
    now=$(geometry "$BRUMO_WIN")
    [ "$now" = "$last" ] && break
    last=$now
    sleep 0.2
  done
  read -r X0 Y0 W H <<<"$now"
}
settled
if [ "$W $H" = "330 32" ]; then result "size 330x32" pass
elif [ "$C" = sway ]; then result "size 330x32" xfail "sway makes it ${W}x$H: its floating windows' minimum size"
else result "size 330x32" FAIL "${W}x$H"; fi

"${RUN_AS[@]}" env "${CLOCK_ENV[@]}" "$BRUMO" 2>/dev/null && second=0 || second=$?
n=$(x xdotool search --class brumo 2>/dev/null | wc -l)
if [ "$second" = 0 ] && [ "$n" = 1 ]; then result "a second copy ends at once" pass
else result "a second copy ends at once" FAIL "status $second, $n windows"; fi

# Above: the clock is the top of the X stacking after another X window and a native Wayland
# window are activated over it; where the compositor shows its whole stacking, it is looked at.
top_x11() { x xprop -root _NET_CLIENT_LIST_STACKING | awk '{print $NF}'; }
x xlogo -geometry 400x200+$((X0 > 40 ? X0 - 40 : 0))+$Y0 &
XLOGO=$!
PIDS+=($XLOGO)
wait_for 10 x xdotool search --onlyvisible --class XLogo
other=$(x xdotool search --onlyvisible --class XLogo | head -n1)
x xdotool windowactivate "$other" 2>/dev/null
sleep 1
case $C in
  mutter | kwin)
    if [ "$(printf '%d' "$(top_x11)")" = "$BRUMO_WIN" ]; then result "above an X11 window" pass
    else result "above an X11 window" FAIL "the clock is not at the top of the stacking"; fi
    ;;
  sway)
    if [ "$(printf '%d' "$(top_x11)")" = "$BRUMO_WIN" ]; then result "above an X11 window" FAIL "sway kept it above after all"
    else result "above an X11 window" xfail "sway keeps no X11 window above a focused floating one"; fi
    ;;
  weston) result "above an X11 window" skip "nothing is ever active in a headless weston: no input to activate with" ;;
esac
kill $XLOGO # out of the way of the look below

# A native Wayland window, weston's terminal, placed over the clock and activated.
native_over() {
  case $C in
    sway) as_user swaymsg -q "for_window [app_id=wayland-terminal] floating enable, resize set 400 200, \
move position $((X0 > 40 ? X0 - 40 : 0)) $Y0" ;;
    kwin)
      # KWin centres it, over the clock; once it is active, the stacking goes to KWin's log.
      cat >"$T/stacking.js" <<'JS'
workspace.clientActivated.connect(function (c) {
  if (!c || c.resourceClass.indexOf("wayland-terminal") < 0) return;
  var all = workspace.clientList().sort(function (a, b) { return a.stackingOrder - b.stackingOrder; });
  print("stacking: " + all.map(function (w) { return w.resourceClass; }).join(" "));
});
workspace.clientAdded.connect(function (c) {
  if (c.resourceClass.indexOf("wayland-terminal") >= 0) workspace.activeClient = c;
});
JS
      local n
      n=$(gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.loadScript \
        "$T/stacking.js" brumo-test | tr -dc 0-9)
      gdbus call --session -d org.kde.KWin -o /$n -m org.kde.kwin.Script.run >/dev/null
      ;;
  esac
  start weston-terminal --shell=/bin/sh >/dev/null 2>&1
  NATIVE=$!
}
# Whether the clock's face shows on sway's screen where the clock is.
face_seen() {
  settled
  as_user grim -g "$X0,$Y0 ${W}x32" -t ppm - | tail -c $((W * 32 * 3)) | od -An -tu1 -v -w3 |
    grep '240 240 240' >/dev/null # reads all, so that od meets no closed pipe
}
face_hidden() { ! face_seen; }
name="above a native Wayland window"
if ! command -v weston-terminal >/dev/null; then
  result "$name" skip "weston-terminal is not installed"
else
  case $C in
    kwin)
      native_over
      if ! wait_for 10 grep -q '^js: stacking: ' "$LOG"; then result "$name" FAIL "the terminal never became active"
      elif grep '^js: stacking: ' "$LOG" | tail -n1 | grep -q 'wayland-terminal.* brumo'; then result "$name" pass
      else result "$name" FAIL "$(grep '^js: stacking: ' "$LOG" | tail -n1)"; fi
      ;;
    sway)
      if ! command -v grim >/dev/null; then result "$name" skip "grim is not installed"
      elif ! wait_for 10 face_seen; then result "$name" FAIL "the clock's face is not seen even uncovered"
      else
        native_over
        if ! wait_for 10 face_hidden; then result "$name" FAIL "sway kept it above after all"
        else result "$name" xfail "sway keeps no X11 window above a focused floating one"; fi
      fi
      ;;
    mutter) result "$name" skip "Mutter alone has no screenshot or window list that shows Wayland windows" ;;
    weston) result "$name" skip "nothing is activated in a headless weston: it has no input to activate with" ;;
  esac
  [ -z "${NATIVE:-}" ] || kill $(tree $NATIVE) # out of the pointer's way
fi

# Another workspace.
case $C in
  mutter | kwin)
    # The clock is on every desktop: its _NET_WM_DESKTOP is "all" and it stays mapped.
    x xdotool set_num_desktops 2 2>/dev/null
    x xdotool set_desktop 1 2>/dev/null
    sleep 1
    if [ "$(x xdotool get_desktop)" = 1 ] && x xwininfo -id "$BRUMO_WIN" | grep -q IsViewable &&
      x xprop -id "$BRUMO_WIN" _NET_WM_DESKTOP | grep -q 4294967295; then
      result "on another workspace" pass
    else result "on another workspace" FAIL "desktop $(x xdotool get_desktop), $(x xprop -id "$BRUMO_WIN" _NET_WM_DESKTOP)"; fi
    x xdotool set_desktop 0 2>/dev/null
    ;;
  sway)
    as_user swaymsg -q workspace 2
    sleep 0.5
    if as_user swaymsg -t get_tree | grep -A3 '"name": "2"' | grep -q brumo; then
      result "on another workspace" FAIL "sway showed it after all"
    else result "on another workspace" xfail "sway has no sticky state for X11 windows: they stay on their workspace"; fi
    as_user swaymsg -q workspace 1
    ;;
  weston) result "on another workspace" skip "weston has no workspaces" ;;
esac

# Drags: the pointer from the corner to the clock, the button down, ±100,150 in steps, the
# button up, then the pointer on: the clock follows the travel and stays once the button is up.
for b in 1 2 3; do
  name="drag with button $b"
  if [ -z "$POINTER" ]; then
    case $C in
      weston) result "$name" skip "weston has no input to drive: its Xwayland ends on XTEST input" ;;
      kwin) result "$name" skip "no fake-input client: built without libwayland-dev and plasma-wayland-protocols" ;;
      *) result "$name" skip "no pointer input to drive here (wayvnc missing or no pointer)" ;;
    esac
    continue
  fi
  read -r X0 Y0 W H < <(geometry "$BRUMO_WIN")
  # Down and right in the screen's upper half, up and left in its lower one.
  s=$((Y0 < 400 ? 1 : -1))
  DX=$((s * 100)) DY=$((s * 150))
  case $C in
    mutter) ptr move -5000 -5000 && ptr move $((X0 + 60)) $((Y0 + 12)) ;;
    *) ptr set $((X0 + 60)) $((Y0 + 12)) ;;
  esac
  sleep 0.3
  ptr press $b
  for i in $(seq 10); do ptr move $((s * 10)) $((s * 15)); sleep 0.05; done
  wait_for 3 at_x $((X0 + DX))
  read -r X1 Y1 W H < <(geometry "$BRUMO_WIN")
  ptr release $b
  sleep 0.3
  ptr move 200 100
  sleep 0.5
  read -r X2 Y2 W H < <(geometry "$BRUMO_WIN")
  if [ "$X1,$Y1" = "$((X0 + DX)),$((Y0 + DY))" ] && [ "$X2,$Y2" = "$X1,$Y1" ]; then
    result "$name" pass
  elif [ "$C" = sway ]; then
    result "$name" xfail "sway starts no move that an X11 client asks for"
  else
    result "$name" FAIL "from $X0,$Y0: at $X1,$Y1 with the button down, $X2,$Y2 after"
  fi
done

kill -0 $BRUMO_PID 2>/dev/null || result "still running" FAIL "the clock ended: $(cat "$T/brumo.err")"

# The same pointer reaches the clock: a click on its close glyph closes it (so a drag that the
# compositor does not start is not a pointer that never arrived).
if [ -n "$POINTER" ] && kill -0 $BRUMO_PID 2>/dev/null; then
  read -r X0 Y0 W H < <(geometry "$BRUMO_WIN")
  case $C in
    mutter) ptr move -5000 -5000 && ptr move $((X0 + 319)) $((Y0 + 10)) ;;
    *) ptr set $((X0 + 319)) $((Y0 + 10)) ;;
  esac
  sleep 0.3
  ptr press 1 && ptr release 1
  if wait_for 5 sh -c "! kill -0 $BRUMO_PID"; then result "a click on the close glyph" pass
  else result "a click on the close glyph" FAIL "the clock is still running"; fi
fi
exit $FAILED
