#!/bin/bash
# The window as the window manager sees it, the clock ticking, and the single-instance rule.
#   window_test.sh BRUMO_EXE PREFIX_TEMPLATE
source "$(dirname "$0")/wine_session.sh"
exe=$1
start_session 96
use_prefix "$2" 96

open_clock "$exe"
win=$CLOCK_WIN

# A thin dialog frame around a 324 x 26 client area, and no caption.
read -r x y w h < <(geometry "$win")
[ "$w x $h" = "330 x 32" ] || fail "the window is $w x $h, not 330 x 32"

# Kept above the others from the first frame, and out of the task bar and pager.
state=$(xprop -id "$win" _NET_WM_STATE)
for atom in _NET_WM_STATE_ABOVE _NET_WM_STATE_SKIP_TASKBAR; do
  [[ $state == *"$atom"* ]] || fail "$atom missing: $state"
done
[[ $(xprop -id "$win" WM_CLASS) == *'"brumo.exe"'* ]] || fail "WM_CLASS is not brumo.exe"
# The window's icon, at both sizes, for task switchers and the like.
icons=$(xprop -id "$win" _NET_WM_ICON)
for size in "32 x 32" "16 x 16"; do
  [[ $icons == *"Icon ($size)"* ]] || fail "no $size icon on the window"
done

# The clock runs: the seconds label shows another text within a few seconds.
window_shot "$win"
first=$(e2e_select blue 295 0 308 13 | md5sum)
for _ in $(seq 100); do
  window_shot "$win"
  [ "$(e2e_select blue 295 0 308 13 | md5sum)" != "$first" ] && break
  sleep 0.1
done
[ "$(e2e_select blue 295 0 308 13 | md5sum)" != "$first" ] || fail "the seconds never changed"

# A second copy ends at once, successfully, showing nothing; the first stays as it was.
"$WINE" "$exe" >>"$E2E_TMP/clock.log" 2>&1 &
second=$!
track "$second"
wait_exit "$second" 30 || fail "the second copy is still running after 30 s"
[ "$EXIT_STATUS" = 0 ] || fail "the second copy ended with status $EXIT_STATUS"
windows=$(xdotool search --onlyvisible --class brumo.exe | sort -u)
[ "$windows" = "$win" ] || fail "clock windows after the second start: ${windows//$'\n'/ }"
read -r x2 y2 w2 h2 < <(geometry "$win")
[ "$x2 $y2 $w2 $h2" = "$x $y $w $h" ] || fail "the first window moved or changed size"
kill -0 "$CLOCK_PID" || fail "the first copy ended"
echo "ok"
