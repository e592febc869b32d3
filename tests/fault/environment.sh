#!/usr/bin/env bash
# Odd environments give a clear error or a sane default, never a crash: a garbage locale, date
# formats with no separator or an overlong one, no XDG_RUNTIME_DIR or one that is not the
# user's, a garbage DISPLAY, and fonts missing.
set -euo pipefail
BRUMO=$1
. "$(dirname "$0")/../e2e/session.sh"
. "$(dirname "$0")/lib.sh"
start_session 96
T="2026-03-14 14:47:58"

# The exactly red pixels in the phrase's box (window coordinates: inside the 3 px frame).
red_in_phrase() {
  convert "$1" -crop 257x25+3+4 +repage txt:- | grep -c -i '#FF0000' || true
}

# Runs a clock frozen at $T with the given environment; leaves its picture in $E2E_TMP/$name.png.
picture() {
  local name=$1 win
  shift
  start_clock "$BRUMO" "$T" "$@"
  win=$(wait_for_window brumo 20) || fail "$name: no window"
  sleep 0.3
  shot "$win" "$E2E_TMP/$name.png"
  kill -0 "$CLOCK_PID" 2>/dev/null || fail "$name: the clock ended"
  stop_clock
  wait_gone "$win" 5 || fail "$name: the clock did not close"
}

picture plain LC_ALL=C
for garbage in "LC_ALL=xx_NOWHERE.UTF-8" "LANG=%s%s%n%n" "LC_TIME=../../../../etc/passwd"; do
  picture garbage -u LC_ALL -u LC_TIME LANG=C "$garbage"
  [ "$(differing "$E2E_TMP/garbage.png" "$E2E_TMP/plain.png")" = 0 ] ||
    fail "$garbage: the clock does not show the C locale's date"
  echo "ok: $garbage falls back to the plain date"
done

# Locales of our own making: one whose separator is its own, then date formats with no
# separator, one longer than any and a line break, which all fall back to the slash.
if command -v localedef >/dev/null && [ -r /usr/share/i18n/locales/it_IT ]; then
  for variant in "dots|%d.%m.%Y" "none|%d%m%Y" "long|%d----------%m----------%Y" "newline|%d%n%m%n%Y"; do
    IFS='|' read -r name fmt <<<"$variant"
    src="$E2E_TMP/xx_$name"
    {
      printf 'comment_char %%\nescape_char /\n\n'
      for cat in LC_CTYPE LC_COLLATE LC_MONETARY LC_NUMERIC LC_MESSAGES LC_PAPER LC_NAME \
        LC_ADDRESS LC_TELEPHONE LC_MEASUREMENT LC_IDENTIFICATION; do
        printf '%s\ncopy "it_IT"\nEND %s\n\n' "$cat" "$cat"
      done
      awk '/^LC_TIME/,/^END LC_TIME/' /usr/share/i18n/locales/it_IT |
        sed "s|^d_fmt .*|d_fmt \"$fmt\"|"
    } >"$src"
    mkdir -p "$E2E_TMP/locales"
    localedef -i "$src" -f UTF-8 "$E2E_TMP/locales/xx_XX.UTF-8" >/dev/null 2>&1 ||
      [ -d "$E2E_TMP/locales/xx_XX.UTF-8" ] || fail "localedef could not build the $name locale"
    picture "$name" LOCPATH="$E2E_TMP/locales" LC_ALL=xx_XX.UTF-8
    rm -rf "$E2E_TMP/locales/xx_XX.UTF-8"
  done
  [ "$(differing "$E2E_TMP/dots.png" "$E2E_TMP/plain.png")" != 0 ] ||
    fail "the locale's own separator does not show: the made locale was not used"
  [ "$(differing "$E2E_TMP/none.png" "$E2E_TMP/plain.png")" = 0 ] ||
    fail "a date format with no separator does not fall back to the slash"
  [ "$(differing "$E2E_TMP/long.png" "$E2E_TMP/plain.png")" = 0 ] ||
    fail "an overlong separator does not fall back to the slash"
  [ "$(differing "$E2E_TMP/newline.png" "$E2E_TMP/plain.png")" = 0 ] ||
    fail "a line break as separator does not fall back to the slash"
  echo "ok: date formats with no separator, an overlong one and a line break"
else
  echo "SKIP: localedef or the it_IT locale source is missing (package locales)"
fi

# No runtime directory, or one that is not the user's: nothing of the clock depends on it.
picture no_runtime_dir -u XDG_RUNTIME_DIR
[ "$(differing "$E2E_TMP/no_runtime_dir.png" "$E2E_TMP/plain.png")" = 0 ] || fail "no XDG_RUNTIME_DIR"
picture foreign_runtime_dir XDG_RUNTIME_DIR=/tmp
[ "$(differing "$E2E_TMP/foreign_runtime_dir.png" "$E2E_TMP/plain.png")" = 0 ] ||
  fail "a foreign XDG_RUNTIME_DIR"
echo "ok: XDG_RUNTIME_DIR unset or foreign"

# A garbage DISPLAY: one clear line on stderr and a non-zero status.
for display in "garbage" "::::" ":99999" "/nonexistent/socket:0" ""; do
  status=0
  DISPLAY="$display" timeout 10 "$BRUMO" >"$E2E_TMP/out" 2>"$E2E_TMP/err" || status=$?
  [ "$status" != 0 ] && [ "$status" != 124 ] || fail "DISPLAY='$display': status $status"
  [ "$status" -lt 128 ] || fail "DISPLAY='$display': killed by a signal ($status)"
  [ "$(wc -l <"$E2E_TMP/err")" = 1 ] && grep -q '^brumo: ' "$E2E_TMP/err" ||
    fail "DISPLAY='$display': no clear error: $(cat "$E2E_TMP/err")"
done
echo "ok: garbage DISPLAY values end with one line on stderr: $(cat "$E2E_TMP/err")"

# Fonts missing: without the phrase's serif face it still draws, with fontconfig's fallback;
# with no fonts at all it still runs and shows its window.
mkdir -p "$E2E_TMP/fc-cache"
cat >"$E2E_TMP/dejavu.conf" <<CONF
<?xml version="1.0"?><!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><dir>/usr/share/fonts/truetype/dejavu</dir><cachedir>$E2E_TMP/fc-cache</cachedir></fontconfig>
CONF
cat >"$E2E_TMP/nofonts.conf" <<CONF
<?xml version="1.0"?><!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><dir>$E2E_TMP/no-such-dir</dir><cachedir>$E2E_TMP/fc-cache</cachedir></fontconfig>
CONF
picture dejavu FONTCONFIG_FILE="$E2E_TMP/dejavu.conf"
[ "$(red_in_phrase "$E2E_TMP/dejavu.png")" -gt 50 ] || fail "no phrase drawn with a fallback face"
# With no font at all there is nothing to draw text with: a window or one clear line, no crash.
status=0
FONTCONFIG_FILE="$E2E_TMP/nofonts.conf" timeout 5 "$BRUMO" 2>"$E2E_TMP/err" || status=$?
if [ "$status" = 124 ]; then
  echo "ok: with no fonts at all it still runs"
else
  [ "$status" != 0 ] && [ "$status" -lt 128 ] || fail "no fonts: status $status"
  [ "$(wc -l <"$E2E_TMP/err")" = 1 ] || fail "no fonts: no clear error: $(cat "$E2E_TMP/err")"
  echo "ok: with no fonts at all: $(cat "$E2E_TMP/err")"
fi
echo "ok: missing fonts: a fallback face draws the phrase"
