#!/usr/bin/env bash
# The refresh costs nothing when nothing changes: with the clock stopped the program sends the
# server nothing and reads nothing from it, and it sleeps between ticks instead of spinning.
# With the clock running it writes about once a second.
BRUMO=$1
source "$(dirname "$0")/lib.sh"
command -v strace >/dev/null || fail "strace is not installed (package strace)"

start_session 96

# The system calls the clock makes over SECS seconds, one name per line.
syscalls_over() {
  local pid=$1 secs=$2
  timeout -s INT "$secs" strace -qq -p "$pid" -o "$E2E_TMP/trace" \
    -e trace=poll,ppoll,read,readv,recvmsg,recvfrom,write,writev,sendmsg,sendto,select 2>/dev/null || true
  sed -n 's/^\([a-z_0-9]*\)(.*/\1/p' "$E2E_TMP/trace"
}
count() { grep -cx "$1" <<<"$CALLS" || true; }

# Frozen at one instant: every tick finds the same texts.
start_brumo '2026-03-14 14:47:58'
screenshot "$E2E_TMP/shot.png"  # painted: start-up is over
CALLS=$(syscalls_over "$BRUMO_PID" 2)
polls=$(count poll)
[ "$polls" -ge 1 ] || fail "strace saw no poll at all: $CALLS"
# Ten ticks a second, one wake-up each; a loop that spins would make thousands.
[ "$polls" -le 40 ] || fail "$polls wake-ups in 2 s: the loop spins"
io=$(grep -cvx poll <<<"$CALLS" || true)
expect_eq "$io" 0 "reads and writes while nothing changed ($(grep -vx poll <<<"$CALLS" | sort | uniq -c | tr '\n' ' '))"
kill "$BRUMO_PID"
ended_with "$BRUMO_PID"

# Running: only the seconds change, and each change is one write. Nothing comes back: no reply
# is waited for. (Xlib's flush looks for events once after writing, and finds none.)
start_brumo '@2026-03-14 14:47:58'
screenshot "$E2E_TMP/shot.png"
CALLS=$(syscalls_over "$BRUMO_PID" 2)
writes=$(($(count write) + $(count writev) + $(count sendmsg)))
reads=$(($(count read) + $(count readv) + $(count recvmsg) + $(count recvfrom)))
[ "$writes" -ge 1 ] && [ "$writes" -le 4 ] || fail "$writes writes in 2 s of a running clock"
[ "$reads" -le "$writes" ] || fail "$reads reads for $writes writes"
got=$(grep -E '^(read|readv|recvmsg|recvfrom)\(' "$E2E_TMP/trace" | grep -cv 'EAGAIN' || true)
expect_eq "$got" 0 "reads that got data from the server in 2 s of a running clock"
echo "PASS"
