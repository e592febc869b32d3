#!/bin/bash
# Runs the shell's message tests: the real window on a private X display, in a Wine prefix of
# their own (they change the user's regional settings).
#   fault_shell_messages.sh TEST_EXE PREFIX_TEMPLATE
source "$(dirname "$0")/wine_session.sh"
start_session 96
use_prefix "$2" 96
BRUMO_PRIVATE_PREFIX=1 "$WINE" "$1"
