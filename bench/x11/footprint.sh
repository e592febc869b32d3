#!/usr/bin/env bash
# The running clock's footprint beside xclock's, measured side by side in one run on a private
# display (Xvfb + openbox): steady memory (RSS, PSS, private); CPU time over a minute, and the
# median of its seconds, also as a multiple of bare 100 ms poll() loops, the floor for anything
# that ticks ten times a second (one that drifts, one on the wall clock's tenths as the clock is,
# and that one drawing each second as the clock does); how late each second reaches the X server
# over that minute (median and maximum, seen from outside through the DAMAGE extension); X
# requests a second in steady state (through xtrace, after the clock's first minute) and the time
# from start to the window being mapped. Also as CPU seconds per hour, wakeups per second and X
# requests per minute.
#
#   bench/x11/footprint.sh [BRUMO] [SECONDS]     defaults: build/brumo, 60
#
# Needs: xvfb openbox xdotool x11-utils x11-apps (xclock) xtrace imagemagick libxdamage-dev,
# a C++ compiler.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BRUMO=$(realpath "${1:-$HERE/../../build/brumo}")
SECONDS_CPU=${2:-60}
STARTS=5
XCLOCK=(xclock -digital -update 1)
source "$HERE/../../tests/x11/e2e/lib.sh"
command -v xclock >/dev/null || fail "xclock is not installed (package x11-apps)"
command -v xtrace >/dev/null || fail "xtrace is not installed (package xtrace)"

