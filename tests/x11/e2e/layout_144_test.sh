#!/usr/bin/env bash
# At 144 dpi (Xft.dpi) every length of the layout is one and a half times its 96-dpi size: the
# window, the frame, the labels' boxes and the fonts.
BRUMO=$1
source "$(dirname "$0")/lib.sh"

DPI=144
start_session $DPI
start_brumo '2026-03-14 14:47:58'
W=$BRUMO_WIN

F=$(scaled 3 $DPI)
read -r X Y WIDTH HEIGHT < <(geometry "$W")
expect_eq "$WIDTH x $HEIGHT" "$(($(scaled 324 $DPI) + 2 * F)) x $(($(scaled 26 $DPI) + 2 * F))" \
  "window size at $DPI dpi"
expect_eq "$WIDTH x $HEIGHT" "496 x 49" "window size at $DPI dpi"
hints=$(xprop -id "$W" WM_NORMAL_HINTS)
grep -q "program specified maximum size: 496 by 49" <<<"$hints" || fail "maximum size: $hints"

SHOT=$E2E_TMP/shot.png
screenshot "$SHOT"
# A 5 px frame: 2 px light, 2 px white, 1 px face on the top and left.
expect_eq "$(pixel "$SHOT" $((X + 1)) $((Y + 1)))" "227 227 227" "outer edge"
expect_eq "$(pixel "$SHOT" $((X + 3)) $((Y + 3)))" "255 255 255" "inner edge"
expect_eq "$(pixel "$SHOT" $((X + 4)) $((Y + 4)))" "240 240 240" "frame face"
expect_eq "$(pixel "$SHOT" $((X + WIDTH - 2)) $((Y + HEIGHT - 2)))" "105 105 105" "outer dark edge"

# A box at 96 dpi, scaled edge by edge: "LEFT TOP WIDTH HEIGHT" on the screen.
box() {
  local l t r b
  l=$(scaled "$1" $DPI)
  t=$(scaled "$2" $DPI)
  r=$(scaled $(($1 + $3)) $DPI)
  b=$(scaled $(($2 + $4)) $DPI)
  echo $((X + F + l)) $((Y + F + t)) $((r - l)) $((b - t))
}

read -r bx by bw bh < <(box 0 1 257 25)
red=$(count_pixels "$SHOT" "$bx" "$by" "$bw" "$bh" red)
[ "$red" -gt 700 ] || fail "too little red in the phrase's box: $red"
expect_eq "$(count_pixels "$SHOT" "$X" "$Y" "$WIDTH" "$HEIGHT" red)" "$red" "red outside its box"
read -r l t r b < <(ink_box "$SHOT" "$bx" "$by" "$bw" "$bh" red)
centre=$(((l + r) / 2 - bx))
[ $((2 * centre - bw)) -ge -8 ] && [ $((2 * centre - bw)) -le 8 ] ||
  fail "phrase not centred: ink $l..$r in a box from $bx, $bw wide"
# The 31.5 px serif: capital L and descender of q span more than 20 px.
[ $((b - t)) -ge 20 ] || fail "phrase ink only $((b - t)) px tall"

read -r bx by bw bh < <(box 262 0 59 26)
blue=$(count_pixels "$SHOT" "$bx" "$by" "$bw" "$bh" blue)
[ "$blue" -gt 150 ] || fail "too little blue in the digits' boxes: $blue"
expect_eq "$(count_pixels "$SHOT" "$X" "$Y" "$WIDTH" "$HEIGHT" blue)" "$blue" "blue outside"
read -r bx by bw bh < <(box 268 0 40 12)
read -r l t r b < <(ink_box "$SHOT" "$bx" "$by" "$bw" "$bh" blue)
[ $((b - t)) -ge 8 ] || fail "time digits only $((b - t + 1)) px tall at $DPI dpi"

read -r bx by bw bh < <(box 312 3 9 9)
black=$(count_pixels "$SHOT" "$bx" "$by" "$bw" "$bh" black)
[ "$black" -ge 25 ] || fail "too little black in the close glyph's box: $black"
expect_eq "$(count_pixels "$SHOT" "$X" "$Y" "$WIDTH" "$HEIGHT" black)" "$black" "black outside"
echo "PASS"
