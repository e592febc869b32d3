#!/usr/bin/env bash
# The running clock's footprint beside xclock's, measured side by side in one run on a private
# display (Xvfb + openbox): steady memory (RSS, PSS, private), CPU time over a minute (beside a
# bare 100 ms poll() loop, the floor for anything that ticks ten times a second, and as a
# multiple of it and of the same loop writing 56 bytes a second to another process), how late
# each second reaches the X server over that minute (median and maximum, seen from outside
# through the DAMAGE extension), X requests a second in steady state (through xtrace, after the
# clock's first minute) and the time from start to the window being mapped. Also as CPU seconds
# per hour, wakeups per second and X requests per minute.
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
c++ -O2 -o "$E2E_TMP/poll_floor" "$HERE/poll_floor.cpp"
c++ -O2 -o "$E2E_TMP/second_lag" "$HERE/second_lag.cpp" -lX11 -lXdamage
start_session 96

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
# CPU time in nanoseconds, as the scheduler counts it (finer than utime + stime's ticks).
cpu_ns() { awk '{print $1}' "/proc/$1/schedstat"; }
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
# Three bare wakers: two of them, identical, can differ by a quarter over a minute on a virtual
# machine, so the floor is their median and their spread says how fine the ratio can be read.
# Three more write 56 bytes a second to a process that sleeps until they come: what a new second
# costs any program that shows it through an X server, on this machine.
FLOORS=3
FLOOR_PIDS=()
WRITER_PIDS=()
for i in $(seq $FLOORS); do
  "$E2E_TMP/poll_floor" &
  FLOOR_PIDS+=($!)
  track $!
  "$E2E_TMP/poll_floor" write &
  WRITER_PIDS+=($!)
  track $!
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
bc0=$(cpu_ns $BRUMO_PID)
xc0=$(cpu_ns $XCLOCK_PID)
fc0=()
for p in "${FLOOR_PIDS[@]}" "${WRITER_PIDS[@]}"; do fc0+=("$(cpu_ns "$p")"); done
bw0=$(wakeups $BRUMO_PID)
xw0=$(wakeups $XCLOCK_PID)
sleep "$SECONDS_CPU"
bc1=$(cpu_ns $BRUMO_PID)
xc1=$(cpu_ns $XCLOCK_PID)
# Milliseconds of CPU that process $2 took since it stood at $1 nanoseconds.
ms_since() { awk -v a="$1" -v b="$(cpu_ns "$2")" 'BEGIN {printf "%.1f", (b - a) / 1e6}'; }
floor_cpus=()
writer_cpus=()
for i in "${!FLOOR_PIDS[@]}"; do
  floor_cpus+=("$(ms_since "${fc0[$i]}" "${FLOOR_PIDS[$i]}")")
  writer_cpus+=("$(ms_since "${fc0[$((i + FLOORS))]}" "${WRITER_PIDS[$i]}")")
done
bw1=$(wakeups $BRUMO_PID)
xw1=$(wakeups $XCLOCK_PID)
floor_cpu=$(printf '%s\n' "${floor_cpus[@]}" | median)
writer_cpu=$(printf '%s\n' "${writer_cpus[@]}" | median)
brumo_cpu=$(awk -v a="$bc0" -v b="$bc1" 'BEGIN {printf "%.1f", (b - a) / 1e6}')
xclock_cpu=$(awk -v a="$xc0" -v b="$xc1" 'BEGIN {printf "%.1f", (b - a) / 1e6}')
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
row "CPU, times a bare 100 ms waker's" "$(ratio "$brumo_cpu" "$floor_cpu")" \
  "$(ratio "$xclock_cpu" "$floor_cpu")"
row "CPU, times the waker that writes" "$(ratio "$brumo_cpu" "$writer_cpu")" \
  "$(ratio "$xclock_cpu" "$writer_cpu")"
row "seconds' lag, median (ms)" "$brumo_lag" "$xclock_lag"
row "seconds' lag, maximum (ms)" "$brumo_lag_max" "$xclock_lag_max"
per_second() { awk -v a="$1" -v b="$2" -v s="$SECONDS_CPU" 'BEGIN {printf "%.1f", (b - a) / s}'; }
row "wakeups per second" "$(per_second "$bw0" "$bw1")" "$(per_second "$xw0" "$xw1")"
row "X requests per second" "$brumo_rps" "$xclock_rps"
per_minute() { awk -v r="$1" 'BEGIN {printf "%.0f", r * 60}'; }
row "X requests per minute" "$(per_minute "$brumo_rps")" "$(per_minute "$xclock_rps")"
row "start to mapped, median of $STARTS (ms)" "$brumo_start" "$xclock_start"
echo
echo "$FLOORS loops doing nothing but poll() every 100 ms took ${floor_cpus[*]} ms of CPU over the same" \
  "${SECONDS_CPU} s: the median, $floor_cpu ms, is the bare waker's. $FLOORS that also wrote" \
  "56 bytes a second took ${writer_cpus[*]} ms (median $writer_cpu)."
echo "Seconds seen changing: brumo $brumo_seen, xclock $xclock_seen, of ${SECONDS_CPU}."
echo "Start-up runs (ms): brumo ${brumo_starts[*]}; xclock ${xclock_starts[*]}"
echo "One second of requests in steady state:"
cat "$E2E_TMP/brumo.sample" "$E2E_TMP/xclock.sample"
