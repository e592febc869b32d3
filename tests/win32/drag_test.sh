#!/bin/bash
# Dragging: a press of any button anywhere but on the close glyph moves the window with the
# pointer; a press on the glyph does not, and neither does a press released where it began.
#   drag_test.sh BRUMO_EXE PREFIX_TEMPLATE
source "$(dirname "$0")/wine_session.sh"
exe=$1
start_session 96
use_prefix "$2" 96

open_clock "$exe"
win=$CLOCK_WIN
f=3  # the frame: client-area point (cx, cy) is at window x + f + cx

# A point of the client area, on the screen.
at() {
  local x y w h
  read -r x y w h < <(geometry "$win")
  echo $((x + f + $1)) $((y + f + $2))
}

# Left button on the phrase, away from the screen's edges.
read -r px py < <(at 128 13)
drag 1 "$px" "$py" 400 300 "$win"
# Right button on the background between the phrase and the clock.
read -r px py < <(at 259 13)
drag 3 "$px" "$py" -120 60 "$win"
# Middle button on the date.
read -r px py < <(at 290 20)
drag 2 "$px" "$py" 90 -70 "$win"
# A side button on the second colon, and the left one on the seconds and on the hour.
read -r px py < <(at 294 6)
drag 8 "$px" "$py" -50 40 "$win"
read -r px py < <(at 300 6)
drag 1 "$px" "$py" 30 30 "$win"
read -r px py < <(at 273 6)
drag 1 "$px" "$py" -30 -30 "$win"

# A press on the close glyph, released away from it: no move, no close. The drag that follows
# takes the window exactly as far as its own pointer travel, from where it was.
read -r x0 y0 w h < <(geometry "$win")
read -r gx gy < <(at 316 7)
xdotool mousemove "$gx" "$gy" mousedown 1 mousemove $((gx + 60)) $((gy + 40)) mouseup 1
# A press on the phrase released where it began: once the window manager has the pointer (the
# window follows a small nudge), the pointer goes back and the button comes up there.
read -r px py < <(at 128 13)
xdotool mousemove "$px" "$py" mousedown 1 mousemove $((px + 4)) "$py"
e2e_wait_at "$win" $((x0 + 4)) "$y0" $((px + 4)) "$py" || fail "a press on the phrase did not move"
xdotool mousemove "$px" "$py"
e2e_wait_at "$win" "$x0" "$y0" "$px" "$py" || fail "the window did not come back with the pointer"
xdotool mouseup 1
read -r px py < <(at 200 13)
drag 1 "$px" "$py" 50 50 "$win"
read -r x1 y1 _ < <(geometry "$win")
[ "$x1 $y1" = "$((x0 + 50)) $((y0 + 50))" ] ||
  fail "the window went from $x0,$y0 to $x1,$y1: the glyph or a still press moved it"
kill -0 "$CLOCK_PID" || fail "the clock ended"
echo "ok"
