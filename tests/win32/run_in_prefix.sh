#!/bin/bash
# Runs a Windows program under Wine in a prefix of its own, cloned from the prepared one, for
# tests whose Wine state must not be shared: Wine keeps the user's locale in the registry, and a
# process started under another locale rewrites it for every program of the prefix.
#   run_in_prefix.sh PREFIX_TEMPLATE PROGRAM [ARGS...]
source "$(dirname "$0")/wine_session.sh"
unset DISPLAY
use_prefix "$1" 96
shift
"$WINE" "$@"
