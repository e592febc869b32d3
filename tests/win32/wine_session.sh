# Sourced by the Windows end-to-end tests: brumo.exe under Wine in a private X session (Xvfb and
# openbox, from ../e2e/session.sh), in a prefix of the test's own cloned from the prepared one.
#
#   use_prefix TEMPLATE [DPI]     this test's prefix, cloned from TEMPLATE; Wine reports DPI
#   start_clock EXE               starts the clock; sets CLOCK_PID
#   open_clock EXE                starts the clock and waits for its window; sets CLOCK_WIN
#   wait_exit PID [SECS]          waits for the process to end; sets EXIT_STATUS
#   fake_time TIME                clocks started as WINE=$FAKED_WINE open_clock read the time
#                                 of day from a file, frozen at TIME (libfaketime)
#   set_time TIME                 moves that time while they run
#   window_shot WIN               screenshot of the window; the pixel queries below read it
#   client_pixels                 the client area of the last window_shot, "x y r g b" a line
#   settled_shot WIN OUT [UNLIKE] window_shot until two shots in a row agree and show the blue
#                                 time and date (and differ from the file UNLIKE); their client
#                                 pixels into OUT
#   count CLASS L T R B           pixels of CLASS (red, blue, dark) in a client-area box
#   extent CLASS L T R B          "minx maxx miny maxy" of those pixels (client area)
#   pixel X Y                     "r g b" of a client-area pixel
#   scaled PX                     a 96-dpi length at the session's DPI (15 design units a pixel)
#   drag BUTTON X Y DX DY WIN     presses at X,Y (screen), moves by DX,DY, releases; fails unless
#                                 the window followed the pointer all the way
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/session.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/colons.sh"

WINE=${BRUMO_WINE:-/usr/lib/wine/wine64}
WINESERVER="$(dirname "$WINE")/wineserver"
[ -x "$WINESERVER" ] || WINESERVER=wineserver
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
E2E_DPI=96

