#!/usr/bin/env bash
# What the clock does to the system, under strace: it starts no process or thread, opens no
# socket but its display connection, and writes no file (fontconfig refreshing its own font
# cache at start-up aside). Once its window is up it opens nothing at all.
set -euo pipefail
BRUMO=$1
. "$(dirname "$0")/../e2e/session.sh"
start_session 96
command -v strace >/dev/null || fail "strace is missing"

log="$E2E_TMP/strace.log"
strace -f -qq -o "$log" \
  -e trace=open,openat,openat2,creat,socket,connect,bind,listen,execve,execveat,clone,clone3,fork,vfork \
  "$BRUMO" &
track $!
win=$(wait_for_window brumo 20) || fail "no window"
sleep 0.5
started=$(wc -l <"$log")
sleep 5  # fifty ticks, five of them writing
steady=$(tail -n +"$((started + 1))" "$log")
pid=$(xdotool getwindowpid "$win")
kill -TERM "$pid"
wait_gone "$win" 5 || fail "the clock did not close"
sleep 0.3

[ -z "$steady" ] || fail "the running clock opened or started something: $steady"
# The successful calls of the given names, as "PID name(...) = result" lines.
calls() { grep -v -E '= -1 ' "$log" | grep -E "^[0-9]+ +($1)\(" || true; }
[ "$(calls 'execve|execveat' | wc -l)" = 1 ] || fail "more than one program: $(calls 'execve|execveat')"
[ -z "$(calls 'clone|clone3|fork|vfork')" ] ||
  fail "a process or thread was started: $(calls 'clone|clone3|fork|vfork')"
sockets=$(calls 'socket')
[ "$(wc -l <<<"$sockets")" = 1 ] && grep -q 'AF_UNIX' <<<"$sockets" ||
  fail "sockets other than the display's: $sockets"
display=${DISPLAY#:}
calls 'connect' | grep -v -q "/tmp/.X11-unix/X${display%%.*}\"" &&
  fail "a connection other than the display's: $(calls 'connect')"
writes=$(calls 'open|openat|openat2|creat' | grep -E 'O_WRONLY|O_RDWR|O_CREAT|creat\(' |
  grep -v -E '/fontconfig/' || true)
[ -z "$writes" ] || fail "files opened for writing: $writes"
[ -z "$(calls 'bind|listen')" ] || fail "the clock listens: $(calls 'bind|listen')"
echo "ok: one program, no thread, one socket to the display, no file written, silent when running"
