#!/usr/bin/env bash
# Every way of closing the clock ends it with status 0 and takes its window away: a click on the
# close glyph, Alt+F4, the window manager's close request, SIGTERM and SIGINT.
BRUMO=$1
source "$(dirname "$0")/lib.sh"

start_session 96
F=3

# Ends the clock started last; fails unless it ended with status 0 and its window went.
expect_closed() {
  ended_with "$BRUMO_PID"
  expect_eq "$STATUS" 0 "exit status after $1"
  wait_gone "$BRUMO_WIN" || fail "the window stayed after $1"
  [ ! -s "$E2E_TMP/brumo.err" ] || fail "the clock said: $(cat "$E2E_TMP/brumo.err")"
}

start_brumo
read -r x y w h < <(geometry "$BRUMO_WIN")
xdotool mousemove $((x + F + 316)) $((y + F + 7)) click 1
expect_closed "a click on the close glyph"

start_brumo
# The window manager does not give the clock the focus by itself (it is kept out of the task
# bar); a person would click on it first.
xdotool windowfocus --sync "$BRUMO_WIN"
xdotool key alt+F4
expect_closed "Alt+F4"

start_brumo
wmctrl -i -c "$BRUMO_WIN"
expect_closed "the window manager's close request"

start_brumo
kill -TERM "$BRUMO_PID"
expect_closed "SIGTERM"

start_brumo
kill -INT "$BRUMO_PID"
expect_closed "SIGINT"
echo "PASS"
