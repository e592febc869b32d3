#!/usr/bin/env bash
# The native Wayland clock's footprint beside the X11 clock's, both running at once in one
# headless sway session: the native one on its layer surface, the X11 one (WAYLAND_DISPLAY
# empty) on sway's Xwayland. Over the same stretch of time, for each: its resident and
# proportional memory (smaps_rollup); its CPU a second (the median of the stretch's seconds, read
# from the scheduler, as bench/x11/footprint.sh reads it); and its seconds' lag, how long after
# the true second the message carrying the new second leaves the clock for the display server.
#
# The lag is taken the same way for both clocks: the kernel's syscall tracepoints (perf record)
# time-stamp every sendmsg(), writev() and write() the two processes make, and the first of each
# second of the wall clock is the one that carries its drawing (the native clock sends nothing
# else; a tick that changes nothing sends nothing). Unlike strace, this stops neither clock: the
# kernel writes a record into perf's buffer and the process goes on.
#
#   bench/wayland/footprint.sh [BRUMO] [SECONDS] [SETTLE]     defaults: build/brumo, 60, 62
#
# SETTLE is how long both run before the measured stretch: start-up over, and the X11 clock past
# its first minute, in which it draws each second's box once before it copies them from then on.
# Reports, and exits 0 unless it could not measure.
#
# Needs: sway, xwayland, linux-perf and a C++ compiler.
set -euo pipefail
BENCH=$(cd "$(dirname "$0")" && pwd)
BRUMO=$(realpath "${1:-$BENCH/../../build/brumo}")
SECONDS_RUN=${2:-60}
SETTLE=${3:-62}
# The goals: the native clock's memory at most the X11 clock's, its CPU a second at most 1.1
# times, and its seconds' lag a median of at most 2 ms.
CPU_GOAL=1.1
LAG_GOAL_MS=2
C=sway-native
source "$BENCH/../../tests/wayland/lib.sh"
[ -x "$BRUMO" ] || fail "no program to measure: pass the path of brumo"
need perf python3 c++
c++ -O2 -o "$T/cpu_meter" "$BENCH/../x11/cpu_meter.cpp"
start_compositor

# Both as the session starts programs, with WAYLAND_DISPLAY and DISPLAY; the X11 one told to
# stay on X11.
# Started directly, not through a function, so that each PID is the clock's own.
"${RUN_AS[@]}" env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" DISPLAY="$XDISPLAY" "$BRUMO" 2>>"$T/brumo.err" &
NATIVE_PID=$!
"${RUN_AS[@]}" env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" DISPLAY="$XDISPLAY" WAYLAND_DISPLAY= "$BRUMO" \
  2>>"$T/brumo.err" &
X11_PID=$!
PIDS+=($NATIVE_PID $X11_PID)

echo "Both clocks running; measuring after ${SETTLE} s, for ${SECONDS_RUN} s..." >&2
sleep "$SETTLE"
for pid in $NATIVE_PID $X11_PID; do
  kill -0 "$pid" 2>/dev/null || fail "a clock ended: $(cat "$T/brumo.err")"
done