c++ -O2 -o "$E2E_TMP/map_timer" "$HERE/map_timer.cpp" -lX11
c++ -O2 -o "$E2E_TMP/poll_floor" "$HERE/poll_floor.cpp" -lX11
c++ -O2 -o "$E2E_TMP/cpu_meter" "$HERE/cpu_meter.cpp"
c++ -O2 -o "$E2E_TMP/second_lag" "$HERE/second_lag.cpp" -lX11 -lXdamage
start_session 96

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
# Times the process went to sleep and was woken, or was put aside: its context switches.
wakeups() { awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ {s += $2} END {print s + 0}' "/proc/$1/status"; }
status_kb() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/status"; }
rollup_kb() { awk -v k="$2:" '$1 == k {s += $2} END {print s + 0}' "/proc/$1/smaps_rollup"; }
private_kb() {
  awk '$1 == "Private_Clean:" || $1 == "Private_Dirty:" {s += $2} END {print s + 0}' \
    "/proc/$1/smaps_rollup"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "-"}'; }

echo "Start-up: $STARTS starts of each, alternating..." >&2
brumo_starts=()
xclock_starts=()
for i in $(seq $STARTS); do
  brumo_starts+=("$("$E2E_TMP/map_timer" "$BRUMO")")
  xclock_starts+=("$("$E2E_TMP/map_timer" "${XCLOCK[@]}")")
done
brumo_start=$(printf '%s\n' "${brumo_starts[@]}" | median)
xclock_start=$(printf '%s\n' "${xclock_starts[@]}" | median)

# Counted, like the CPU time below, once the clock has drawn each second's box: its first minute
# draws them, every later one copies them.
echo "X requests: both through xtrace for 72 s, counting the last 10..." >&2
fake=$((100 + $$ % 700))
xtrace -n -D ":$fake" -d "$DISPLAY" -o "$E2E_TMP/brumo.xt" -- "$BRUMO" 2>/dev/null &
XTRACE_PIDS=($!)
track $!
xtrace -n -D ":$((fake + 1))" -d "$DISPLAY" -o "$E2E_TMP/xclock.xt" -- "${XCLOCK[@]}" \
  2>/dev/null &
XTRACE_PIDS+=($!)
track $!
requests() { grep -c ':<:' "$1" || true; }
sleep 62
b0=$(requests "$E2E_TMP/brumo.xt")
x0=$(requests "$E2E_TMP/xclock.xt")
sleep 10
b1=$(requests "$E2E_TMP/brumo.xt")
x1=$(requests "$E2E_TMP/xclock.xt")
brumo_rps=$(awk -v a="$b0" -v b="$b1" 'BEGIN {printf "%.1f", (b - a) / 10}')
xclock_rps=$(awk -v a="$x0" -v b="$x1" 'BEGIN {printf "%.1f", (b - a) / 10}')
# What one second of each sends.
sed -n 's/^[0-9]*:<:[0-9a-f]*: *[0-9]*: \(.*Request([0-9,]*): [A-Za-z0-9]*\).*/\1/p' \
  "$E2E_TMP/brumo.xt" | tail -n "$(((b1 - b0) / 10))" | sed 's/^/    brumo:  /' >"$E2E_TMP/brumo.sample"
sed -n 's/^[0-9]*:<:[0-9a-f]*: *[0-9]*: \(.*Request([0-9,]*): [A-Za-z0-9]*\).*/\1/p' \
  "$E2E_TMP/xclock.xt" | tail -n "$(((x1 - x0) / 10))" | sed 's/^/    xclock: /' >"$E2E_TMP/xclock.sample"
kill "${XTRACE_PIDS[@]}" 2>/dev/null || true
for i in $(seq 50); do
  xdotool search --class Brumo >/dev/null 2>&1 || xdotool search --class XClock >/dev/null 2>&1 ||
    break
  sleep 0.1
done

echo "Memory and CPU: both running for ${SECONDS_CPU} s..." >&2
"$BRUMO" &
BRUMO_PID=$!
track $BRUMO_PID
"${XCLOCK[@]}" &
XCLOCK_PID=$!
track $XCLOCK_PID
# Three of each kind of bare waker: two identical ones can differ by a quarter over a minute on a
# virtual machine, so each floor is their median and their spread says how fine the ratio can be
# read. The drifting kind wakes wherever its last wake left it; the other two keep to the wall
# clock's tenths, as the clock does, and so wake when it does: a wake that comes alone costs more
# on a virtual machine than one that shares its moment. The drawers also send a second's two
# copy requests, as the clock does, to a small window of their own: what a new second costs any
# program that shows it through Xlib and the X server, on this machine.
FLOORS=3
KINDS=(drift tenths draw)
WAKER_PIDS=()
for i in $(seq $FLOORS); do
  for kind in "${KINDS[@]}"; do
    # shellcheck disable=SC2086 # the drifting kind takes no argument
    "$E2E_TMP/poll_floor" ${kind#drift} $((i * 80)) &
    WAKER_PIDS+=($!)
    track $!
  done
done
# The windows, watched from another client for the seconds' lag over the same minute.
for i in $(seq 100); do
  brumo_win=$(xdotool search --pid $BRUMO_PID 2>/dev/null | paste -sd, || true)
  xclock_win=$(xdotool search --class XClock 2>/dev/null | paste -sd, || true)
  [ -n "$brumo_win" ] && [ -n "$xclock_win" ] && break
  kill -0 $BRUMO_PID 2>/dev/null || fail "brumo ended at once (was the traced copy still running?)"
  sleep 0.1
done
[ -n "$brumo_win" ] && [ -n "$xclock_win" ] || fail "no window to watch for the seconds' lag"
# Measured in the steady state of a clock that runs all day: after its first minute, in which it
# draws each second's box once.
echo "  (after a minute of warming up)" >&2
sleep 62
"$E2E_TMP/second_lag" "$SECONDS_CPU" "$brumo_win" "$xclock_win" >"$E2E_TMP/lag" &
LAG_PID=$!
"$E2E_TMP/cpu_meter" "$SECONDS_CPU" $BRUMO_PID $XCLOCK_PID "${WAKER_PIDS[@]}" >"$E2E_TMP/cpu" &
METER_PID=$!
bw0=$(wakeups $BRUMO_PID)
xw0=$(wakeups $XCLOCK_PID)
wait $METER_PID || fail "the CPU time could not be measured"
bw1=$(wakeups $BRUMO_PID)
xw1=$(wakeups $XCLOCK_PID)
# "TOTAL_MS MEDIAN_US" a line: the clock's, xclock's, then the wakers' in the order they started.
# The ratios are of the seconds' medians, which the host's stray charges leave alone.
read -r brumo_cpu brumo_sec < <(sed -n 1p "$E2E_TMP/cpu")
read -r xclock_cpu xclock_sec < <(sed -n 2p "$E2E_TMP/cpu")
mapfile -t waker_lines < <(tail -n +3 "$E2E_TMP/cpu")
declare -A waker_secs floor_sec
for i in "${!waker_lines[@]}"; do
  kind=${KINDS[$((i % ${#KINDS[@]}))]}
  waker_secs[$kind]+="${waker_lines[$i]#* } "
done
for kind in "${KINDS[@]}"; do
  floor_sec[$kind]=$(printf '%s\n' ${waker_secs[$kind]} | median)
done
wait $LAG_PID || fail "the seconds' lag could not be measured"
read -r brumo_lag brumo_lag_max brumo_seen < <(sed -n 1p "$E2E_TMP/lag")
read -r xclock_lag xclock_lag_max xclock_seen < <(sed -n 2p "$E2E_TMP/lag")

row() { printf '| %-34s | %10s | %10s | %6s |\n' "$1" "$2" "$3" "$(ratio "$2" "$3")"; }
echo
printf '| %-34s | %10s | %10s | %6s |\n' "measure" "brumo" "xclock" "ratio"
printf '|%s|%s|%s|%s|\n' "------------------------------------" "------------" "------------" "--------"
row "RSS (kB)" "$(status_kb $BRUMO_PID VmRSS)" "$(status_kb $XCLOCK_PID VmRSS)"
row "PSS (kB)" "$(rollup_kb $BRUMO_PID Pss)" "$(rollup_kb $XCLOCK_PID Pss)"
row "private (kB)" "$(private_kb $BRUMO_PID)" "$(private_kb $XCLOCK_PID)"
row "CPU time over ${SECONDS_CPU} s (ms)" "$brumo_cpu" "$xclock_cpu"
per_hour() { awk -v ms="$1" -v s="$SECONDS_CPU" 'BEGIN {printf "%.2f", ms * 3600 / s / 1000}'; }
row "CPU seconds per hour" "$(per_hour "$brumo_cpu")" "$(per_hour "$xclock_cpu")"
in_ms() { awk -v us="$1" 'BEGIN {printf "%.3f", us / 1000}'; }
row "CPU a second, median (ms)" "$(in_ms "$brumo_sec")" "$(in_ms "$xclock_sec")"
cpu_row() {
  row "$1" "$(ratio "$brumo_sec" "${floor_sec[$2]}")" "$(ratio "$xclock_sec" "${floor_sec[$2]}")"
}
cpu_row "CPU, times a bare 100 ms waker's" drift
cpu_row "CPU, times a waker on the tenths" tenths
cpu_row "CPU, times that waker drawing" draw
row "seconds' lag, median (ms)" "$brumo_lag" "$xclock_lag"
row "seconds' lag, maximum (ms)" "$brumo_lag_max" "$xclock_lag_max"
per_second() { awk -v a="$1" -v b="$2" -v s="$SECONDS_CPU" 'BEGIN {printf "%.1f", (b - a) / s}'; }
row "wakeups per second" "$(per_second "$bw0" "$bw1")" "$(per_second "$xw0" "$xw1")"
row "X requests per second" "$brumo_rps" "$xclock_rps"
per_minute() { awk -v r="$1" 'BEGIN {printf "%.0f", r * 60}'; }
row "X requests per minute" "$(per_minute "$brumo_rps")" "$(per_minute "$xclock_rps")"
row "start to mapped, median of $STARTS (ms)" "$brumo_start" "$xclock_start"
echo
echo "A second's CPU (median of ${SECONDS_CPU}) of $FLOORS loops doing nothing but poll() every" \
  "100 ms: ${waker_secs[drift]}µs (median ${floor_sec[drift]}); on the tenths:" \
  "${waker_secs[tenths]}µs (median ${floor_sec[tenths]}); on the tenths, drawing each second:" \
  "${waker_secs[draw]}µs (median ${floor_sec[draw]})."
echo "Seconds seen changing: brumo $brumo_seen, xclock $xclock_seen, of ${SECONDS_CPU}."
echo "Start-up runs (ms): brumo ${brumo_starts[*]}; xclock ${xclock_starts[*]}"
echo "One second of requests in steady state:"
cat "$E2E_TMP/brumo.sample" "$E2E_TMP/xclock.sample"
