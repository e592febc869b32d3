# Sourced by the layout tests of both shells: the one look at whether the time reads clearly.
#
#   colons_apart PIXELS DPI    fails unless each colon of the time row stands apart from the
#                              digits on either side by at least one column of the face colour;
#                              prints the columns of face found left and right of each colon.
#                              PIXELS holds "x y r g b" lines of the client area (0,0 its top-left)
#
# A column is face where all of the time row's pixels in it (above the date) are the colour of the
# bare face at x 259; every other pixel, smoothed edges too, is ink. Maximal runs of ink columns
# are glyphs, or glyphs that touch. Every digit reaches the digits' top row and a colon does not,
# so each colon's box must meet a run that stays below that row: a colon that touches a digit
# makes one run with it, which reaches the top.
colons_apart() {
  local pixels=$1 dpi=$2 report
  report=$(awk -v dpi="$dpi" '
    function s(px) { return int((px * 15 * dpi + 720) / 1440) }
    BEGIN { left = s(262); right = s(310); bottom = s(12); fx = s(259); fy = s(6) }
    $1 == fx && $2 == fy { face = $3 " " $4 " " $5 }
    $1 >= left && $1 < right && $2 >= 0 && $2 < bottom { px[$1, $2] = $3 " " $4 " " $5 }
    END {
      if (face == "") { print "no face pixel at " fx "," fy; exit 1 }
      top = bottom
      for (x = left; x < right; x++) {
        high[x] = bottom
        for (y = 0; y < bottom; y++) {
          if (((x, y) in px) && px[x, y] != face) { if (y < high[x]) high[x] = y }
        }
        if (high[x] < top) top = high[x]
      }
      if (top == bottom) { print "no time row drawn"; exit 1 }
      # Runs of ink columns: run r spans [from[r], to[r]], highest[r] its topmost ink row.
      n = 0
      for (x = left; x < right; x++) {
        if (high[x] == bottom) continue
        if (n == 0 || to[n] != x - 1) { n++; from[n] = x; highest[n] = bottom }
        to[n] = x
        if (high[x] < highest[n]) highest[n] = high[x]
      }
      split(s(278) " " s(283) " " s(292) " " s(297), edge, " ")
      out = ""; bad = 0
      for (c = 0; c < 2; c++) {
        l = edge[2 * c + 1]; r = edge[2 * c + 2]; found = 0
        for (i = 1; i <= n; i++) {
          if (to[i] < l || from[i] >= r || highest[i] == top) continue
          gap_left = i > 1 ? from[i] - to[i - 1] - 1 : -1
          gap_right = i < n ? from[i + 1] - to[i] - 1 : -1
          found = 1
        }
        if (found) out = out " " gap_left "/" gap_right
        else { out = out " none"; bad = 1 }
      }
      print "face columns left/right of each colon:" out
      exit bad
    }' "$pixels") || fail "at $dpi dpi a colon touches a digit or is missing ($report)"
  echo "$dpi dpi, $report"
}
