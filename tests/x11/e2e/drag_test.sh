#!/usr/bin/env bash
# A press of any button anywhere but on the close glyph drags the window by the pointer's
# travel; a press and release in place neither moves nor closes it; a press on the glyph never
# moves it.
BRUMO=$1
source "$(dirname "$0")/lib.sh"

start_session 96
start_brumo
F=3

# Drags with BUTTON from the client-area point PX,PY by DX,DY; fails unless the window moved
# by exactly that much.
drag_by() {
  local button=$1 px=$2 py=$3 dx=$4 dy=$5 what=$6 x0 y0 x1 y1 w h
  read -r x0 y0 w h < <(geometry "$BRUMO_WIN")
  drag "$button" $((x0 + F + px)) $((y0 + F + py)) "$dx" "$dy"
  read -r x1 y1 w h < <(geometry "$BRUMO_WIN")
  expect_eq "$x1,$y1" "$((x0 + dx)),$((y0 + dy))" "window after dragging $what with button $button"
  still_running "$BRUMO_PID" || fail "the clock ended after dragging $what"
}

drag_by 1 60 12 -120 -90 "the phrase"
drag_by 2 280 5 150 40 "the first colon"
drag_by 3 294 5 -70 110 "the second colon"
drag_by 3 259 20 40 -60 "the background between the phrase and the digits"
drag_by 1 300 20 25 35 "the date"
drag_by 2 285 5 -30 -30 "the minutes"

# Press and release in place: nothing happens. The release comes before the window manager can
# take over the move; it must not take it over afterwards and drag the window after the pointer.
read -r x y w h < <(geometry "$BRUMO_WIN")
for button in 1 2 3; do
  xdotool mousemove $((x + F + 100)) $((y + F + 12)) click $button
  for i in $(seq 10); do
    xdotool mousemove $((x + 200 + i)) $((y + 150)) sleep 0.05 mousemove $((x - 100)) $((y - 90))
    expect_eq "$(geometry "$BRUMO_WIN")" "$x $y $w $h" \
      "window after a click with button $button and the pointer moving on"
  done
done
# The drag after them shows that the clock has handled the clicks (its events come in order)
# and that the window moves by that drag alone.
drag_by 1 100 12 10 10 "the phrase after clicks in place"

# A press on the close glyph, released away from it: no move, no close.
read -r x y w h < <(geometry "$BRUMO_WIN")
for button in 1 3; do
  xdotool mousemove $((x + F + 316)) $((y + F + 7)) mousedown $button \
    mousemove $((x + F + 380)) $((y + F + 90)) mousemove $((x + F + 390)) $((y + F + 95)) \
    mouseup $button
done
drag_by 1 200 12 -20 15 "the phrase after presses on the close glyph"
expect_eq "$(geometry "$BRUMO_WIN" | cut -d' ' -f3,4)" "330 32" "window size after the drags"
echo "PASS"
