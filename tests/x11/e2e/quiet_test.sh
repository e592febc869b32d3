#!/usr/bin/env bash
# The refresh costs nothing when nothing changes: with the clock stopped the program makes no
# system call but the wait for its next tick, and it sleeps instead of spinning. With the clock
# running, each second is one write, with nothing before it but xcb's look at the socket.
BRUMO=$1
source "$(dirname "$0")/lib.sh"
command -v strace >/dev/null || fail "strace is not installed (package strace)"

start_session 96

# Every system call the clock makes over SECS seconds, one name per line (the wait that strace
# broke into when it attached left out).
syscalls_over() {
  local pid=$1 secs=$2
  timeout -s INT "$secs" strace -qq -p "$pid" -o "$E2E_TMP/trace" 2>/dev/null || true
  sed -n 's/^\([a-z_0-9]*\)(.*/\1/p' "$E2E_TMP/trace" | grep -vx restart_syscall || true
}
count() { grep -cxE "$1" <<<"$CALLS" || true; }
others() { grep -vxE "$1" <<<"$CALLS" | sort | uniq -c | tr '\n' ' '; }
WAIT='epoll_pwait2|epoll_wait'

# Frozen at one instant: every tick finds the same texts.
start_brumo '2026-03-14 14:47:58'
screenshot "$E2E_TMP/shot.png"  # painted: start-up is over
CALLS=$(syscalls_over "$BRUMO_PID" 2)
waits=$(count "$WAIT")
[ "$waits" -ge 1 ] || fail "strace saw no wait at all: $CALLS"
# Ten ticks a second, one wake-up each; a loop that spins would make thousands.
[ "$waits" -le 40 ] || fail "$waits wake-ups in 2 s: the loop spins"
expect_eq "$(count "$WAIT")" "$(wc -l <<<"$CALLS")" \
  "system calls but the wait while nothing changed ($(others "$WAIT"))"
kill "$BRUMO_PID"
ended_with "$BRUMO_PID"

# Running: only the seconds change, and each change is one write and the poll() that xcb makes
# before it. Nothing is read: no reply is waited for, and no look for events follows the write.
start_brumo '@2026-03-14 14:47:58'
screenshot "$E2E_TMP/shot.png"
CALLS=$(syscalls_over "$BRUMO_PID" 2)
writes=$(count 'write|writev|sendmsg')
[ "$writes" -ge 1 ] && [ "$writes" -le 4 ] || fail "$writes writes in 2 s of a running clock"
expect_eq "$(count poll)" "$writes" "polls beside the $writes writes"
expect_eq "$(count "$WAIT|poll|writev")" "$(wc -l <<<"$CALLS")" \
  "system calls but the waits, the writes and their polls ($(others "$WAIT|poll|writev"))"
echo "PASS"
