# Sourced by the end-to-end tests: a private X display (Xvfb) with a real window manager
# (openbox), pinned to a DPI, torn down with everything started in it when the test exits.
#
#   start_session [DPI]            Xvfb + openbox, once it manages new windows; exports DISPLAY
#                                  (and XAUTHORITY when E2E_PRIVATE_DISPLAY=1: only this user may
#                                  connect, as on a desktop; otherwise any local client may).
#                                  E2E_WM=NAME starts that manager instead, in its own default
#                                  configuration (see start_manager)
#   wait_for_window CLASS [SECS]   prints the id of the first visible window of that class
#   wait_gone WINDOW [SECS]        succeeds once the window no longer exists
#   geometry WINDOW                prints "X Y W H" of the window's outer edge on the screen
#   allocation_count PID FILE      the heap allocations of a clock run with the counting probe
#                                  preloaded (BRUMO_ALLOC_COUNT_FILE=FILE)
#   fail MESSAGE                   prints and exits 1
set -euo pipefail

E2E_TMP=$(mktemp -d)
E2E_PIDS=()

e2e_cleanup() {
  # Last started first, so that the display outlives its clients.
  local i pid _
  for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
    pid=${E2E_PIDS[i]}
    kill "$pid" 2>/dev/null || continue
    for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Remembers a background process so that it ends with the test.
track() { E2E_PIDS+=("$1"); }

start_session() {
  local dpi=${1:-96} i n pid="" cookie=""
  local auth=()
  if [ "${E2E_PRIVATE_DISPLAY:-0}" = 1 ]; then
    export XAUTHORITY="$E2E_TMP/xauthority"
    touch "$XAUTHORITY" "$E2E_TMP/server.auth"
    cookie=$(mcookie)
    xauth -q -f "$E2E_TMP/server.auth" add :0 . "$cookie"
    auth=(-auth "$E2E_TMP/server.auth")
  fi
  # A random display number from a wide range: a number that another test just let go of could
  # still be reached by a straggler of that test.
  for i in $(seq 20); do
    n=$((100 + RANDOM % 900))
    [ -e "/tmp/.X$n-lock" ] && continue
    [ -z "$cookie" ] || xauth -q -f "$XAUTHORITY" add ":$n" . "$cookie"
    Xvfb ":$n" "${auth[@]}" -screen 0 1280x800x24 -nolisten tcp -noreset \
      >"$E2E_TMP/xvfb.log" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
      kill -0 "$pid" 2>/dev/null || break
      DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
      track "$pid"
      export DISPLAY=":$n"
      break
    fi
    kill "$pid" 2>/dev/null || true
    pid=""
  done
  [ -n "$pid" ] || fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.log")"
  printf 'Xft.dpi: %s\n' "$dpi" | xrdb -merge
  # Ctrl+Alt+Fn would switch virtual terminals instead of reaching a client.
  setxkbmap -option srvrkeys:none 2>/dev/null || true
  if [ -n "${E2E_WM:-}" ]; then
    start_manager "$E2E_WM"
    return
  fi
  # A valid configuration with no key bindings: Alt+F4 reaches the program itself.
  printf '%s\n' '<openbox_config xmlns="http://openbox.org/3.4/rc"><keyboard/></openbox_config>' \
    >"$E2E_TMP/openbox.xml"
  openbox --config-file "$E2E_TMP/openbox.xml" >"$E2E_TMP/openbox.log" 2>&1 &
  E2E_WM_PID=$!
  track $E2E_WM_PID
  for i in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
    fail "openbox did not start: $(cat "$E2E_TMP/openbox.log")"
  openbox_ready
}

# openbox can leave events that it read while starting in its queue, unhandled until something
# more arrives: a window mapped then is never managed. So wait until its main loop has answered
# a change made now: it writes _NET_DESKTOP_NAMES back when they are removed.
openbox_ready() {
  local i j
  for i in $(seq 100); do
    xprop -root _NET_DESKTOP_NAMES 2>/dev/null | grep -q '=' && break
    sleep 0.1
  done
  for i in $(seq 20); do
    xprop -root -remove _NET_DESKTOP_NAMES
    for j in $(seq 10); do
      xprop -root _NET_DESKTOP_NAMES 2>/dev/null | grep -q '=' && return 0
      sleep 0.05
    done
  done
  fail "openbox does not answer: $(cat "$E2E_TMP/openbox.log")"
}

wait_for_window() {
  local class=$1 secs=${2:-10} i id
  for i in $(seq $((secs * 10))); do
    id=$(xdotool search --onlyvisible --class "$class" 2>/dev/null | head -n1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

wait_gone() {
  local win=$1 secs=${2:-5} i
  for i in $(seq $((secs * 10))); do
    xwininfo -id "$win" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
    /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}'
}

allocation_count() {
  local pid=$1 file=$2 i n=""
  : >"$file"
  kill -USR1 "$pid"
  for i in $(seq 100); do
    n=$(tr -d ' \n' <"$file" 2>/dev/null || true)
    [ -n "$n" ] && break
    sleep 0.05
  done
  [ -n "$n" ] || fail "the probe wrote no count"
  echo $((10#$n))
}

# A window manager as a new user meets it: its default configuration, in a home of the test's
# own, with a session bus for those that need one. Ready once a window it has mapped carries
# WM_STATE, which a manager sets on what it manages.
start_manager() {
  local wm=$1 i bus cmd=()
  export HOME="$E2E_TMP/home"
  mkdir -p "$HOME"
  # No accessibility bus: nothing here reads it, and it would outlive the test.
  export NO_AT_BRIDGE=1 QT_ACCESSIBILITY=0
  case $wm in
    xfwm4 | metacity | kwin | mutter)
      # A session bus of the test's own, ended with it.
      bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) ||
        fail "no session bus for $wm"
      export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
      track "${bus##*$'\n'}"
      ;;
  esac
  case $wm in
    openbox) cmd=(openbox) ;;
    xfwm4) cmd=(xfwm4 --compositor=off) ;;
    metacity) cmd=(metacity) ;;
    icewm) cmd=(icewm) ;;
    fluxbox) cmd=(fluxbox) ;;
    awesome) cmd=(awesome) ;;
    kwin) cmd=(env KWIN_COMPOSE=N QT_QPA_PLATFORM=xcb kwin_x11 --replace) ;;
    mutter) cmd=(mutter --x11 --replace) ;;
    fvwm) cmd=(fvwm) ;;
    twm)
      # Without it twm waits, holding the server, for the user to place each new window.
      printf 'RandomPlacement\n' >"$HOME/.twmrc"
      cmd=(twm)
      ;;
    *) fail "unknown window manager $wm" ;;
  esac
  command -v "${cmd[0]}" >/dev/null || fail "$wm is not installed"
  "${cmd[@]}" >"$E2E_TMP/wm.log" 2>&1 &
  E2E_WM_PID=$!
  track $E2E_WM_PID
  # A probe mapped while the manager starts can sit unhandled in its queue until something more
  # reaches it (openbox does this), so another probe follows every two seconds: its map request
  # wakes the manager, which then manages both.
  local id ready=0 probes=()
  for i in $(seq 300); do
    kill -0 "$E2E_WM_PID" 2>/dev/null || fail "$wm ended: $(tail -n 20 "$E2E_TMP/wm.log")"
    if ((i % 20 == 1)); then
      xmessage -name wm-probe -geometry +600+400 probe >/dev/null 2>&1 &
      probes+=($!)
    fi
    for id in $(xdotool search --classname '^wm-probe$' 2>/dev/null || true); do
      xprop -id "$id" WM_STATE 2>/dev/null | grep -q 'window state' && ready=1
    done
    [ "$ready" = 0 ] || break
    sleep 0.1
  done
  kill "${probes[@]}" 2>/dev/null || true
  wait "${probes[@]}" 2>/dev/null || true
  [ "$ready" = 1 ] || fail "$wm manages no window: $(tail -n 20 "$E2E_TMP/wm.log")"
}
