#!/usr/bin/env bash
# The clock under one window manager, as a new user meets it (its default configuration): the
# window's size, kept above an ordinary window raised over it, moved by drags that end with their
# button, shown on every desktop, active once started, and one copy only.
#   desktop_test.sh BRUMO MANAGER
set -euo pipefail
BRUMO=$1
export E2E_WM=$2
. "$(dirname "$0")/../x11/e2e/lib.sh"
start_session 96
wm=$E2E_WM

skip() { echo "skip: $wm: $1: $2"; }
ok() { echo "ok: $wm: $1"; }

# The clock's outer area, cropped from a fresh screenshot.
clock_shot() {
  local x y w h
  read -r x y w h < <(geometry "$BRUMO_WIN")
  import -window root "$E2E_TMP/root.png"
  convert "$E2E_TMP/root.png" -crop "${w}x${h}+${x}+${y}" +repage "$1"
}
same_picture() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = 0 ]; }

xlogo -geometry 300x120+200+300 &
track $!
other=$(wait_for_window XLogo 20) || fail "no other window"

# Active once shown: started while another window has the focus, the clock takes it, so that
# Alt+F4 right away closes the clock and not that window.
if [ "$wm" = twm ]; then
  skip "active once started" "twm binds no Alt+F4 and its focus follows the pointer"
else
  xdotool windowactivate --sync "$other" >/dev/null 2>&1 || true
  start_brumo
  for i in $(seq 50); do
    [ "$(xdotool getactivewindow 2>/dev/null || true)" = "$BRUMO_WIN" ] && break
    sleep 0.1
  done
  xdotool key alt+F4
  ended_with "$BRUMO_PID" 5
  expect_eq "$STATUS" 0 "status after Alt+F4"
  xwininfo -id "$other" >/dev/null 2>&1 || fail "Alt+F4 closed the window that had the focus"
  ok "active once started: Alt+F4 closed the clock, not the window before it"
fi

# Launched with startup notification: the clock names its launch and ends the feedback.
xev -root -event property >"$E2E_TMP/root-events" 2>&1 &
track $!
sleep 0.3
DESKTOP_STARTUP_ID="launch-${wm}_TIME0" start_brumo '2026-03-14 14:47:58'
read -r x y w h < <(geometry "$BRUMO_WIN")
expect_eq "$w $h" "330 32" "window size"
ok "size 330x32"
expect_eq "$(xprop -id "$BRUMO_WIN" _NET_STARTUP_ID)" \
  "_NET_STARTUP_ID(UTF8_STRING) = \"launch-${wm}_TIME0\"" "the launch's startup ID"
for i in $(seq 20); do grep -q _NET_STARTUP_INFO_BEGIN "$E2E_TMP/root-events" && break; sleep 0.1; done
grep -q _NET_STARTUP_INFO_BEGIN "$E2E_TMP/root-events" || fail "the launch feedback was not ended"
ok "startup notification"

"$BRUMO" && second=0 || second=$?
expect_eq "$second" 0 "a second copy's status"
expect_eq "$(xdotool search --class brumo 2>/dev/null | wc -l)" 1 "clock windows"
ok "a second copy ends at once"

clock_shot "$E2E_TMP/alone.png"
# An ordinary window moved over the clock and raised with the focus: the clock still shows whole.
xdotool windowmove --sync "$other" $((x - 40)) $((y - 20)) >/dev/null 2>&1 || true
xdotool windowactivate --sync "$other" >/dev/null 2>&1 || xdotool windowraise "$other"
sleep 0.5
clock_shot "$E2E_TMP/covered.png"
same_picture "$E2E_TMP/alone.png" "$E2E_TMP/covered.png" ||
  fail "an ordinary window raised over the clock covers it"
ok "above an ordinary window raised over it"

# Drags with the left and the right button move the clock by the pointer's travel, and end with
# the button: the pointer moved afterwards leaves the clock where it is.
for button in 1 3; do
  read -r x y w h < <(geometry "$BRUMO_WIN")
  drag "$button" $((x + 60)) $((y + 15)) 100 150
  read -r x1 y1 w h < <(geometry "$BRUMO_WIN")
  expect_eq "$x1 $y1" "$((x + 100)) $((y + 150))" "after a drag with button $button"
  sleep 0.5
  xdotool mousemove $((x1 + 200)) $((y1 + 100))
  sleep 0.5
  xdotool mousemove $((x1 + 260)) $((y1 + 160))
  sleep 0.5
  read -r x2 y2 w h < <(geometry "$BRUMO_WIN")
  expect_eq "$x2 $y2" "$x1 $y1" "after the pointer moved on from a drag with button $button"
  ok "a drag with button $button moves the clock by the pointer's travel and ends with it"
done

# Another desktop: the clock is still there. A manager that starts with one is asked for two.
desktops() { xprop -root _NET_NUMBER_OF_DESKTOPS 2>/dev/null | awk '/=/{print $NF}'; }
if [ "$(desktops)" = 1 ]; then
  wmctrl -n 2
  for i in $(seq 20); do [ "$(desktops)" = 2 ] && break; sleep 0.1; done
fi
if [ "$(desktops)" -ge 2 ] 2>/dev/null; then
  wmctrl -s 1
  for i in $(seq 30); do
    [ "$(xprop -root _NET_CURRENT_DESKTOP | awk '{print $NF}')" = 1 ] && break
    sleep 0.1
  done
  expect_eq "$(xprop -root _NET_CURRENT_DESKTOP | awk '{print $NF}')" 1 "current desktop"
  sleep 0.5
  xwininfo -id "$BRUMO_WIN" | grep -q IsViewable || fail "hidden on another desktop"
  clock_shot "$E2E_TMP/desktop1.png"
  same_picture "$E2E_TMP/alone.png" "$E2E_TMP/desktop1.png" || fail "not shown on another desktop"
  wmctrl -s 0
  ok "shown on another desktop"
else
  skip "on another desktop" "$wm has no desktops"
fi
