#!/usr/bin/env bash
# One clock per display: a second copy ends at once, showing nothing and leaving the first
# alone; of many started together exactly one stays; and a copy that was killed blocks nothing.
BRUMO=$1
source "$(dirname "$0")/lib.sh"
command -v xtrace >/dev/null || fail "xtrace is not installed (package xtrace)"

start_session 96
# The clock windows the window manager manages.
managed_clocks() { wmctrl -lx | awk '$3 == "brumo.Brumo"' | wc -l; }

start_brumo
FIRST_PID=$BRUMO_PID
FIRST_WIN=$BRUMO_WIN
before=$(geometry "$FIRST_WIN")

# A second copy, its requests to the server written down: it ends with status 0 and never asks
# for its window to be mapped.
timeout 20 xtrace -n -D :$((100 + $$ % 800)) -d "$DISPLAY" -o "$E2E_TMP/second.trace" -- \
  bash -c '"$0" 2>"$1"; echo $? >"$2"' "$BRUMO" "$E2E_TMP/second.err" "$E2E_TMP/second.status" \
  2>/dev/null || true
expect_eq "$(cat "$E2E_TMP/second.status" 2>/dev/null)" 0 "second copy's exit status"
[ -s "$E2E_TMP/second.trace" ] || fail "xtrace wrote nothing"
grep -q "SetSelectionOwner\|GetSelectionOwner" "$E2E_TMP/second.trace" ||
  fail "the second copy never asked who runs"
if grep -q "MapWindow" "$E2E_TMP/second.trace"; then fail "the second copy mapped a window"; fi
[ ! -s "$E2E_TMP/second.err" ] || fail "the second copy said: $(cat "$E2E_TMP/second.err")"
still_running "$FIRST_PID" || fail "the first copy ended"
expect_eq "$(geometry "$FIRST_WIN")" "$before" "the first copy's window"
expect_eq "$(managed_clocks)" 1 "clock windows"

# Ten at once, with the first gone: one stays, the others end with status 0.
kill "$FIRST_PID"
ended_with "$FIRST_PID"
expect_eq "$STATUS" 0 "status after SIGTERM"
pids=()
for i in $(seq 10); do
  "$BRUMO" 2>>"$E2E_TMP/many.err" &
  pids+=($!)
  track $!
done
running=()
for pid in "${pids[@]}"; do
  for i in $(seq 200); do
    still_running "$pid" || break
    # The one that stays has shown its window.
    xdotool search --pid "$pid" 2>/dev/null | head -n1 | grep -q . &&
      wmctrl -lp | awk -v p="$pid" '$3 == p' | grep -q . && break
    sleep 0.05
  done
  if still_running "$pid"; then
    running+=("$pid")
  else
    ended_with "$pid"
    expect_eq "$STATUS" 0 "status of a copy that found another running"
  fi
done
expect_eq "${#running[@]}" 1 "copies still running of ten started together"
expect_eq "$(managed_clocks)" 1 "clock windows of ten started together"
[ ! -s "$E2E_TMP/many.err" ] || fail "the copies said: $(cat "$E2E_TMP/many.err")"

# Killed so that it cannot clean up: the server lets its claim go with its connection.
kill -KILL "${running[0]}"
ended_with "${running[0]}"
start_brumo
expect_eq "$(managed_clocks)" 1 "clock windows after a killed copy"
echo "PASS"
