#!/bin/bash
# brumo.exe starts on Windows 7: it imports no DLL but Windows' own and no function Windows 7
# lacks. Every function of the DPI API newer than Windows 7 has "Dpi" in its name (Windows 7 has
# SetProcessDPIAware and IsProcessDPIAware alone); the shell looks those up while it runs.
#   imports_test.sh OBJDUMP BRUMO_EXE
set -euo pipefail
# "DLL Name: X" heads each DLL's list; its functions follow as "address hint name".
imports=$("$1" -p "$2" |
  awk '/^\tDLL Name:/ { dll = $3 } dll && NF == 3 && $2 ~ /^[0-9]+$/ { print dll, $3 }')
[ -n "$imports" ] || { echo "FAIL: no imports read from $2" >&2; exit 1; }
dlls=$(cut -d' ' -f1 <<<"$imports" | sort -uf | tr '\n' ' ')
[ "${dlls,,}" = "gdi32.dll kernel32.dll msvcrt.dll user32.dll " ] ||
  { echo "FAIL: brumo.exe needs $dlls" >&2; exit 1; }
if newer=$(grep -E ' [A-Za-z]*Dpi' <<<"$imports"); then
  echo "FAIL: brumo.exe imports what Windows 7 lacks: $newer" >&2
  exit 1
fi
echo "ok: $(wc -l <<<"$imports") functions of $dlls"
