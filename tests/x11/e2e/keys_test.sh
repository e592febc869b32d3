#!/usr/bin/env bash
# Alt+F4 alone closes the clock: F4 with no modifier or with Shift or Control added does
# nothing, and neither does Alt with another key; CapsLock and NumLock do not count.
BRUMO=$1
source "$(dirname "$0")/lib.sh"

start_session 96
start_brumo
F=3
xdotool windowfocus --sync "$BRUMO_WIN"
for chord in F4 shift+alt+F4 ctrl+alt+F4 ctrl+F4 shift+F4 alt+F3 alt+F5 alt+4 alt+KP_4; do
  xdotool key "$chord"
done
# The clock handles its events in order: once this drag has moved it, it has seen the keys.
read -r x0 y0 w h < <(geometry "$BRUMO_WIN")
drag 1 $((x0 + F + 60)) $((y0 + F + 12)) 50 30
read -r x1 y1 w h < <(geometry "$BRUMO_WIN")
expect_eq "$x1,$y1" "$((x0 + 50)),$((y0 + 30))" "window after the drag"
still_running "$BRUMO_PID" || fail "a key other than Alt+F4 closed the clock"

# With CapsLock and NumLock on, Alt+F4 is still Alt+F4.
xdotool windowfocus --sync "$BRUMO_WIN"
xdotool key Caps_Lock Num_Lock
xset q | grep -q "Caps Lock: *on" || fail "CapsLock did not go on: $(xset q | grep Caps)"
xdotool key alt+F4
ended_with "$BRUMO_PID"
expect_eq "$STATUS" 0 "exit status after Alt+F4 with CapsLock and NumLock on"
echo "PASS"
