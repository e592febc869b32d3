#!/usr/bin/env bash
# The clock window as the window manager and a person see it at 96 dpi: its size, states and
# hints, each label's colour in its own box at a known time, and colons that stand apart from
# wide digits and narrow ones.
BRUMO=$1
source "$(dirname "$0")/lib.sh"

start_session 96
stamp=$E2E_TMP/time
echo '2026-03-14 14:47:58' >"$stamp"
start_brumo "file:$stamp"
W=$BRUMO_WIN

# --- What the window manager is told and does ------------------------------------------------
read -r X Y WIDTH HEIGHT < <(geometry "$W")
expect_eq "$WIDTH x $HEIGHT" "330 x 32" "window size (324 x 26 inside a 3 px frame)"
expect_eq "$(xprop -id "$W" _NET_FRAME_EXTENTS)" "_NET_FRAME_EXTENTS(CARDINAL) = 0, 0, 0, 0" \
  "window manager decorations"
state=$(xprop -id "$W" _NET_WM_STATE)
for s in ABOVE SKIP_TASKBAR SKIP_PAGER; do
  grep -q "_NET_WM_STATE_$s" <<<"$state" || fail "_NET_WM_STATE lacks $s: $state"
done
expect_eq "$(xprop -id "$W" WM_CLASS)" 'WM_CLASS(STRING) = "brumo", "Brumo"' "WM_CLASS"
expect_eq "$(xprop -id "$W" _NET_WM_PID)" "_NET_WM_PID(CARDINAL) = $BRUMO_PID" "_NET_WM_PID"
expect_eq "$(xprop -id "$W" _NET_WM_WINDOW_TYPE)" \
  "_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_UTILITY" "window type"
expect_eq "$(xprop -id "$W" _MOTIF_WM_HINTS)" \
  "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x2, 0x0, 0x0, 0x0, 0x0" "Motif hints"
grep -q WM_DELETE_WINDOW <<<"$(xprop -id "$W" WM_PROTOCOLS)" || fail "no WM_DELETE_WINDOW"
hints=$(xprop -id "$W" WM_NORMAL_HINTS)
grep -q "program specified minimum size: 330 by 32" <<<"$hints" || fail "minimum size: $hints"
grep -q "program specified maximum size: 330 by 32" <<<"$hints" || fail "maximum size: $hints"
# Not override-redirect: the window manager manages it.
xwininfo -id "$W" | grep -q "Override Redirect State: no" || fail "the window is override-redirect"
# Both icon sizes, 32 first: width, height, then that many pixels.
icon=$(xprop -id "$W" -notype 32c _NET_WM_ICON | tr -d ' ' | cut -d= -f2)
IFS=, read -r -a words <<<"$icon"
expect_eq "${#words[@]}" $((2 + 32 * 32 + 2 + 16 * 16)) "_NET_WM_ICON length"
expect_eq "${words[0]}x${words[1]} ${words[1026]}x${words[1027]}" "32x32 16x16" "icon sizes"
# A corner is transparent, the middle of the face opaque white.
expect_eq "${words[2]}" 0 "icon corner"
expect_eq "$(printf '%x' "${words[$((2 + 8 * 32 + 16))]}")" ffffffff "icon face"

# --- What a person sees ----------------------------------------------------------------------
SHOT=$E2E_TMP/shot.png
screenshot "$SHOT"
F=3  # frame
# The raised frame: light outer and white inner edges on the top and left, dark on the bottom
# and right; the face inside.
expect_eq "$(pixel "$SHOT" "$X" "$Y")" "227 227 227" "outer top-left edge"
expect_eq "$(pixel "$SHOT" $((X + 1)) $((Y + 1)))" "255 255 255" "inner top-left edge"
expect_eq "$(pixel "$SHOT" $((X + WIDTH - 1)) $((Y + HEIGHT - 1)))" "105 105 105" "outer bottom-right"
expect_eq "$(pixel "$SHOT" $((X + WIDTH - 2)) $((Y + HEIGHT - 2)))" "160 160 160" "inner bottom-right"
expect_eq "$(pixel "$SHOT" $((X + 2)) $((Y + 2)))" "240 240 240" "frame face"
# The gap between the phrase and the digits is bare face.
expect_eq "$(pixel "$SHOT" $((X + F + 259)) $((Y + F + 10)))" "240 240 240" "window face"

