# Sourced by the X11 end-to-end tests, after the path of the program to test is set as BRUMO:
# runs the clock on the test's own display and looks at it as a person would.
#
#   start_brumo [TIME]          starts the clock (its clock frozen at TIME, e.g. '2026-03-14
#                               14:47:58', or at the time written in FILE, read at every tick,
#                               for TIME = file:FILE); sets BRUMO_PID and BRUMO_WIN
#   ended_with PID [SECS]       waits for PID to end; sets STATUS to its exit status
#   still_running PID           succeeds while PID runs
#   drag BUTTON X Y DX DY       presses BUTTON at X,Y and moves the pointer by DX,DY until the
#                               clock has followed it, then releases
#   screenshot FILE             the whole screen, once the clock is painted
#   steady_screenshot FILE      the same, once two shots in a row show the clock alike
#   screenshot_unlike FILE SUM  the same, once the clock's pixels no longer sum to SUM
#   window_sum FILE             a checksum of the clock window's pixels in FILE
#   client_pixels FILE DPI OUT  "X Y R G B" of the clock's client area in FILE into OUT, with
#                               0,0 its top-left corner (for colons_apart, ../../e2e/colons.sh)
#   count_pixels FILE X Y W H KIND   pixels of KIND (red, blue, black) in the rectangle
#   ink_box FILE X Y W H KIND   "LEFT TOP RIGHT BOTTOM" (inclusive, screen coordinates) of them
#   pixel FILE X Y              "R G B" of one pixel
#   scaled PX DPI               a 96-dpi length at DPI, rounded as the clock rounds it
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/session.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/colons.sh"

[ -x "${BRUMO:-}" ] || fail "no program to test: pass the path of brumo"

# For a build with the sanitizers: fontconfig's own leak is not the clock's, and libfaketime is
# preloaded ahead of the sanitizer's runtime. Other builds ignore these.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"

FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n1 || true)

start_brumo() {
  local at=${1:-}
  if [ "${at#file:}" != "$at" ]; then
    [ -n "$FAKETIME_LIB" ] || fail "libfaketime is not installed (package faketime)"
    LD_PRELOAD=$FAKETIME_LIB FAKETIME_TIMESTAMP_FILE="${at#file:}" FAKETIME_NO_CACHE=1 \
      FAKETIME_DONT_FAKE_MONOTONIC=1 "$BRUMO" 2>>"$E2E_TMP/brumo.err" &
  elif [ -n "$at" ]; then
    [ -n "$FAKETIME_LIB" ] || fail "libfaketime is not installed (package faketime)"
    # Preloaded rather than through the faketime command, so that the PID is the clock's own;
    # the monotonic clock stays real so that the ticks still come.
    LD_PRELOAD=$FAKETIME_LIB FAKETIME="$at" FAKETIME_DONT_FAKE_MONOTONIC=1 \
      "$BRUMO" 2>>"$E2E_TMP/brumo.err" &
  else
    "$BRUMO" 2>>"$E2E_TMP/brumo.err" &
  fi
  BRUMO_PID=$!
  track "$BRUMO_PID"
  BRUMO_WIN=$(wait_for_brumo_window "$BRUMO_PID") || {
    local status=running
    still_running "$BRUMO_PID" || { status=0; wait "$BRUMO_PID" || status=$?; }
    fail "no clock window appeared (the program: $status); stderr: $(cat "$E2E_TMP/brumo.err")"
  }
}

