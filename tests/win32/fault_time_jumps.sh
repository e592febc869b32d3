#!/bin/bash
# The system clock steps while brumo.exe runs (back an hour, forward a day, a few seconds either
# way, the spring-forward hour and New Year in Rome): the next tick shows the new time exactly as
# a copy started at that time shows it.
#   fault_time_jumps.sh BRUMO_EXE PREFIX_TEMPLATE
source "$(dirname "$0")/wine_session.sh"
exe=$1
start_session 96
use_prefix "$2" 96
fake_time '2026-03-14 14:47:58'
artifacts=${E2E_SHOT_DIR:-$E2E_TMP}

# Starts the clock frozen at TIME in ZONE and waits for its window; sets CLOCK_PID and CLOCK_WIN.
open_clock_at() {
  set_time "$1"
  TZ=$2 WINE=$FAKED_WINE open_clock "$exe"
}

close_clock() {
  kill "$CLOCK_PID"
  wait_exit "$CLOCK_PID" 30 || fail "the clock did not end on SIGTERM"
  wait_gone "$CLOCK_WIN" 10 || fail "the clock's window stayed"
}

differing() { diff "$1" "$2" | grep -c '^<' || true; }

# Polls until the window shows exactly what REF holds; keeps both pictures when it never does.
expect_shows() {
  local win=$1 ref=$2 what=$3 n=
  for _ in $(seq 150); do
    window_shot "$win"
    client_pixels >"$E2E_TMP/now"
    n=$(differing "$E2E_TMP/now" "$ref")
    [ "$n" = 0 ] && return 0
    sleep 0.1
  done
  cp "$E2E_TMP/window.png" "$artifacts/fault-$what-seen.png" 2>/dev/null || true
  cp "$E2E_TMP/reference.png" "$artifacts/fault-$what-expected.png" 2>/dev/null || true
  fail "$what: $n pixels differ from a clock started at that time (see $artifacts)"
}

jumps=(
  "UTC|2026-03-14 14:47:58|2026-03-14 13:47:58"          # back an hour
  "UTC|2026-03-14 13:47:58|2026-03-15 13:47:58"          # forward a day
  "UTC|2026-03-15 13:47:58|2026-03-15 13:48:03"          # a few seconds, into the next minute
  "UTC|2026-03-15 13:48:03|2026-03-15 13:47:59"          # and back
  "Europe/Rome|2026-03-29 01:59:59|2026-03-29 03:00:00"  # spring forward
  "Europe/Rome|2026-12-31 23:59:59|2027-01-01 00:00:00"  # New Year
)
for jump in "${jumps[@]}"; do
  IFS='|' read -r zone from to <<<"$jump"
  what="jump-${to// /_}"
  what=${what//:/-}
  open_clock_at "$to" "$zone"
  settled_shot "$CLOCK_WIN" "$E2E_TMP/expected"
  cp "$E2E_TMP/window.png" "$E2E_TMP/reference.png"
  close_clock

  open_clock_at "$from" "$zone"
  settled_shot "$CLOCK_WIN" "$E2E_TMP/before"
  [ "$(differing "$E2E_TMP/before" "$E2E_TMP/expected")" != 0 ] ||
    fail "$from and $to look the same: the jump would prove nothing"
  set_time "$to"
  expect_shows "$CLOCK_WIN" "$E2E_TMP/expected" "$what"
  close_clock
  echo "ok: $zone $from -> $to"
done
