#!/usr/bin/env bash
# Fonts the clock asks for may be missing: with none of its faces installed it still draws every
# label in fontconfig's closest font, in its place; with no font at all it says so and ends.
BRUMO=$1
source "$(dirname "$0")/lib.sh"

# A fontconfig set-up with the system's rules (aliases, substitutions) but only the given font
# directories.
fonts_conf() {
  local file=$1 dir
  shift
  {
    echo '<?xml version="1.0"?><!DOCTYPE fontconfig SYSTEM "fonts.dtd"><fontconfig>'
    echo '<include ignore_missing="yes">/etc/fonts/conf.d</include>'
    for dir in "$@"; do echo "<dir>$dir</dir>"; done
    echo "<cachedir>$E2E_TMP/fc-cache</cachedir></fontconfig>"
  } >"$file"
}
DEJAVU=$(dirname "$(fc-match -f '%{file}' 'DejaVu Sans')")
[ -d "$DEJAVU" ] || fail "DejaVu Sans is not installed (package fonts-dejavu-core)"

start_session 96

# Only DejaVu: no Times New Roman twin, no Arial twin, no Marlett.
fonts_conf "$E2E_TMP/dejavu.conf" "$DEJAVU"
FONTCONFIG_FILE=$E2E_TMP/dejavu.conf start_brumo '2026-03-14 14:47:58'
SHOT=$E2E_TMP/shot.png
screenshot "$SHOT"
read -r X Y W H < <(geometry "$BRUMO_WIN")
F=3
red=$(count_pixels "$SHOT" $((X + F)) $((Y + F + 1)) 257 25 red)
[ "$red" -gt 300 ] || fail "too little red in the phrase's box: $red"
expect_eq "$(count_pixels "$SHOT" "$X" "$Y" "$W" "$H" red)" "$red" "red outside the phrase's box"
blue=$(count_pixels "$SHOT" $((X + F + 262)) $((Y + F)) 59 26 blue)
[ "$blue" -gt 60 ] || fail "too little blue in the digits' boxes: $blue"
expect_eq "$(count_pixels "$SHOT" "$X" "$Y" "$W" "$H" blue)" "$blue" "blue outside the digits' boxes"
black=$(count_pixels "$SHOT" $((X + F + 312)) $((Y + F + 3)) 9 9 black)
[ "$black" -ge 12 ] || fail "too little black in the close glyph's box: $black"
kill "$BRUMO_PID"
ended_with "$BRUMO_PID"
expect_eq "$STATUS" 0 "exit status"

# No font at all: nothing to draw with.
fonts_conf "$E2E_TMP/none.conf"
STATUS=0
FONTCONFIG_FILE=$E2E_TMP/none.conf timeout 20 "$BRUMO" 2>"$E2E_TMP/err" || STATUS=$?
[ "$STATUS" -ne 0 ] && [ "$STATUS" -lt 124 ] || fail "status with no fonts: $STATUS"
grep -q "^brumo: .*font" "$E2E_TMP/err" || fail "unclear message with no fonts: $(cat "$E2E_TMP/err")"
echo "PASS"
