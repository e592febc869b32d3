#!/usr/bin/env bash
# What the clock repaints tick by tick, box by box, looks exactly like a clock painted afresh at
# the same time: no stale pixels, no neighbour left out or drawn twice over itself. And a window
# that is hidden and shown again comes back the same.
BRUMO=$1
source "$(dirname "$0")/lib.sh"

# On two displays at DPI: on one a clock lives through the times given, on the other a new
# clock is started at each of them; at each time the two must look the same.
series() {
  local dpi=$1
  shift
  start_session "$dpi"
  LIVING=$DISPLAY
  start_session "$dpi"
  FRESH=$DISPLAY
  NOW_FILE=$E2E_TMP/now-$dpi
  echo '2026-03-14 14:47:57' >"$NOW_FILE"
  export DISPLAY=$LIVING
  start_brumo "file:$NOW_FILE"
  LIVING_PID=$BRUMO_PID
  LIVING_WIN=$BRUMO_WIN
  local at
  for at in "$@"; do step "$at"; done
}

# The clock window's pixels on the current display, as a file; once painted, when asked.
window_image() {
  local out=$1 win=$2 painted=${3:-} i
  for i in $(seq 50); do
    import -window "$win" "miff:$out"
    [ -z "$painted" ] && return 0
    [ "$(convert "$out" -format '%[pixel:p{0,0}]' info:)" = "srgb(227,227,227)" ] && return 0
    sleep 0.1
  done
  fail "the clock did not paint itself"
}

# Sets the living clock to TIME and compares it with a fresh clock started at TIME.
step() {
  local at=$1 i diff=unknown
  export DISPLAY=$FRESH
  start_brumo "$at"
  window_image "$E2E_TMP/fresh.miff" "$BRUMO_WIN" painted
  kill "$BRUMO_PID"
  ended_with "$BRUMO_PID"

  export DISPLAY=$LIVING
  echo "$at" >"$NOW_FILE"
  # Within a few ticks the living clock shows the time; keep looking until it matches.
  for i in $(seq 50); do
    window_image "$E2E_TMP/living.miff" "$LIVING_WIN"
    diff=$(compare -metric AE "$E2E_TMP/living.miff" "$E2E_TMP/fresh.miff" null: 2>&1 || true)
    [ "$diff" = 0 ] && return 0
    sleep 0.1
  done
  convert "$E2E_TMP/living.miff" /tmp/brumo-repaint-living.png
  convert "$E2E_TMP/fresh.miff" /tmp/brumo-repaint-fresh.png
  fail "at $at the repainted clock differs from a fresh one in $diff pixels" \
    "(images in /tmp/brumo-repaint-*.png)"
}

# In turn: the seconds, and seconds shown before (copied, not drawn); minutes, seconds and the
# phrase; hour, minutes, seconds and the phrase at once; a one-digit hour against the colon; the
# date, the hour "0" and "Mezzanotte"; the longest phrase.
series 96 '2026-03-14 14:47:58' '2026-03-14 14:47:57' '2026-03-14 14:47:58' \
  '2026-03-14 14:48:05' '2026-03-14 20:00:00' '2026-03-14 09:05:07' '2026-03-15 00:00:00' \
  '2026-12-31 11:45:00'
# At 144 dpi, where the boxes overlap by more.
series 144 '2026-03-14 14:48:05' '2026-03-14 14:48:06' '2026-03-14 14:48:05' \
  '2026-03-15 00:00:00'

# Hidden and shown again: the window comes back from the back buffer as it was.
export DISPLAY=$LIVING
window_image "$E2E_TMP/before.miff" "$LIVING_WIN"
xdotool windowunmap --sync "$LIVING_WIN"
xdotool windowmap --sync "$LIVING_WIN"
for i in $(seq 50); do
  window_image "$E2E_TMP/after.miff" "$LIVING_WIN"
  diff=$(compare -metric AE "$E2E_TMP/before.miff" "$E2E_TMP/after.miff" null: 2>&1 || true)
  [ "$diff" = 0 ] && break
  sleep 0.1
done
expect_eq "$diff" 0 "pixels that differ after the window was hidden and shown"
still_running "$LIVING_PID" || fail "the clock ended"
echo "PASS"
