#!/usr/bin/env bash
# cmake/wine-run.sh with a stand-in for wine: a start that fails without a word is tried once
# more; a failure that says something is not, and its status is passed on.
#
#   wine_run_test.sh WINE_RUN
set -euo pipefail
run=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/prefix" && touch "$work/prefix/.prepared"
# Fails silently for the first SILENT starts (counted in a file), then says why or runs.
cat >"$work/wine" <<'FAKE'
#!/bin/sh
n=$(cat "$COUNT"); echo $((n + 1)) >"$COUNT"
[ "$n" -lt "$SILENT" ] && exit 1
[ "$MODE" = fail ] && { echo "cannot start $1" >&2; exit 53; }
echo "ran $1"
FAKE
chmod +x "$work/wine"
export COUNT=$work/count
fail() { echo "FAIL: $*" >&2; exit 1; }
for case in "1 run 0 2" "0 fail 53 1" "2 run 1 2"; do
  read -r SILENT MODE want_status want_starts <<<"$case"
  export SILENT MODE
  echo 0 >"$COUNT"
  status=0
  out=$("$run" "$work/wine" "$work/prefix" prog.exe 2>/dev/null) || status=$?
  [ "$status" = "$want_status" ] && [ "$(cat "$COUNT")" = "$want_starts" ] ||
    fail "silent starts $SILENT, $MODE: status $status after $(cat "$COUNT") starts" \
      "(wanted $want_status after $want_starts)"
  [ "$MODE$status" != run0 ] || [ "$out" = "ran prog.exe" ] || fail "output was '$out'"
done
echo "PASS"
