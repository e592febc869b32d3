#!/bin/bash
# The labels where the layout puts them, scaled for the DPI Wine reports: the red phrase centred
# in its box at the left, the blue time and date at the right, the black close cross top right;
# and colons that stand apart from wide digits and narrow ones.
#   layout_test.sh BRUMO_EXE PREFIX_TEMPLATE DPI
source "$(dirname "$0")/wine_session.sh"
exe=$1
dpi=$3
start_session "$dpi"
use_prefix "$2" "$dpi"

fake_time '2026-03-14 20:08:48'
WINE=$FAKED_WINE open_clock "$exe"
win=$CLOCK_WIN
s() { scaled "$1"; }

# The client area grows with the DPI; the frame around it is the same on every side.
read -r _ _ w h < <(geometry "$win")
frame_x=$((w - $(s 324))) frame_y=$((h - $(s 26)))
((frame_x == frame_y && frame_x >= 2 && frame_x % 2 == 0)) ||
  fail "at $dpi dpi the window is $w x $h around a $(s 324) x $(s 26) client area"
((dpi != 96 || (w == 330 && h == 32))) || fail "at 96 dpi the window is $w x $h"

settled_shot "$win" "$E2E_TMP/wide"
cp "$E2E_TMP/window.png" "${E2E_SHOT_DIR:-$E2E_TMP}/brumo-$dpi-dpi.png" 2>/dev/null || true
W=$(s 324) H=$(s 26)

# The phrase: red, only in its box, centred there.
red=$(count red 0 "$(s 1)" "$(s 257)" "$(s 26)")
((red >= 40 * dpi * dpi / 9216)) || fail "only $red red pixels in the phrase box"
outside=$(($(count red 0 0 "$W" "$H") - red))
((outside == 0)) || fail "$outside red pixels outside the phrase box"
read -r x0 x1 _ < <(extent red 0 "$(s 1)" "$(s 257)" "$(s 26)")
off_centre=$((x0 + x1 + 1 - $(s 257)))
((off_centre * off_centre <= 16)) || fail "the phrase spans x $x0..$x1, not centred in 0..$(s 257)"

# The time across the top right, the date beneath it, all blue and nowhere else.
clock_top=$(count blue "$(s 268)" 0 "$(s 308)" "$(s 12)")
date_row=$(count blue "$(s 262)" "$(s 14)" "$(s 321)" "$(s 25)")
all_blue=$(count blue 0 0 "$W" "$H")
((clock_top >= 20 && date_row >= 20)) || fail "blue pixels: $clock_top in the time, $date_row in the date"
in_boxes=$(count blue "$(s 262)" 0 "$(s 321)" "$(s 25)")
((in_boxes == all_blue)) || fail "$((all_blue - in_boxes)) blue pixels outside the clock labels"
# Each digit label and each colon, where it shows clear of its neighbours.
for label in "lOra 268 279 5" "lSep(0) 279 282 2" "lMin 283 292 5" "lSep(1) 293 295 2" \
  "lSec 297 308 5"; do
  read -r name l r least <<<"$label"
  n=$(count blue "$(s "$l")" 0 "$(s "$r")" "$(s 12)")
  ((n >= least)) || fail "$name shows $n blue pixels"
done
# The hour is pushed right, against the first colon, however many digits it has.
read -r _ hx1 _ < <(extent blue "$(s 268)" 0 "$(s 278)" "$(s 12)")
((hx1 >= $(s 278) - $(s 3))) || fail "the hour ends at x $hx1, away from the colon at $(s 278)"

# The close cross: dark, in its own box and nowhere else.
glyph=$(count dark "$(s 312)" "$(s 3)" "$(s 321)" "$(s 12)")
((glyph >= 5)) || fail "only $glyph dark pixels in the close glyph's box"
dark=$(count dark 0 0 "$W" "$H")
((dark == glyph)) || fail "$((dark - glyph)) dark pixels outside the close glyph"

# One face colour: the window's background, and the phrase's own opaque box.
face=$(pixel "$(s 259)" "$(s 13)")
[ "$(pixel "$(s 2)" "$(s 3)")" = "$face" ] || fail "the phrase box is not the face colour $face"
[ "$(pixel "$(s 100)" 0)" = "$face" ] || fail "the background is not one colour"

# A time that reads clearly, with wide digits and narrow ones.
colons_apart "$E2E_TMP/pixels" "$dpi"
set_time '2026-03-14 11:11:11'
settled_shot "$win" "$E2E_TMP/narrow" "$E2E_TMP/wide"
colons_apart "$E2E_TMP/pixels" "$dpi"
echo "ok: $w x $h at $dpi dpi, red $red, blue $all_blue, cross $glyph"
