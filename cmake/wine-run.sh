#!/bin/sh
# Runs a cross-built Windows program under Wine for CMake and CTest (the cross build's
# CMAKE_CROSSCOMPILING_EMULATOR): wine-run.sh WINE PREFIX PROGRAM [ARGS...]
# The prefix is private to the build tree and prepared on first use; Wine's debug output is off
# and the Mono and Gecko installers are never offered.
set -eu
wine=$1
prefix=$2
shift 2

export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

if [ ! -f "$prefix/.prepared" ]; then
  mkdir -p "$(dirname "$prefix")"
  # Several tests may start at once: one prepares, the others wait for it.
  (
    flock 9
    if [ ! -f "$prefix/.prepared" ]; then
      rm -rf "$prefix"
      "$wine" wineboot -i >/dev/null 2>&1
      server="$(dirname "$wine")/wineserver"
      [ -x "$server" ] || server=wineserver
      "$server" -w
      touch "$prefix/.prepared"
    fi
  ) 9>"$prefix.lock"
fi

# Now and then, with other programs starting in the same prefix, wine ends at once with a failure
# and without a word, before the program has run: a start that failed, not the program. Only
# such a start is tried once more, and it says so.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
"$wine" "$@" >"$out" 2>"$err" || status=$?
if [ "$status" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  echo "wine-run.sh: wine ended with status $status before the program said a word;" \
    "starting it once more" >&2
  status=0
  "$wine" "$@" >"$out" 2>"$err" || status=$?
fi
cat "$out"
cat "$err" >&2
exit "$status"
