#!/usr/bin/env bash
# Ten thousand random key presses, button presses and pointer motions over the clock, none of
# them Alt+F4 or a click on the close glyph: it keeps running, one window at its size, showing
# the same texts; then Alt+F4 still closes it, with status 0.
set -euo pipefail
BRUMO=$1
. "$(dirname "$0")/../e2e/session.sh"
. "$(dirname "$0")/lib.sh"
start_session 96

# Starts the clock and sets win to its window.
start_storm_clock() {
  start_clock "$BRUMO" "2026-03-14 14:47:58"
  win=$(wait_for_window brumo 20) || fail "no window: $(clock_state)"
  sleep 0.3
}
start_storm_clock
shot "$win" "$E2E_TMP/before.png"

keys=(a b c q r s z 0 1 5 9 F1 F2 F3 F4 F5 F10 F12 Escape Return space Tab BackSpace Delete
  Left Right Up Down Home End Page_Up Menu)
mods=("" "" "" shift+ ctrl+ alt+ super+ shift+alt+ ctrl+alt+ ctrl+shift+)
RANDOM=${STORM_SEED:-4711}
events=0
# A left click placed off the glyph can still land on it: a press hands the window manager a
# move, the clock cancels it on its next tick once the button is up, and openbox then puts the
# window back where it was, under a click placed while it was away. So one clean close is taken
# as that, and the storm goes on with a new clock; any input that closes the clock by itself
# comes many times in ten thousand events, and fails the test.
closes=0
clock_alive() {
  kill -0 "$CLOCK_PID" 2>/dev/null && return 0
  local status=0
  wait "$CLOCK_PID" || status=$?
  if [ "$status" = 0 ] && [ "$closes" = 0 ]; then
    closes=1
    echo "note: a clean close after $events events, taken as a click moved onto the glyph"
    start_storm_clock
    return 0
  fi
  fail "the clock ended with status $status after $events events; the last batch: ${cmd[*]:-}"
}
cmd=()
while [ "$events" -lt 10000 ]; do
  clock_alive
  if ! xwininfo -id "$win" >/dev/null 2>&1; then
    sleep 1
    clock_alive
    xwininfo -id "$win" >/dev/null 2>&1 ||
      fail "the window went away after $events events, the clock still running"
  fi
  read -r x y w h < <(geometry "$win")
  # Keep the window well inside the screen, so that drags never push it out of reach.
  if [ "$x" -lt 100 ] || [ "$y" -lt 100 ] || [ "$x" -gt 800 ] || [ "$y" -gt 600 ]; then
    xdotool windowmove "$win" 400 300
    sleep 0.2
    read -r x y w h < <(geometry "$win")
  fi
  cmd=()
  for i in $(seq 200); do
    case $((RANDOM % 4)) in
      0)  # a key with random modifiers, never Alt+F4 itself
        k=${keys[RANDOM % ${#keys[@]}]}
        m=${mods[RANDOM % ${#mods[@]}]}
        [ "$m$k" = "alt+F4" ] && m=shift+alt+
        cmd+=(key --clearmodifiers --delay 0 "$m$k")
        ;;
      1)  # a motion anywhere near the window
        cmd+=(mousemove $((x - 40 + RANDOM % (w + 80))) $((y - 20 + RANDOM % (h + 40))))
        ;;
      2)  # a left press and release in place, off the glyph: a move that goes nowhere. Placed
        # relative to where the window is at that moment: the window manager may have moved it.
        cmd+=(mousemove --window "$win" $((RANDOM % (w - 24))) $((RANDOM % h)) mousedown 1 mouseup 1)
        ;;
      3)  # a right, middle or wheel button press and release in place, off the glyph too:
        # should the window manager still be moving the window, the pointer's place in it is
        # where the next left click lands
        b=$((2 + RANDOM % 4))
        cmd+=(mousemove --window "$win" $((RANDOM % (w - 24))) $((RANDOM % h)) mousedown $b mouseup $b)
        ;;
    esac
  done
  # One short drag with the right button per batch: the window moves, and the next batch
  # looks up where it went.
  cmd+=(mousemove $((x + 50)) $((y + 10)) mousedown 3 mousemove $((x + 50 + RANDOM % 40 - 20))
    $((y + 10 + RANDOM % 40 - 20)) mouseup 3)
  xdotool "${cmd[@]}" 2>>"$E2E_TMP/xdotool.err" || true  # the window may be gone: see below
  events=$((events + 203))
done
sleep 0.5
clock_alive
xdotool windowmove "$win" 400 300  # wherever the drags left it, all of it on the screen
sleep 0.3
[ "$(xdotool search --onlyvisible --class brumo | wc -l)" = 1 ] || fail "not one window"
read -r _ _ w h < <(geometry "$win")
[ "$w $h" = "330 32" ] || fail "the window is ${w}x$h"
expect_shows "$win" "$E2E_TMP/before.png" "after-storm"
echo "ok: $events events later the clock runs, one window, same size, same texts"

# The storm may leave the window manager in an interactive move, which holds the keyboard until
# a click or Escape ends it; a person would end it the same way.
xdotool key Escape mousemove --window "$win" 100 10 mousedown 1 mouseup 1 key Escape
sleep 0.3
xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
xdotool key alt+F4
wait_gone "$win" 5 || fail "Alt+F4 did not close the clock after the storm"
wait "$CLOCK_PID" || fail "the clock ended with status $?"
echo "ok: Alt+F4 closes it"
