#!/usr/bin/env bash
# One copy at a time, under pressure: thirty copies started at once, ten times over, leave
# exactly one window each time; a copy killed with SIGKILL never blocks the next start; and
# another user's copies (run as nobody) cannot keep this user's clock from starting.
set -euo pipefail
BRUMO=$1
E2E_PRIVATE_DISPLAY=1
. "$(dirname "$0")/../e2e/session.sh"
start_session 96

count_windows() { xdotool search --onlyvisible --class brumo 2>/dev/null | wc -l; }

for round in $(seq 10); do
  pids=()
  for i in $(seq 30); do
    "$BRUMO" 2>>"$E2E_TMP/race.log" &
    pids+=($!)
    track $!
  done
  win=$(wait_for_window brumo 60) || fail "round $round: no window at all: $(sort "$E2E_TMP/race.log" | uniq -c)"
  # Every copy but one must end by itself, with status 0 and without showing anything.
  for i in $(seq 200); do
    alive=()
    for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive+=("$pid"); done
    [ ${#alive[@]} -le 1 ] && break
    sleep 0.05
  done
  [ ${#alive[@]} = 1 ] || fail "round $round: ${#alive[@]} copies still running"
  survivor=${alive[0]}
  for pid in "${pids[@]}"; do
    [ "$pid" = "$survivor" ] && continue
    wait "$pid" || fail "round $round: a second copy ended with status $?"
  done
  [ "$(count_windows)" = 1 ] || fail "round $round: $(count_windows) windows"
  if [ $((round % 2)) = 0 ]; then
    kill -KILL "$survivor"  # the hardest end: nothing of the copy's own runs
  else
    kill -TERM "$survivor"
  fi
  wait "$survivor" 2>/dev/null || true
  wait_gone "$win" 5 || fail "round $round: the window stayed"
done
echo "ok: ten rounds of thirty copies left one window each; killed copies blocked nothing"

# Another user: their copies, on this display (refused: the display is this user's) and on a
# display of their own, leave this user's start untouched.
if runuser -u nobody -- test -x "$BRUMO" 2>/dev/null; then
  runuser -u nobody -- env DISPLAY="$DISPLAY" XAUTHORITY=/nonexistent "$BRUMO" \
    >"$E2E_TMP/nobody.log" 2>&1 &
  nobody_here=$!
  track $nobody_here
  Xvfb -displayfd 6 -screen 0 640x480x24 -nolisten tcp 6>"$E2E_TMP/nobody-display" \
    >/dev/null 2>&1 &
  track $!
  for i in $(seq 100); do [ -s "$E2E_TMP/nobody-display" ] && break; sleep 0.1; done
  runuser -u nobody -- env DISPLAY=":$(head -n1 "$E2E_TMP/nobody-display")" "$BRUMO" \
    >/dev/null 2>&1 &
  nobody_own=$!
  track $nobody_own
  sleep 1
  "$BRUMO" &
  mine=$!
  track $mine
  win=$(wait_for_window brumo 20) || fail "another user's copy kept this user's clock from starting"
  kill -0 "$mine" 2>/dev/null || fail "this user's clock ended"
  xprop -id "$win" _NET_WM_PID | grep -q "= $mine\$" || fail "the window is not this user's copy"
  echo "ok: another user's copies did not stop this user's clock"
else
  echo "SKIP: nobody cannot run $BRUMO here (not root, or the build is not reachable)"
fi
