#!/usr/bin/env bash
# The scalable icon is the 32 x 32 art: drawn at 32 px it is the PNG pixel for pixel, and drawn at
# 48 px (an art pixel to 1.5 screen pixels) it holds the art's colours alone, no blurred edge.
set -euo pipefail
ICONS=${1:?usage: icon_svg_test.sh ICON_DIR}
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
colours() { convert "$1" -unique-colors txt:- | grep -c '^[0-9]'; }

rsvg-convert -w 32 -h 32 "$ICONS/scalable/brumo.svg" -o "$TMP/32.png"
compare -metric AE "$TMP/32.png" "$ICONS/32x32/brumo.png" null: ||
  { echo " pixels differ between the SVG drawn at 32 px and the PNG" >&2; exit 1; }
rsvg-convert -w 48 -h 48 "$ICONS/scalable/brumo.svg" -o "$TMP/48.png"
[ "$(colours "$TMP/48.png")" = "$(colours "$ICONS/32x32/brumo.png")" ] ||
  { echo "the SVG drawn at 48 px has colours the art does not: its edges are blurred" >&2; exit 1; }
echo PASS
