#!/bin/bash
# Closing: Alt+F4, a click on the close glyph and the window manager's close request each end the
# program with status 0; F4, Shift+Alt+F4 and Ctrl+Alt+F4 do nothing.
#   close_test.sh BRUMO_EXE PREFIX_TEMPLATE
source "$(dirname "$0")/wine_session.sh"
exe=$1
start_session 96
use_prefix "$2" 96
f=3

expect_closed() {
  wait_gone "$win" 10 || fail "$1 left the window open"
  wait_exit "$CLOCK_PID" 10 || fail "$1 closed the window but the program runs on"
  [ "$EXIT_STATUS" = 0 ] || fail "$1 ended the program with status $EXIT_STATUS"
}

# Keys go to the focused window.
open_clock "$exe"
win=$CLOCK_WIN
xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
for _ in $(seq 50); do
  [ "$(xdotool getwindowfocus)" = "$win" ] && break
  sleep 0.1
done
[ "$(xdotool getwindowfocus)" = "$win" ] || fail "the clock never got the keyboard focus"
xdotool key F4 shift+alt+F4 ctrl+alt+F4
# Events are handled in order: once a later drag has moved the window, the keys have been seen.
read -r x y w h < <(geometry "$win")
drag 1 $((x + f + 128)) $((y + f + 13)) 200 150 "$win"
xwininfo -id "$win" >/dev/null 2>&1 || fail "F4, Shift+Alt+F4 or Ctrl+Alt+F4 closed the window"
kill -0 "$CLOCK_PID" || fail "F4, Shift+Alt+F4 or Ctrl+Alt+F4 ended the program"
xdotool key alt+F4
expect_closed "Alt+F4"

# A click on the close glyph.
open_clock "$exe"
win=$CLOCK_WIN
read -r x y _ < <(geometry "$win")
xdotool mousemove $((x + f + 316)) $((y + f + 7)) click 1
expect_closed "a click on the close glyph"

# The window manager's close request (the desktop's own Alt+F4 or close button).
open_clock "$exe"
win=$CLOCK_WIN
wmctrl -i -c "$win"
expect_closed "the window manager's close request"
echo "ok"
