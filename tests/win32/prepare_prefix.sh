#!/bin/bash
# Prepares the Wine prefix the Windows end-to-end tests clone: a fresh prefix with the fonts the
# clock asks for. Wine does not load Debian's fonts-wine by itself, and "Times New Roman" is
# mapped to its metric twin Liberation Serif. Test set-up only: the program asks for its fonts by
# their own names.
#
#   prepare_prefix.sh WINE PREFIX
set -euo pipefail
wine=$1
prefix=$2
server="$(dirname "$wine")/wineserver"
[ -x "$server" ] || server=wineserver

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
# Starts afresh, but never over a prefix this script did not make.
marker="$prefix/.brumo-prefix"
if [ -e "$prefix" ] && [ ! -e "$marker" ]; then
  echo "$prefix exists and is not a prefix made by $(basename "$0"): leaving it alone" >&2
  exit 1
fi
rm -rf "$prefix"
mkdir -p "$prefix"
touch "$marker"
"$wine" wineboot -i >/dev/null 2>&1
cp /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma.ttf \
  "$prefix/drive_c/windows/Fonts/"
"$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Times New Roman' /t REG_SZ \
  /d 'Liberation Serif' /f >/dev/null 2>&1
# The registry reaches its files when the server ends.
"$server" -w
grep -q '"Times New Roman"="Liberation Serif"' "$prefix/user.reg" ||
  { echo "the font replacement did not reach $prefix/user.reg" >&2; exit 1; }
touch "$prefix/.prepared"
