#!/usr/bin/env bash
# With no window manager to hand the move to, the clock moves itself after the pointer until
# the button comes up; a window manager that has gone may leave _NET_SUPPORTED behind, and the
# clock must not be fooled by it.
BRUMO=$1
source "$(dirname "$0")/lib.sh"

start_session 96
kill "$E2E_WM_PID"
ended_with "$E2E_WM_PID"
# What a crashed manager would leave: its list of supported hints, moves included.
xprop -root -f _NET_SUPPORTED 32a -set _NET_SUPPORTED _NET_WM_MOVERESIZE,_NET_WM_STATE
E2E_NO_WM=1
start_brumo
F=3

drag_by() {
  local button=$1 px=$2 py=$3 dx=$4 dy=$5 x0 y0 x1 y1 w h
  read -r x0 y0 w h < <(geometry "$BRUMO_WIN")
  drag "$button" $((x0 + F + px)) $((y0 + F + py)) "$dx" "$dy"
  read -r x1 y1 w h < <(geometry "$BRUMO_WIN")
  expect_eq "$x1,$y1" "$((x0 + dx)),$((y0 + dy))" "window after a drag with button $button"
}
drag_by 1 60 12 300 200
drag_by 3 280 5 -100 50
drag_by 2 300 20 40 -30

# After the release the window stays where it is when the pointer moves on.
read -r x y w h < <(geometry "$BRUMO_WIN")
xdotool mousemove 5 5 mousemove 700 500
drag_by 1 100 12 5 5
expect_eq "$(geometry "$BRUMO_WIN" | cut -d' ' -f3,4)" "330 32" "window size"
still_running "$BRUMO_PID" || fail "the clock ended"
echo "PASS"
