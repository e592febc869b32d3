#!/usr/bin/env bash
# The system's time zone changes while the clock runs (another zone bind-mounted over
# /etc/localtime in a private mount namespace, never the machine's own file): within a second
# the clock shows the new zone's time, as a clock started in that zone shows it.
set -euo pipefail
BRUMO=$1
if [ -z "${BRUMO_IN_NAMESPACE:-}" ]; then
  if ! unshare -m --propagation private true 2>/dev/null; then
    echo "SKIP: no private mount namespace here (needs root or user namespaces)"
    exit 0
  fi
  exec env BRUMO_IN_NAMESPACE=1 unshare -m --propagation private bash "$0" "$@"
fi
. "$(dirname "$0")/../e2e/session.sh"
. "$(dirname "$0")/lib.sh"
start_session 96

zones=/usr/share/zoneinfo
[ -e /etc/localtime ] || fail "this machine has no /etc/localtime to stand in for"
mount --bind "$zones/Etc/UTC" /etc/localtime

# 2026-03-14 13:40 UTC is 14:40 in Rome and 22:40 in Tokyo; the seconds run, the rest holds
# still for a minute, so the comparisons leave the seconds out.
reference "$BRUMO" "2026-03-14 22:40:00" "$E2E_TMP/tokyo.png" TZ=Asia/Tokyo
reference "$BRUMO" "2026-03-14 14:40:00" "$E2E_TMP/rome.png" TZ=Europe/Rome

# A running fake time, read once as UTC at start: one instant whatever the zone says later.
env -u TZ LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@2026-03-14 13:40:00" \
  FAKETIME_DONT_FAKE_MONOTONIC=1 "$BRUMO" &
CLOCK_PID=$!
track "$CLOCK_PID"
win=$(wait_for_window brumo 20) || fail "no window"
mount --bind "$zones/Asia/Tokyo" /etc/localtime
expect_shows "$win" "$E2E_TMP/tokyo.png" "zone-tokyo" "$SECONDS_BOX"
echo "ok: UTC -> Asia/Tokyo"
umount /etc/localtime
mount --bind "$zones/Europe/Rome" /etc/localtime
expect_shows "$win" "$E2E_TMP/rome.png" "zone-rome" "$SECONDS_BOX"
echo "ok: Asia/Tokyo -> Europe/Rome"
stop_clock
