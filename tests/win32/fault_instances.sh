#!/bin/bash
# One copy at a time, under pressure: fifteen copies of brumo.exe started at once, four times over,
# leave exactly one window each time, and every other copy ends with status 0 without its window
# ever being shown; the copy left running is then killed with SIGKILL, and that never keeps the
# next start from showing its clock.
#
# "Never shown" is read from the copies' own X requests: no copy but the one left running ever
# asks for a window to be mapped.
#   fault_instances.sh BRUMO_EXE PREFIX_TEMPLATE
source "$(dirname "$0")/wine_session.sh"
exe=$1
rounds=4
copies=15
start_session 96
use_prefix "$2" 96
"$WINESERVER" -p

# Every X request of the copies passes through xtrace, which logs it: a copy that maps its window,
# even for an instant and even should the window manager never get to show it, leaves a MapWindow
# request in the log.
for _ in $(seq 20); do
  proxy=:$((100 + RANDOM % 900))
  [ -e "/tmp/.X11-unix/X${proxy#:}" ] || [ -e "/tmp/.X${proxy#:}-lock" ] || break
done
xtrace -n -k -d "$DISPLAY" -D "$proxy" -o "$E2E_TMP/requests.log" >"$E2E_TMP/xtrace.out" 2>&1 &
track $!
for _ in $(seq 100); do DISPLAY=$proxy xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$proxy xdpyinfo >/dev/null 2>&1 || fail "xtrace did not start: $(cat "$E2E_TMP/xtrace.out")"

# Marks the end of a round in the log with a root property of its own, and waits until xtrace has
# logged it: what the round's copies asked for is in the log before the mark.
mark=0
mark_round() {
  mark=$((mark + 1))
  DISPLAY=$proxy xprop -root -f "BRUMO_ROUND_$mark" 32c -set "BRUMO_ROUND_$mark" 1
  for _ in $(seq 300); do
    grep -aq "name='BRUMO_ROUND_$mark'" "$E2E_TMP/requests.log" && return 0
    sleep 0.1
  done
  fail "xtrace never logged the end of round $mark"
}

# The windows mapped between the last two marks (or the start and the first mark).
mapped_last_round() {
  awk -v first=$((mark == 1)) -v from="name='BRUMO_ROUND_$((mark - 1))'" \
    -v to="name='BRUMO_ROUND_$mark'" '
    BEGIN { on = first }
    index($0, from) { on = 1 }
    index($0, to) { on = 0 }
    on && / MapWindow / { n++ }
    END { print n + 0 }' "$E2E_TMP/requests.log"
}

# The visible clock windows. xdotool dies of an X error when a window it looks at is destroyed
# meanwhile, as the windows of copies that give way are: it looks again then.
visible_clocks() {
  local found
  for _ in $(seq 50); do
    found=$(xdotool search --onlyvisible --class brumo.exe 2>"$E2E_TMP/xdotool.err") || true
    grep -q 'X Error' "$E2E_TMP/xdotool.err" || break
    sleep 0.1
  done
  sort -u <<<"$found" | grep . || true
}

for round in $(seq "$rounds"); do
  pids=()
  for _ in $(seq "$copies"); do
    # A copy that fails says why through OutputDebugString, which Wine's debugstr channel shows.
    DISPLAY=$proxy WINEDEBUG=-all,+debugstr "$WINE" "$exe" >>"$E2E_TMP/clock.log" 2>&1 &
    pids+=($!)
    track $!
  done
  win=$(wait_for_window brumo.exe 120) || fail "round $round: no clock window at all"
  alive=()
  for _ in $(seq 1200); do
    alive=()
    for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive+=("$pid"); done
    ((${#alive[@]} <= 1)) && break
    shown=$(visible_clocks | wc -l)
    ((shown <= 1)) || fail "round $round: $shown clock windows at once"
    sleep 0.1
  done
  ((${#alive[@]} == 1)) || fail "round $round: ${#alive[@]} copies still running"
  survivor=${alive[0]}
  for pid in "${pids[@]}"; do
    [ "$pid" = "$survivor" ] && continue
    wait_exit "$pid" 1 || fail "round $round: copy $pid still runs"
    [ "$EXIT_STATUS" = 0 ] || fail "round $round: a second copy ended with status $EXIT_STATUS" \
      "(the copies said: $(tail -n 5 "$E2E_TMP/clock.log" | tr '\n' ' '))"
  done
  windows=$(visible_clocks | tr '\n' ' ')
  [ "$windows" = "$win " ] || fail "round $round: clock windows $windows"
  xprop -id "$win" _NET_WM_PID | grep -q "= $survivor\$" ||
    fail "round $round: the window is not the running copy's"
  mark_round
  mapped=$(mapped_last_round)
  ((mapped == 1)) || fail "round $round: $mapped windows were mapped"

  # The hardest end: nothing of the copy's own runs, and Wine's server is left to clean up.
  kill -KILL "$survivor"
  wait_exit "$survivor" 30 || fail "round $round: the killed copy is still there"
  wait_gone "$win" 30 || fail "round $round: the killed copy's window stayed"
  echo "ok: round $round, $copies copies, one window (${SECONDS}s)"
done

# The last copy killed keeps nobody out either.
DISPLAY=$proxy open_clock "$exe"
echo "ok: a start after the last SIGKILL shows its clock"