# CLOCK_REALTIME - CLOCK_MONOTONIC, in seconds: perf stamps its records on the monotonic clock
# (this kernel refuses the real-time one), the seconds are the wall clock's.
realtime_offset() {
  python3 -c '
import time
best = None
for _ in range(100):
    r0 = time.clock_gettime(time.CLOCK_REALTIME)
    m = time.clock_gettime(time.CLOCK_MONOTONIC)
    r1 = time.clock_gettime(time.CLOCK_REALTIME)
    if best is None or r1 - r0 < best[0]:
        best = (r1 - r0, (r0 + r1) / 2 - m)
print("%.9f" % best[1])'
}
wakeups() { awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ {s += $2} END {print s + 0}' "/proc/$1/status"; }

offset=$(realtime_offset)
# The stretch's whole seconds, from the first that begins with perf surely attached.
first=$(($(date +%s) + 2))
nw0=$(wakeups $NATIVE_PID)
xw0=$(wakeups $X11_PID)
perf record -q -k mono -e syscalls:sys_enter_sendmsg,syscalls:sys_enter_writev \
  -e syscalls:sys_enter_write -p "$NATIVE_PID,$X11_PID" -o "$T/sends.data" \
  -- sleep $((SECONDS_RUN + 3)) >"$T/perf.log" 2>&1 &
PERF_PID=$!
"$T/cpu_meter" "$SECONDS_RUN" $NATIVE_PID $X11_PID >"$T/cpu" ||
  fail "the CPU time could not be measured"
nw1=$(wakeups $NATIVE_PID)
xw1=$(wakeups $X11_PID)
rollup_kb() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/smaps_rollup"; }
native_rss=$(rollup_kb $NATIVE_PID Rss)
native_pss=$(rollup_kb $NATIVE_PID Pss)
x11_rss=$(rollup_kb $X11_PID Rss)
x11_pss=$(rollup_kb $X11_PID Pss)
wait $PERF_PID || fail "perf could not trace the clocks: $(cat "$T/perf.log")"

# "MEDIAN P90 COUNT" of a pid's lags (ms): the first send of every whole second of the stretch.
lags() {
  perf script -i "$T/sends.data" -F pid,time --ns 2>/dev/null |
    awk -v pid="$1" -v off="$offset" -v first="$first" -v n="$SECONDS_RUN" '
      $1 == pid {
        t = substr($2, 1, length($2) - 1) + off
        s = int(t)
        if (s < first || s >= first + n || (s in seen)) next
        seen[s] = 1
        print (t - s) * 1000
      }' |
    sort -n | awk '{v[NR] = $1}
      END {
        if (NR == 0) {print "- - 0"; exit}
        m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        p = int(NR * 0.9 + 0.999); if (p < 1) p = 1
        printf "%.2f %.2f %d\n", m, v[p], NR
      }'
}
read -r native_lag native_lag90 native_seen < <(lags $NATIVE_PID)
read -r x11_lag x11_lag90 x11_seen < <(lags $X11_PID)
[ "$native_seen" -gt 0 ] && [ "$x11_seen" -gt 0 ] || fail "no second seen sent by one of the clocks"

read -r native_cpu native_sec < <(sed -n 1p "$T/cpu")
read -r x11_cpu x11_sec < <(sed -n 2p "$T/cpu")
in_ms() { awk -v us="$1" 'BEGIN {printf "%.3f", us / 1000}'; }
per_second() { awk -v a="$1" -v b="$2" -v s="$SECONDS_RUN" 'BEGIN {printf "%.1f", (b - a) / s}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "-"}'; }
# PASS when VALUE <= LIMIT.
verdict() { awk -v v="$1" -v l="$2" 'BEGIN {print (v != "-" && v + 0 <= l + 0) ? "PASS" : "MISS"}'; }

row() { printf '| %-28s | %9s | %9s | %6s | %-18s |\n' "$@"; }
echo
row "measure" "native" "X11" "ratio" "goal"
printf '|%s|%s|%s|%s|%s|\n' "------------------------------" "-----------" "-----------" \
  "--------" "--------------------"
r=$(ratio "$native_rss" "$x11_rss")
row "RSS (kB)" "$native_rss" "$x11_rss" "$r" "<= 1: $(verdict "$r" 1)"
r=$(ratio "$native_pss" "$x11_pss")
row "PSS (kB)" "$native_pss" "$x11_pss" "$r" "<= 1: $(verdict "$r" 1)"
r=$(ratio "$native_sec" "$x11_sec")
row "CPU a second, median (ms)" "$(in_ms "$native_sec")" "$(in_ms "$x11_sec")" "$r" \
  "<= $CPU_GOAL: $(verdict "$r" "$CPU_GOAL")"
row "CPU over ${SECONDS_RUN} s (ms)" "$native_cpu" "$x11_cpu" "$(ratio "$native_cpu" "$x11_cpu")" ""
row "seconds' lag, median (ms)" "$native_lag" "$x11_lag" "" \
  "<= $LAG_GOAL_MS ms: $(verdict "$native_lag" "$LAG_GOAL_MS")"
row "seconds' lag, p90 (ms)" "$native_lag90" "$x11_lag90" "" ""
row "wakeups per second" "$(per_second "$nw0" "$nw1")" "$(per_second "$xw0" "$xw1")" "" ""
echo
echo "Seconds seen sent: native $native_seen, X11 $x11_seen, of ${SECONDS_RUN}."