# The visible window whose _NET_WM_PID is PID, once the window manager (if any: E2E_NO_WM=1
# says there is none) has placed it.
wait_for_brumo_window() {
  local pid=$1 i id
  for i in $(seq 100); do
    id=$(xdotool search --pid "$pid" 2>/dev/null | head -n1 || true)
    # Once managed, the window manager has told the window its frame (openbox), or at least set
    # the state that every manager sets on what it manages (WM_STATE).
    if [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q IsViewable &&
      { [ "${E2E_NO_WM:-0}" = 1 ] || xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '=' ||
        { [ -n "${E2E_WM:-}" ] && xprop -id "$id" WM_STATE 2>/dev/null | grep -q 'window state'; }; }; then
      echo "$id"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Sets STATUS to PID's exit status once it has ended (not in a subshell: only the shell that
# started PID can collect it).
ended_with() {
  local pid=$1 secs=${2:-10} i
  for i in $(seq $((secs * 20))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$pid" 2>/dev/null && fail "process $pid did not end within ${secs}s"
  STATUS=0
  wait "$pid" 2>/dev/null || STATUS=$?
}

still_running() { kill -0 "$1" 2>/dev/null; }

# The window manager takes over the pointer only once it has read the clock's move request, and
# motion before that is not seen by it: move again until the window is where the pointer says.
drag() {
  local button=$1 x=$2 y=$3 dx=$4 dy=$5 i x0 y0 w h x1 y1
  read -r x0 y0 w h < <(geometry "$BRUMO_WIN")
  xdotool mousemove "$x" "$y" mousedown "$button"
  for i in $(seq 100); do
    xdotool mousemove $((x + dx + i % 2)) $((y + dy)) mousemove $((x + dx)) $((y + dy))
    read -r x1 y1 w h < <(geometry "$BRUMO_WIN")
    [ "$x1" -eq $((x0 + dx)) ] && [ "$y1" -eq $((y0 + dy)) ] && break
    sleep 0.05
  done
  xdotool mouseup "$button"
}

# The whole screen, once the clock has painted itself: its top-left pixel is the frame's edge.
screenshot() {
  local file=$1 i x y w h
  read -r x y w h < <(geometry "$BRUMO_WIN")
  for i in $(seq 50); do
    import -window root "$file"
    [ "$(pixel "$file" "$x" "$y")" = "227 227 227" ] && return 0
    sleep 0.1
  done
  fail "the clock did not paint itself"
}

window_sum() {
  local x y w h
  read -r x y w h < <(geometry "$BRUMO_WIN")
  convert "$1" -crop "${w}x${h}+${x}+${y}" +repage rgb:- | md5sum | cut -d' ' -f1
}

steady_screenshot() {
  local file=$1 sum i
  screenshot "$file"
  sum=$(window_sum "$file")
  for i in $(seq 50); do
    sleep 0.1
    screenshot "$file"
    [ "$(window_sum "$file")" = "$sum" ] && return 0
    sum=$(window_sum "$file")
  done
  fail "the clock never held still"
}

# A repaint reaches the window in one copy from the clock's buffer: one changed shot is whole.
screenshot_unlike() {
  local file=$1 sum=$2 i
  for i in $(seq 50); do
    screenshot "$file"
    [ "$(window_sum "$file")" != "$sum" ] && return 0
    sleep 0.1
  done
  fail "the clock did not change"
}

client_pixels() {
  local file=$1 dpi=$2 x y w h f
  read -r x y w h < <(geometry "$BRUMO_WIN")
  f=$(scaled 3 "$dpi")
  pixels_of "$file" $((x + f)) $((y + f)) $((w - 2 * f)) $((h - 2 * f)) |
    awk -v ox=$((x + f)) -v oy=$((y + f)) '{print $1 - ox, $2 - oy, $3, $4, $5}' >"$3"
}

# Colours as the clock draws them, antialiased edges left out.
pixel_filter() {
  case $1 in
    red) echo 'r >= 200 && g <= 110 && b <= 110' ;;
    blue) echo 'b >= 200 && r <= 150 && g <= 150' ;;
    black) echo 'r <= 60 && g <= 60 && b <= 60' ;;
    *) fail "unknown colour $1" ;;
  esac
}

# "X Y R G B" for every pixel of the rectangle, in screen coordinates.
pixels_of() {
  local file=$1 x=$2 y=$3 w=$4 h=$5
  convert "$file" -crop "${w}x${h}+${x}+${y}" +repage -depth 8 txt:- |
    awk -v ox="$x" -v oy="$y" -F'[,:() ]+' '!/^#/ {print $1 + ox, $2 + oy, $3, $4, $5}'
}

count_pixels() {
  pixels_of "$1" "$2" "$3" "$4" "$5" | awk "{r=\$3; g=\$4; b=\$5} $(pixel_filter "$6") {n++} END {print n + 0}"
}

ink_box() {
  pixels_of "$1" "$2" "$3" "$4" "$5" | awk "{r=\$3; g=\$4; b=\$5} $(pixel_filter "$6") {
      if (!n++) {l = r_ = \$1; t = b_ = \$2}
      if (\$1 < l) l = \$1; if (\$1 > r_) r_ = \$1; if (\$2 < t) t = \$2; if (\$2 > b_) b_ = \$2
    } END {if (n) print l, t, r_, b_; else print \"none\"}"
}

pixel() { pixels_of "$1" "$2" "$3" 1 1 | awk '{print $3, $4, $5}'; }

scaled() { echo $((($1 * 15 * $2 + 720) / 1440)); }

# Fails unless "$1" equals "$2", naming what was compared.
expect_eq() {
  [ "$1" = "$2" ] || fail "${3:-value}: got '$1', expected '$2'"
}
