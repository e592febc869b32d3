#!/usr/bin/env bash
# The window manager is replaced under a running clock (openbox --replace): the clock stays above
# the other windows, on every desktop, out of the task bar and undecorated, at its size, and
# still runs.
set -euo pipefail
BRUMO=$1
. "$(dirname "$0")/../e2e/session.sh"
start_session 96

# Top of the stacking order last, as the window manager keeps it.
stacking() { xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g'; }

check_clock() {
  local when=$1 states other
  states=$(xprop -id "$win" _NET_WM_STATE)
  grep -q _NET_WM_STATE_ABOVE <<<"$states" || fail "$when: not kept above ($states)"
  grep -q _NET_WM_STATE_SKIP_TASKBAR <<<"$states" || fail "$when: in the task bar ($states)"
  desktop=$(xprop -id "$win" _NET_WM_DESKTOP)
  [ "${desktop##* }" = 4294967295 ] || fail "$when: on one desktop only ($desktop)"
  read -r _ _ w h < <(geometry "$win")
  [ "$w $h" = "330 32" ] || fail "$when: the window is ${w}x$h"
  # A window raised and given the focus still stays below the clock.
  other=$(wait_for_window XLogo 10) || fail "$when: no other window"
  xdotool windowactivate --sync "$other" >/dev/null 2>&1 || xdotool windowraise "$other"
  sleep 0.3
  local order top_clock=-1 top_other=-1 i=0 id
  order=$(stacking)
  for id in $order; do
    [ $((id)) = $((win)) ] && top_clock=$i
    [ $((id)) = $((other)) ] && top_other=$i
    i=$((i + 1))
  done
  [ "$top_clock" -gt "$top_other" ] || fail "$when: the clock is below another window ($order)"
}

"$BRUMO" &
clock=$!
track $clock
win=$(wait_for_window brumo 10) || fail "no clock window"
xlogo -geometry 400x200+0+0 &
track $!
check_clock "first window manager"

openbox --replace --config-file "$E2E_TMP/openbox.xml" >"$E2E_TMP/openbox2.log" 2>&1 &
track $!
wait "$E2E_WM_PID" 2>/dev/null || true  # the old one hands over and ends
for i in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
sleep 0.5
kill -0 "$clock" || fail "the clock ended with the window manager"
check_clock "replacing window manager"
echo "ok: above, out of the task bar and undecorated through a window manager's replacement"
