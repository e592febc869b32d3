#!/usr/bin/env bash
# The system clock steps while the clock runs (back an hour, forward a day, a few seconds, and
# the daylight-saving and calendar edges in Rome): the next tick shows the new time exactly as a
# clock started at that time shows it, with nothing stale left on the screen.
set -euo pipefail
BRUMO=$1
. "$(dirname "$0")/../e2e/session.sh"
. "$(dirname "$0")/lib.sh"
start_session 96

jumps=(
  "UTC|2026-03-14 14:47:58|2026-03-14 13:47:58"  # back an hour
  "UTC|2026-03-14 13:47:58|2026-03-15 13:47:58"  # forward a day
  "UTC|2026-03-15 13:47:58|2026-03-15 13:48:03"  # a few seconds, across a phrase band
  "UTC|2026-03-15 13:48:03|2026-03-15 13:47:59"  # and back across it
  "Europe/Rome|2026-03-29 01:59:59|2026-03-29 03:00:00"  # spring forward
  "Europe/Rome|2026-10-25 02:59:59|2026-10-25 02:00:00"  # the repeated hour in autumn
  "Europe/Rome|2026-12-31 23:59:59|2027-01-01 00:00:00"  # midnight and New Year
  "Europe/Rome|2028-02-28 23:59:59|2028-02-29 00:00:00"  # a leap day
  "Europe/Rome|2028-02-29 23:59:59|2028-03-01 00:00:00"
)
for jump in "${jumps[@]}"; do
  IFS='|' read -r zone from to <<<"$jump"
  reference "$BRUMO" "$to" "$E2E_TMP/expected.png" TZ="$zone"
  start_clock "$BRUMO" "$from" TZ="$zone"
  win=$(wait_for_window brumo 20) || fail "no window at $from"
  sleep 0.3
  shot "$win" "$E2E_TMP/before.png"
  [ "$(differing "$E2E_TMP/before.png" "$E2E_TMP/expected.png")" != 0 ] ||
    fail "$from and $to look the same: the jump would prove nothing"
  set_time "$to"
  expect_shows "$win" "$E2E_TMP/expected.png" "jump-${to// /_}"
  stop_clock
  wait_gone "$win" 5 || fail "the clock did not close"
  echo "ok: $zone $from -> $to"
done