# Ends this prefix's Wine server and waits for it: a server left behind could answer the next
# test's Wine, should its prefix directory get the same inode.
wine_cleanup() {
  if [ -n "${WINEPREFIX:-}" ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
  fi
  e2e_cleanup
}
trap wine_cleanup EXIT

use_prefix() {
  local template=$1 item
  E2E_DPI=${2:-96}
  [ -f "$template/.prepared" ] || fail "no prepared prefix at $template"
  export WINEPREFIX="$E2E_TMP/prefix"
  mkdir -p "$WINEPREFIX/drive_c/windows"
  # The registry files are copies: Wine's server writes them back in place.
  cp -a "$template"/*.reg "$template/.update-timestamp" "$template/dosdevices" "$WINEPREFIX/"
  for item in "$template"/drive_c/* "$template"/drive_c/windows/*; do
    [ "$item" = "$template/drive_c/windows" ] && continue
    case "${item#"$template"/}" in
      # Wine's own DLLs and programs, hundreds of megabytes that nothing rewrites: shared.
      drive_c/windows/system32 | drive_c/windows/syswow64 | drive_c/windows/winsxs)
        cp -al "$item" "$WINEPREFIX/${item#"$template"/}" ;;
      *) cp -a "$item" "$WINEPREFIX/${item#"$template"/}" ;;
    esac
  done
  if [ "$E2E_DPI" != 96 ]; then
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$E2E_DPI" /f \
      >/dev/null 2>&1 || fail "cannot set LogPixels"
  fi
}

# The time is libfaketime's, preloaded into the clock's Wine process: Wine reads the time of day
# with clock_gettime in the process that asks for it, and Wine's server, started first and kept
# (wineserver -p60), keeps the real time. The file freezes the time where the test puts it; the
# monotonic clock that paces Wine's timers stays real. NO_FAKE_STAT keeps file times real, or Wine
# would take its configuration for out of date and rebuild the prefix.
FAKETIME_LIB=${FAKETIME_LIB:-/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1}
set_time() { printf '%s\n' "$1" >"$E2E_TMP/faketime"; }
fake_time() {
  [ -r "$FAKETIME_LIB" ] || fail "libfaketime is missing (package libfaketime)"
  # A server started to change the registry ends when it idles; the one that stays is real. It
  # outlives its clients by a minute, not for ever, should the test itself be killed.
  "$WINESERVER" -w
  "$WINESERVER" -p60
  set_time "$1"
  FAKED_WINE=$E2E_TMP/faked-wine
  cat >"$FAKED_WINE" <<END
#!/bin/sh
exec env LD_PRELOAD="$FAKETIME_LIB" FAKETIME_TIMESTAMP_FILE="$E2E_TMP/faketime" \\
  FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1 NO_FAKE_STAT=1 "$WINE" "\$@"
END
  chmod +x "$FAKED_WINE"
}

start_clock() {
  "$WINE" "$1" >>"$E2E_TMP/clock.log" 2>&1 &
  CLOCK_PID=$!
  track "$CLOCK_PID"
}

# shellcheck disable=SC2034  # CLOCK_WIN is for the caller
open_clock() {
  start_clock "$1"
  CLOCK_WIN=$(wait_for_window brumo.exe 90) && return 0
  if kill -0 "$CLOCK_PID" 2>/dev/null; then
    echo "brumo.exe runs but shows no window; X windows of its class:" >&2
    xdotool search --class brumo.exe >&2 || true
  else
    wait_exit "$CLOCK_PID" 1
    echo "brumo.exe ended with status $EXIT_STATUS" >&2
  fi
  cat "$E2E_TMP/clock.log" >&2
  fail "no clock window within 90 s"
}

# Not in a $(...): only this shell can wait for its children.
# shellcheck disable=SC2034  # EXIT_STATUS is for the caller
wait_exit() {
  local pid=$1 secs=${2:-10} i
  for i in $(seq $((secs * 10))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && return 1
  EXIT_STATUS=0
  wait "$pid" || EXIT_STATUS=$?
}

scaled() { echo $((($1 * 15 * E2E_DPI + 720) / 1440)); }

# Pixels of the last window_shot, "x y r g b" a line, client-area coordinates.
E2E_FRAME=0
window_shot() {
  local win=$1 x y w h
  read -r x y w h < <(geometry "$win")
  import -window root "$E2E_TMP/shot.png"
  E2E_FRAME=$(((w - $(scaled 324)) / 2))
  convert "$E2E_TMP/shot.png" -crop "${w}x${h}+$x+$y" +repage "$E2E_TMP/window.png"
  convert "$E2E_TMP/window.png" -depth 8 txt:- |
    awk -v f="$E2E_FRAME" -F'[:,() ]+' 'NR > 1 { print $1 - f, $2 - f, $3, $4, $5 }' \
      >"$E2E_TMP/pixels"
}

# Keeps the pixels of a class within a box; the box is [L, R) x [T, B).
e2e_select() {
  awk -v c="$1" -v l="$2" -v t="$3" -v r="$4" -v b="$5" '
    $1 >= l && $1 < r && $2 >= t && $2 < b {
      red = $3 >= 170 && $4 <= 100 && $5 <= 100
      blue = $5 >= 170 && $3 <= 100 && $4 <= 100
      dark = $3 < 90 && $4 < 90 && $5 < 90
      if ((c == "red" && red) || (c == "blue" && blue) || (c == "dark" && dark)) print $1, $2
    }' "$E2E_TMP/pixels"
}
count() { e2e_select "$@" | wc -l; }
extent() {
  e2e_select "$@" | awk 'NR == 1 { x0 = x1 = $1; y0 = y1 = $2 }
    { if ($1 < x0) x0 = $1; if ($1 > x1) x1 = $1; if ($2 < y0) y0 = $2; if ($2 > y1) y1 = $2 }
    END { if (NR) print x0, x1, y0, y1 }'
}
pixel() { awk -v x="$1" -v y="$2" '$1 == x && $2 == y { print $3, $4, $5 }' "$E2E_TMP/pixels"; }

client_pixels() {
  awk -v w="$(scaled 324)" -v h="$(scaled 26)" '$1 >= 0 && $1 < w && $2 >= 0 && $2 < h' \
    "$E2E_TMP/pixels"
}

# What the window shows once it has drawn its labels and holds still: two shots alike, with the
# blue time and date in them. A frozen clock holds still.
settled_shot() {
  local win=$1 out=$2 unlike=${3:-} previous=""
  for _ in $(seq 150); do
    window_shot "$win"
    client_pixels >"$out"
    if (($(count blue 0 0 "$(scaled 324)" "$(scaled 26)") > 40)) && [ -n "$previous" ] &&
      cmp -s "$out" "$previous" && { [ -z "$unlike" ] || ! cmp -s "$out" "$unlike"; }; then
      return 0
    fi
    cp "$out" "$E2E_TMP/previous"
    previous="$E2E_TMP/previous"
    sleep 0.1
  done
  fail "the window never showed a settled clock"
}

# Polls until the window's top-left corner is at X,Y; between looks the pointer twitches by a pixel
# and back, so that a window manager which took the pointer late still sees it move.
e2e_wait_at() {
  local win=$1 want_x=$2 want_y=$3 px=$4 py=$5 x y w h
  for _ in $(seq 100); do
    xwininfo -id "$win" >/dev/null 2>&1 || fail "the window is gone"
    read -r x y w h < <(geometry "$win")
    [ "$x $y" = "$want_x $want_y" ] && return 0
    xdotool mousemove $((px + 1)) "$py" mousemove "$px" "$py"
    sleep 0.1
  done
  echo "window at $x,$y, not at $want_x,$want_y" >&2
  return 1
}

drag() {
  local button=$1 px=$2 py=$3 dx=$4 dy=$5 win=$6 x0 y0 w h
  read -r x0 y0 w h < <(geometry "$win")
  xdotool mousemove "$px" "$py" mousedown "$button"
  xdotool mousemove $((px + dx / 2)) $((py + dy / 2))
  e2e_wait_at "$win" $((x0 + dx / 2)) $((y0 + dy / 2)) $((px + dx / 2)) $((py + dy / 2)) ||
    { xdotool mouseup "$button"; fail "the window did not follow a press of button $button"; }
  xdotool mousemove $((px + dx)) $((py + dy))
  e2e_wait_at "$win" $((x0 + dx)) $((y0 + dy)) $((px + dx)) $((py + dy)) ||
    { xdotool mouseup "$button"; fail "the window stopped short of the pointer"; }
  xdotool mouseup "$button"
}