# The phrase: red, only inside its box (0,1 257x25), centred across it.
in_box=$(count_pixels "$SHOT" $((X + F)) $((Y + F + 1)) 257 25 red)
all=$(count_pixels "$SHOT" "$X" "$Y" "$WIDTH" "$HEIGHT" red)
[ "$in_box" -gt 300 ] || fail "too little red in the phrase's box: $in_box"
expect_eq "$all" "$in_box" "red pixels outside the phrase's box"
read -r l t r b < <(ink_box "$SHOT" $((X + F)) $((Y + F + 1)) 257 25 red)
centre=$(((l + r) / 2 - X - F))
[ "$centre" -ge 124 ] && [ "$centre" -le 133 ] || fail "phrase not centred: ink $l..$r, centre $centre"
# "Le tre meno un quarto" in a 21 px serif is about 190 px wide.
[ $((r - l)) -ge 150 ] && [ $((r - l)) -le 240 ] || fail "phrase ink $((r - l)) px wide"

# The digits: blue, only in the clock labels' boxes (x 262..321, y 0..25), with the time on the
# top row right of x 268 and the date below it.
cluster=$(count_pixels "$SHOT" $((X + F + 262)) $((Y + F)) 59 26 blue)
all=$(count_pixels "$SHOT" "$X" "$Y" "$WIDTH" "$HEIGHT" blue)
[ "$cluster" -gt 80 ] || fail "too little blue in the digits' boxes: $cluster"
expect_eq "$all" "$cluster" "blue pixels outside the digits' boxes"
read -r l t r b < <(ink_box "$SHOT" $((X + F + 262)) $((Y + F)) 59 12 blue)
[ $((l - X - F)) -ge 268 ] && [ $((r - X - F)) -lt 308 ] || fail "time row ink at $l..$r"
# The hour "14" is right-aligned up to the first colon: its ink ends within a pixel or two of
# x 279, and the seconds start right after the second colon at 295.
read -r l t r b < <(ink_box "$SHOT" $((X + F + 268)) $((Y + F)) 10 12 blue)
[ $((r - X - F)) -ge 276 ] || fail "hour not against the colon: ink ends at $((r - X - F))"
read -r l t r b < <(ink_box "$SHOT" $((X + F + 297)) $((Y + F)) 11 12 blue)
[ $((l - X - F)) -le 298 ] || fail "seconds not against the colon: ink starts at $((l - X - F))"
date_px=$(count_pixels "$SHOT" $((X + F + 262)) $((Y + F + 13)) 59 12 blue)
[ "$date_px" -gt 40 ] || fail "too little blue in the date's row: $date_px"

# The close glyph: black, only in its 9 x 9 box in the top right corner.
glyph=$(count_pixels "$SHOT" $((X + F + 312)) $((Y + F + 3)) 9 9 black)
all=$(count_pixels "$SHOT" "$X" "$Y" "$WIDTH" "$HEIGHT" black)
[ "$glyph" -ge 12 ] || fail "too little black in the close glyph's box: $glyph"
expect_eq "$all" "$glyph" "black pixels outside the close glyph's box"
# A cross: both diagonals are inked, the middle of each side is not.
read -r l t r b < <(ink_box "$SHOT" $((X + F + 312)) $((Y + F + 3)) 9 9 black)
[ $((r - l)) -ge 5 ] && [ $((b - t)) -ge 5 ] || fail "close glyph ink only ${l},${t}..${r},${b}"

# --- A time that reads clearly ---------------------------------------------------------------
for at in '2026-03-14 14:47:58' '2026-03-14 20:08:48' '2026-03-14 11:11:11'; do
  before=$(window_sum "$SHOT")
  echo "$at" >"$stamp"
  [ "${at#* }" = 14:47:58 ] || screenshot_unlike "$SHOT" "$before"
  client_pixels "$SHOT" 96 "$E2E_TMP/pixels"
  colons_apart "$E2E_TMP/pixels" 96
done

echo "PASS"
