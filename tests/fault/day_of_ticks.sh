#!/usr/bin/env bash
# Days of ticks at accelerated time (31337 times real time: a tick every 52 minutes and 13.7
# seconds of clock time, so hours, minutes, seconds, dates and phrases all keep changing, and a
# day goes by in under three seconds): under valgrind no byte
# is lost and nothing is misused; the heap takes no allocation after start-up, however long the
# clock runs; and its own memory stays flat (the files' pages it let go of after start-up, such
# as code that only a new date runs, may come back: they are the files', not the clock's).
set -euo pipefail
BRUMO=$1
PROBE=$2  # a preloaded library that counts allocations and reports them on SIGUSR1
. "$(dirname "$0")/../e2e/session.sh"
. "$(dirname "$0")/lib.sh"
start_session 96
command -v valgrind >/dev/null || fail "valgrind is missing"
SPEED="@2026-12-31 20:00:00 x31337"
SUPPRESSIONS="$(dirname "$0")/valgrind.supp"

# Runs the clock at accelerated time for $2 seconds after its window shows; $1 names the run.
run() {
  local name=$1 secs=$2 win pid status=0
  shift 2
  env LD_PRELOAD="$FAKETIME_LIB" FAKETIME="$SPEED" FAKETIME_DONT_FAKE_MONOTONIC=1 "$@" "$BRUMO" &
  pid=$!
  track $pid
  win=$(wait_for_window brumo 90) || fail "$name: no window"
  sleep "$secs"
  kill -TERM "$(xdotool getwindowpid "$win")"
  wait "$pid" || status=$?
  [ "$status" = 0 ] || fail "$name: ended with status $status: $(tail -n 30 "$E2E_TMP/$name.log" 2>/dev/null)"
}

memcheck=(valgrind --leak-check=full --show-leak-kinds=definite,indirect --num-callers=50
  --errors-for-leak-kinds=definite,indirect --error-exitcode=99 --suppressions="$SUPPRESSIONS")
run memcheck 14 "${memcheck[@]}" --log-file="$E2E_TMP/memcheck.log"
grep -q 'indirectly lost: 0 bytes\|no leaks are possible' "$E2E_TMP/memcheck.log" ||
  fail "memory lost: $(grep -A4 'LEAK SUMMARY' "$E2E_TMP/memcheck.log")"
echo "ok: five days of ticks under memcheck: no error, nothing lost"

# The plain program, with a probe that counts its heap allocations: after two accelerated days
# and after five, the same count and the same resident memory.
COUNT_FILE=$E2E_TMP/allocations
env BRUMO_ALLOC_COUNT_FILE="$COUNT_FILE" LD_PRELOAD="$PROBE:$FAKETIME_LIB" FAKETIME="$SPEED" \
  FAKETIME_DONT_FAKE_MONOTONIC=1 "$BRUMO" &
CLOCK_PID=$!
track $CLOCK_PID
wait_for_window brumo 20 >/dev/null || fail "no window"
allocations() { allocation_count "$CLOCK_PID" "$COUNT_FILE"; }
rss() { awk '/^RssAnon/{print $2}' "/proc/$CLOCK_PID/status"; }
sleep 6
first_allocs=$(allocations)
first_rss=$(rss)
sleep 10
second_allocs=$(allocations)
second_rss=$(rss)
stop_clock
[ "$first_allocs" = "$second_allocs" ] ||
  fail "the heap takes allocations as time goes by: $first_allocs, then $second_allocs"
[ $((second_rss - first_rss)) -le 8 ] ||
  fail "the clock's own resident memory grew from $first_rss kB to $second_rss kB"
echo "ok: no allocation after start-up ($first_allocs, all at start-up); its own resident memory flat ($first_rss kB, then $second_rss kB)"
