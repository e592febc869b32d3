#!/usr/bin/env bash
# Without a usable display the clock says why on one line and ends with a non-zero status; when
# the display goes away under it, it ends promptly with a non-zero status and no core dump.
BRUMO=$1
source "$(dirname "$0")/lib.sh"

# Runs the clock in the foreground with the given environment changes; sets STATUS and ERR.
run_brumo() {
  STATUS=0
  timeout 20 env "$@" "$BRUMO" 2>"$E2E_TMP/err" || STATUS=$?
  ERR=$(cat "$E2E_TMP/err")
}

run_brumo -u DISPLAY
[ "$STATUS" -ne 0 ] && [ "$STATUS" -lt 124 ] || fail "status without DISPLAY: $STATUS"
expect_eq "$(wc -l <"$E2E_TMP/err")" 1 "lines on stderr without DISPLAY"
grep -q "^brumo: .*DISPLAY" <<<"$ERR" || fail "unclear message without DISPLAY: $ERR"

# A display nobody serves.
run_brumo DISPLAY=:7919
[ "$STATUS" -ne 0 ] && [ "$STATUS" -lt 124 ] || fail "status with no server: $STATUS"
expect_eq "$(wc -l <"$E2E_TMP/err")" 1 "lines on stderr with no server"
grep -q '^brumo: cannot open display ":7919"' <<<"$ERR" || fail "unclear message: $ERR"

# A server that refuses the connection: the display is only for holders of its cookie. Xlib may
# say why first; the clock's own line comes last.
E2E_PRIVATE_DISPLAY=1 start_session 96
run_brumo XAUTHORITY=/dev/null
[ "$STATUS" -ne 0 ] && [ "$STATUS" -lt 124 ] || fail "status when refused: $STATUS"
tail -n1 "$E2E_TMP/err" | grep -q "^brumo: cannot open display \"$DISPLAY\"" ||
  fail "unclear message when refused: $ERR"

# The server ends while the clock runs.
start_brumo
ulimit -c unlimited 2>/dev/null || true
kill -KILL "${E2E_PIDS[0]}"  # Xvfb, the first process of the session
ended_with "$BRUMO_PID" 20
[ "$STATUS" -ne 0 ] || fail "status 0 after losing the display"
[ "$STATUS" -lt 128 ] || fail "the clock died of signal $((STATUS - 128)) after losing the display"
grep -q "^brumo: lost the connection to the X display$" "$E2E_TMP/brumo.err" ||
  fail "unclear message after losing the display: $(cat "$E2E_TMP/brumo.err")"
echo "PASS"
