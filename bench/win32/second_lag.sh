#!/usr/bin/env bash
# How late each second of the Windows build reaches the X server under Wine, beside
# `xclock -digital -update 1` on the same private display (Xvfb + openbox): for each run of
# SECONDS, the median and the maximum lag after the true second (bench/x11/second_lag.cpp, which
# watches both windows through the DAMAGE extension), after a minute of warming up.
#
#   bench/win32/second_lag.sh [BRUMO_EXE] [SECONDS] [RUNS]   defaults: build-win/brumo.exe, 60, 1
#
# Needs: wine64 fonts-wine xvfb openbox xdotool x11-utils x11-apps libxdamage-dev, a C++ compiler.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BRUMO=$(realpath "${1:-$HERE/../../build-win/brumo.exe}")
SECONDS_LAG=${2:-60}
RUNS=${3:-1}
WARM_UP=${WARM_UP:-60}
source "$HERE/../../tests/win32/wine_session.sh"
command -v xclock >/dev/null || fail "xclock is not installed (package x11-apps)"

c++ -O2 -o "$E2E_TMP/second_lag" "$HERE/../x11/second_lag.cpp" -lX11 -lXdamage
bash "$HERE/../../tests/win32/prepare_prefix.sh" "$WINE" "$E2E_TMP/template"
start_session 96
use_prefix "$E2E_TMP/template"
open_clock "$BRUMO"
xclock -digital -update 1 &
track $!
xclock_win=$(wait_for_window XClock 10) || fail "no xclock window"
# Each clock's window and the windows inside it: whichever of them the drawing lands in.
family() { xwininfo -tree -id "$1" | awk -v w="$1" 'BEGIN {print w} $1 ~ /^0x/ {print $1}' | paste -sd,; }
brumo_wins=$(family "$CLOCK_WIN")
xclock_wins=$(family "$xclock_win")
echo "Warming up for $WARM_UP s..." >&2
sleep "$WARM_UP"
echo "run  brumo.exe median max seconds   xclock median max seconds (ms)"
for run in $(seq "$RUNS"); do
  read -r bm bx bn xm xx xn < <("$E2E_TMP/second_lag" "$SECONDS_LAG" "$brumo_wins" "$xclock_wins" |
    paste -sd' ')
  ((bn > 0 && xn > 0)) || fail "a clock drew nothing in run $run ($bn, $xn seconds seen)"
  printf '%3d  %7s %7s %4s      %7s %7s %4s\n' "$run" "$bm" "$bx" "$bn" "$xm" "$xx" "$xn"
done
