# Sourced by the fault tests, after tests/e2e/session.sh: a clock on a fake time that the test
# can move while it runs, and pixel comparisons of what the clock shows.
#
#   start_clock BRUMO "YYYY-MM-DD hh:mm:ss" [env ARGS...]    frozen at that time; sets CLOCK_PID
#   set_time "YYYY-MM-DD hh:mm:ss"                           moves the running clock's time
#   shot WIN OUT.png                                         the window's outer area
#   differing A.png B.png                                    how many pixels differ
#   stop_clock                                               SIGTERM, and wait for it

FAKETIME_LIB=${FAKETIME_LIB:-/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1}
[ -r "$FAKETIME_LIB" ] || fail "libfaketime is missing (package faketime)"
STAMP_FILE="$E2E_TMP/faketime"

set_time() { printf '%s\n' "$1" >"$STAMP_FILE"; }

start_clock() {
  local brumo=$1
  set_time "$2"
  shift 2
  env "$@" LD_PRELOAD="$FAKETIME_LIB" FAKETIME_TIMESTAMP_FILE="$STAMP_FILE" FAKETIME_NO_CACHE=1 \
    FAKETIME_DONT_FAKE_MONOTONIC=1 "$brumo" 2>>"$E2E_TMP/clock.err" &
  CLOCK_PID=$!
  track "$CLOCK_PID"
}

# Why a clock shows no window: whether it runs, what it said, what the display holds.
clock_state() {
  if kill -0 "$CLOCK_PID" 2>/dev/null; then echo "the clock runs"; else echo "the clock ended"; fi
  cat "$E2E_TMP/clock.err" 2>/dev/null || true
  xwininfo -root -tree 2>&1 | grep -i brumo || echo "no brumo window on $DISPLAY"
}

stop_clock() {
  kill -TERM "$CLOCK_PID" 2>/dev/null || true
  wait "$CLOCK_PID" 2>/dev/null || true
}

shot() {
  local x y w h
  read -r x y w h < <(geometry "$1")
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$2"
}

differing() { compare -metric AE "$1" "$2" null: 2>&1 || true; }

# Paints a rectangle "x0,y0 x1,y1" black in place, so that a comparison leaves it out.
mask() { [ -z "$2" ] || mogrify -fill black -draw "rectangle $2" "$1"; }

# The seconds of the readout, in window coordinates at 96 dpi (inside the 3 px frame).
SECONDS_BOX="298,3 310,15"

# Waits until the window shows what a reference image shows, outside an optional masked
# rectangle; fails with both kept for a look.
expect_shows() {
  local win=$1 ref=$2 what=$3 masked=${4:-} i n=
  cp "$ref" "$E2E_TMP/ref.png"
  mask "$E2E_TMP/ref.png" "$masked"
  for i in $(seq 30); do
    shot "$win" "$E2E_TMP/now.png"
    mask "$E2E_TMP/now.png" "$masked"
    n=$(differing "$E2E_TMP/now.png" "$E2E_TMP/ref.png")
    [ "$n" = 0 ] && return 0
    sleep 0.1
  done
  mkdir -p "${FAULT_ARTIFACTS:-/tmp/brumo-fault}"
  cp "$E2E_TMP/now.png" "${FAULT_ARTIFACTS:-/tmp/brumo-fault}/$what-seen.png"
  cp "$ref" "${FAULT_ARTIFACTS:-/tmp/brumo-fault}/$what-expected.png"
  fail "$what: $n pixels differ from the reference (see ${FAULT_ARTIFACTS:-/tmp/brumo-fault})"
}

# A picture of the clock frozen at a time, started and closed for the purpose.
reference() {
  local brumo=$1 time=$2 out=$3 win
  shift 3
  start_clock "$brumo" "$time" "$@"
  win=$(wait_for_window brumo 20) || fail "no reference window for $time"
  sleep 0.3
  shot "$win" "$out"
  stop_clock
  wait_gone "$win" 5 || fail "the reference clock did not close"
}
