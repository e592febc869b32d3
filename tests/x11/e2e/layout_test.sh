#!/usr/bin/env bash
# At DPI (Xft.dpi) every length of the layout is scaled from its 96-dpi size: the window, the
# frame, the labels' boxes and the fonts, and the colons still stand apart from the digits. A
# running clock follows Xft.dpi when it changes: it takes the new size where it stands and
# looks as a clock started at that dpi does, and changed back it looks as it did.
#   layout_test.sh BRUMO DPI
BRUMO=$1
DPI=$2
source "$(dirname "$0")/lib.sh"

start_session 96
stamp=$E2E_TMP/time
echo '2026-03-14 14:47:58' >"$stamp"
start_brumo "file:$stamp"
W=$BRUMO_WIN
SHOT=$E2E_TMP/shot.png
steady_screenshot "$SHOT"
at96=$(window_sum "$SHOT")
read -r X0 Y0 _ _ < <(geometry "$W")

F=$(scaled 3 "$DPI")
SIZE="$(($(scaled 324 "$DPI") + 2 * F)) x $(($(scaled 26 "$DPI") + 2 * F))"

# --- Xft.dpi changing under a running clock --------------------------------------------------
set_dpi() { printf 'Xft.dpi: %s\n' "$1" | xrdb -merge; }
# Waits for the window to be "W x H"; fails unless it is, at the top-left corner it started at.
resized_to() {
  local x y w h
  for _ in $(seq 100); do
    read -r x y w h < <(geometry "$W")
    [ "$w x $h" = "$1" ] && break
    sleep 0.1
  done
  expect_eq "$w x $h" "$1" "window size after Xft.dpi changed"
  expect_eq "$x,$y" "$X0,$Y0" "top-left corner after Xft.dpi changed"
}
set_dpi "$DPI"
resized_to "$SIZE"
hints=$(xprop -id "$W" WM_NORMAL_HINTS)
grep -q "program specified maximum size: ${SIZE/ x / by }" <<<"$hints" ||
  fail "maximum size: $hints"
steady_screenshot "$SHOT"
changed=$(window_sum "$SHOT")
set_dpi 96
resized_to "330 x 32"
steady_screenshot "$SHOT"
expect_eq "$(window_sum "$SHOT")" "$at96" "the clock's pixels back at 96 dpi against how it started"

# A clock started at DPI: pixel for pixel the one that changed to it.
set_dpi "$DPI"
kill "$BRUMO_PID"
ended_with "$BRUMO_PID"
start_brumo "file:$stamp"
W=$BRUMO_WIN
steady_screenshot "$SHOT"
expect_eq "$(window_sum "$SHOT")" "$changed" "a clock started at $DPI dpi against one changed to it"

# --- The layout at DPI -----------------------------------------------------------------------
read -r X Y WIDTH HEIGHT < <(geometry "$W")
expect_eq "$WIDTH x $HEIGHT" "$SIZE" "window size at $DPI dpi"
((DPI != 144)) || expect_eq "$WIDTH x $HEIGHT" "496 x 49" "window size at 144 dpi"
# The frame: a light and a white band, each a scaled pixel wide, then the face; dark bottom right.
B=$(scaled 1 "$DPI")
((2 * B <= F)) || B=$((F / 2))
expect_eq "$(pixel "$SHOT" $((X + B - 1)) $((Y + B - 1)))" "227 227 227" "outer edge"
expect_eq "$(pixel "$SHOT" $((X + 2 * B - 1)) $((Y + 2 * B - 1)))" "255 255 255" "inner edge"
expect_eq "$(pixel "$SHOT" $((X + 2 * B)) $((Y + 2 * B)))" "240 240 240" "frame face"
expect_eq "$(pixel "$SHOT" $((X + WIDTH - B)) $((Y + HEIGHT - B)))" "105 105 105" "outer dark edge"

# Pixel counts grow with the square of the scale, lengths with the scale; at 144 dpi:
area() { echo $(($1 * DPI * DPI / (144 * 144))); }
length() { echo $(($1 * DPI / 144)); }

# A box at 96 dpi, scaled edge by edge: "LEFT TOP WIDTH HEIGHT" on the screen.
box() {
  local l t r b
  l=$(scaled "$1" "$DPI")
  t=$(scaled "$2" "$DPI")
  r=$(scaled $(($1 + $3)) "$DPI")
  b=$(scaled $(($2 + $4)) "$DPI")
  echo $((X + F + l)) $((Y + F + t)) $((r - l)) $((b - t))
}

read -r bx by bw bh < <(box 0 1 257 25)
red=$(count_pixels "$SHOT" "$bx" "$by" "$bw" "$bh" red)
[ "$red" -gt "$(area 700)" ] || fail "too little red in the phrase's box: $red"
expect_eq "$(count_pixels "$SHOT" "$X" "$Y" "$WIDTH" "$HEIGHT" red)" "$red" "red outside its box"
read -r l t r b < <(ink_box "$SHOT" "$bx" "$by" "$bw" "$bh" red)
centre=$(((l + r) / 2 - bx))
[ $((2 * centre - bw)) -ge -8 ] && [ $((2 * centre - bw)) -le 8 ] ||
  fail "phrase not centred: ink $l..$r in a box from $bx, $bw wide"
# The serif of 31.5 px at 144 dpi: capital L and descender of q span more than 20 px.
[ $((b - t)) -ge "$(length 20)" ] || fail "phrase ink only $((b - t)) px tall"

read -r bx by bw bh < <(box 262 0 59 26)
blue=$(count_pixels "$SHOT" "$bx" "$by" "$bw" "$bh" blue)
[ "$blue" -gt "$(area 150)" ] || fail "too little blue in the digits' boxes: $blue"
expect_eq "$(count_pixels "$SHOT" "$X" "$Y" "$WIDTH" "$HEIGHT" blue)" "$blue" "blue outside"
read -r bx by bw bh < <(box 268 0 40 12)
read -r l t r b < <(ink_box "$SHOT" "$bx" "$by" "$bw" "$bh" blue)
[ $((b - t)) -ge "$(length 8)" ] || fail "time digits only $((b - t + 1)) px tall at $DPI dpi"

read -r bx by bw bh < <(box 312 3 9 9)
black=$(count_pixels "$SHOT" "$bx" "$by" "$bw" "$bh" black)
[ "$black" -ge "$(area 25)" ] || fail "too little black in the close glyph's box: $black"
expect_eq "$(count_pixels "$SHOT" "$X" "$Y" "$WIDTH" "$HEIGHT" black)" "$black" "black outside"

# --- A time that reads clearly ---------------------------------------------------------------
for at in '2026-03-14 20:08:48' '2026-03-14 11:11:11'; do
  before=$(window_sum "$SHOT")
  echo "$at" >"$stamp"
  screenshot_unlike "$SHOT" "$before"
  client_pixels "$SHOT" "$DPI" "$E2E_TMP/pixels"
  colons_apart "$E2E_TMP/pixels" "$DPI"
done
echo "PASS"
