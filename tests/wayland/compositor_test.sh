#!/usr/bin/env bash
# The clock under one headless Wayland compositor, in either Linux shell: as an X11 client of the
# compositor's Xwayland (mutter, kwin, sway, weston), or natively as a layer surface (sway-native,
# wayfire-native, kwin-native: KWin at a fractional scale, the clock started with no X display).
# Its size; one copy only; still showing once an X11 window and a native Wayland
# window are activated over it; on another workspace; drags with the left, middle and right
# buttons through the compositor's own input; closed by its glyph and by Alt+F4; natively also its
# pixels at scales 2 and 1.5 and the phrase and time at a frozen clock, read against the X11
# clock's. Each check prints one line: pass, xfail (the compositor cannot do it for that shell) or
# skip (no way to look), with why.
#   compositor_test.sh BRUMO mutter|kwin|sway|weston|sway-native|wayfire-native|kwin-native
#     [KWIN_POINTER]
# Exits 77 (a skip) when the compositor cannot run here.
BRUMO=$1 C=$2 KWIN_POINTER=${3:-}
source "$(dirname "$0")/lib.sh"
source "$HERE/../e2e/colons.sh"
COMP=${C%-native}
[ "$COMP" = "$C" ] && NATIVE=0 || NATIVE=1
# KWin offers fractional scales: natively it runs at 1.5 throughout.
[ "$C" != kwin-native ] || SCALE=1.5
if ((NATIVE)); then need grim convert compare python3 xdotool xwininfo; else need xdotool xwininfo xlogo; fi
start_compositor
start_pointer
if ((NATIVE)); then
  globals | grep -x zwlr_layer_shell_v1 >/dev/null || give_up "$COMP offers no layer-shell"
  FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n1)
  [ -n "$FAKETIME_LIB" ] || give_up "libfaketime is not installed"
fi

# Started as the session starts programs, with Xwayland's DISPLAY too: natively the clock picks
# its layer surface, as Xwayland's manager there keeps nothing above. Where the compositor offers
# layer-shell, an empty WAYLAND_DISPLAY keeps the X11 clock on Xwayland.
CLOCK_ENV=(XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" DISPLAY="$XDISPLAY" XAUTHORITY="${XAUTH:-}")
[ "$C" != sway ] || CLOCK_ENV+=(WAYLAND_DISPLAY=)
# KWin's Xwayland keeps windows above: natively the clock there is one that finds no X display.
[ "$C" != kwin-native ] || CLOCK_ENV+=(DISPLAY=)
clock() { "${RUN_AS[@]}" env "${CLOCK_ENV[@]}" "$@"; }
geometry() {
  x xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
    /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}'
}
brumo_window() { x xdotool search --classname '^brumo$' 2>/dev/null | head -n1 | grep .; }
start_brumo() { # [ENV...]
  "${RUN_AS[@]}" env "${CLOCK_ENV[@]}" "$@" "$BRUMO" 2>>"$T/brumo.err" & # its PID the clock's
  BRUMO_PID=$!
  PIDS+=($BRUMO_PID)
  if ((NATIVE)); then
    shot "$T/shot.ppm"
  else
    wait_for 10 brumo_window && sleep 0.3
    BRUMO_WIN=$(brumo_window)
    [ -n "$BRUMO_WIN" ]
  fi || { result "starts" FAIL "nothing shown: $(cat "$T/brumo.err" "$T/shot.err" 2>/dev/null | tail -3)" && exit 1; }
}
# "X Y W H" of the clock: its X11 window, or its frame in a screenshot, in logical pixels.
where() {
  if ((NATIVE)); then
    shot "$T/shot.ppm" && clock_box "$T/shot.ppm" | awk -v s="$SCALE" '{for (i = 1; i <= 4; i++) $i = int($i / s + 0.5)} 1'
  else geometry "$BRUMO_WIN"; fi
}
at() { [ "$(where | cut -d' ' -f1,2)" = "$1 $2" ]; }
# Once the clock has ended, with status 0.
ended() { wait_for 5 sh -c "! kill -0 $BRUMO_PID" && { wait $BRUMO_PID; } 2>/dev/null; }
to() { # the pointer to X,Y: Mutter's moves only by motion
  if [ "$COMP" = mutter ]; then ptr move -5000 -5000 && ptr move "$1" "$2"; else ptr set "$1" "$2"; fi
  sleep 0.3
}
swaymsg() { as_user swaymsg -q "$@"; }
in_tree() { as_user swaymsg -t get_tree | grep -q "$1"; }
NO_IPC="wayfire 0.7 has no IPC to place, focus or switch with"

# --- Alt+F4 right after start (X11: the clock is the active window) --------------------------
if ((!NATIVE)); then
  start_brumo
  if [ "$C" = weston ]; then
    result "Alt+F4 right after start" skip "weston's Xwayland ends on XTEST input, and weston has no input of its own to drive"
  else
    # XTEST keys reach the X client that the compositor gave the keyboard to: once it is shown
    # active, as a person would see it.
    wait_for 10 x sh -c "[ \"\$(xdotool getactivewindow)\" = $BRUMO_WIN ]"
    x xdotool key alt+F4
    if ended; then result "Alt+F4 right after start" pass
    else result "Alt+F4 right after start" FAIL "still running, or ended with an error"; fi
  fi
  kill $BRUMO_PID 2>/dev/null
  wait $BRUMO_PID 2>/dev/null
fi

# --- Size --------------------------------------------------------------------------------------
T1='2026-03-14 14:47:58' T2='2026-03-14 14:48:58' # "a quarter to", then "ten to"
if ((NATIVE)); then
  # Natively frozen at T1, read below against the X11 clock; 330x32 at the usable area's
  # top-left corner, its colons apart from the digits.
  start_brumo LD_PRELOAD="$FAKETIME_LIB" FAKETIME="$T1" FAKETIME_DONT_FAKE_MONOTONIC=1
  # At 1.5 the layout is laid out at 144 dpi (496x49) and shown on 330x32 logical pixels.
  read -r size dpi f <<<"$([ "$SCALE" = 1 ] && echo 330x32 96 3 || echo 495x48 144 5)"
  name="size $size"
  [ "$SCALE" = 1 ] || name+=" at scale $SCALE"
  # Once the compositor has told the clock its scale, which may come after the first frame.
  laid_out() {
    shot "$T/shot.ppm" && box=$(clock_box "$T/shot.ppm") || return 1
    [ "$box" = "0 0 ${size/x/ }" ] || { why="at $box" && return 1; }
    why=$(colons_apart <(client_pixels "$T/shot.ppm" $f $f $((${size%x*} - 2 * f)) $((${size#*x} - 2 * f))) $dpi)
  }
  if wait_for 10 laid_out; then result "$name" pass; else laid_out; result "$name" FAIL "$why"; fi
else
  start_brumo
  # Where the compositor has placed it: the same answer twice, a fifth of a second apart (sway
  # centres and pads a floating window after it maps).
  settled() {
    local now last="" i
    for i in $(seq 25); do
      now=$(geometry "$BRUMO_WIN")
      [ "$now" = "$last" ] && break
      last=$now
      sleep 0.2
    done
    read -r X0 Y0 W H <<<"$now"
  }
  settled
  if [ "$W $H" = "330 32" ]; then result "size 330x32" pass
  elif [ "$C" = sway ]; then result "size 330x32" xfail "sway makes it ${W}x$H: its floating windows' minimum size"
  else result "size 330x32" FAIL "${W}x$H"; fi
fi

# --- The phrase and time at a frozen clock (native) ------------------------------------------
# The X11 clock, whose reading its own tests check, beside the native one at the same frozen time:
# the same text draws the same pixels (fcft and Xft alike here); one second apart already leaves
# some thirty pixels unlike, so a wrong phrase, hour or second cannot pass.
unlike_pixels() {
  shot "$T/shot.ppm" || return 1
  read -r x y _ < <(geometry "$(brumo_window)")
  convert "$T/shot.ppm" -crop 324x26+3+3 +repage "$T/native.png"
  convert "$T/shot.ppm" -crop 324x26+$((x + 3))+$((y + 3)) +repage "$T/x11.png"
  { compare -metric AE -fuzz 10% "$T/native.png" "$T/x11.png" null: 2>&1 || true; } | cut -d' ' -f1 # 1: unlike
}
alike() { local n; n=$(unlike_pixels) && [ "$n" -le 4 ]; }
unlike() { local n; n=$(unlike_pixels) && [ "$n" -gt 4 ]; }
if ((NATIVE)) && [ "$SCALE" != 1 ]; then
  result "phrase and time at a frozen clock" skip "the X11 clock it is read against is scaled up by $COMP at $SCALE"
elif ((NATIVE)); then
  name="phrase and time at a frozen clock"
  echo "$T1" >"$T/now" && chmod 644 "$T/now"
  start env "${CLOCK_ENV[@]}" WAYLAND_DISPLAY= LD_PRELOAD="$FAKETIME_LIB" FAKETIME_TIMESTAMP_FILE="$T/now" \
    FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1 "$BRUMO"
  if ! wait_for 10 brumo_window; then result "$name" FAIL "no X11 clock to read against"
  elif ! wait_for 10 alike; then result "$name" FAIL "$(unlike_pixels) pixels unlike the X11 clock's at $T1"
  elif ! { echo "$T2" >"$T/now" && wait_for 10 unlike; }; then result "$name" FAIL "no change seen at $T2"
  else result "$name" pass; fi
  kill $(tree ${PIDS[-1]})
fi

# --- One copy ------------------------------------------------------------------------------------
clock timeout 5 "$BRUMO" 2>/dev/null && second=0 || second=$?
((NATIVE)) && n=1 || n=$(x xdotool search --class brumo 2>/dev/null | wc -l)
if [ "$second" = 0 ] && [ "$n" = 1 ]; then result "a second copy ends at once" pass
else result "a second copy ends at once" FAIL "status $second, $n windows"; fi

# --- Above other windows, and on another workspace ---------------------------------------------
if ((NATIVE)) && [ "$COMP" = sway ]; then
  # Each floating and focused at the top-left corner, over the clock (the session's rules).
  for app in "foot|app_id\": \"foot|a native Wayland" "xmessage -geometry 600x300+0+0 covering|class\": \"Xmessage|an X11"; do
    IFS='|' read -r cmd id kind <<<"$app"
    swaymsg exec "$cmd"
    wait_for 10 in_tree "$id" && sleep 0.5
    if ! in_tree "$id"; then result "above $kind window" FAIL "no window from $cmd"
    elif [ "$(where)" = "0 0 330 32" ]; then result "above $kind window" pass
    else result "above $kind window" FAIL "the clock is not seen over it"; fi
    swaymsg kill
  done
  swaymsg workspace 2
  sleep 0.5
  if at 0 0; then result "on another workspace" pass
  else result "on another workspace" FAIL "the clock is not seen there"; fi
  swaymsg workspace 1
elif [ "$C" = kwin-native ]; then
  # An X11 window and weston's terminal, each put at the top-left corner over the clock, and
  # activated; then the second desktop.
  cat >"$T/over.js" <<'JS'
workspace.clientAdded.connect(function (c) {
  if (c.resourceClass.indexOf("wayland-terminal") < 0 && c.resourceClass.indexOf("xlogo") < 0) return;
  c.frameGeometry = {x: 0, y: 0, width: 600, height: 300};
  workspace.activeClient = c;
});
JS
  n=$(gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.loadScript \
    "$T/over.js" brumo-test | tr -dc 0-9)
  gdbus call --session -d org.kde.KWin -o /$n -m org.kde.kwin.Script.run >/dev/null
  for app in "x xlogo|an X11" "as_user weston-terminal --shell=/bin/sh|a native Wayland"; do
    IFS='|' read -r cmd kind <<<"$app"
    $cmd >/dev/null 2>&1 &
    other=$!
    sleep 2
    if [ "$(where)" = "0 0 330 32" ]; then result "above $kind window" pass
    else result "above $kind window" FAIL "the clock is not seen over it: $(where)"; fi
    kill $(tree $other)
  done
  x xdotool set_num_desktops 2 && x xdotool set_desktop 1 && sleep 1
  if [ "$(x xdotool get_desktop)" = 1 ] && at 0 0; then result "on another workspace" pass
  else result "on another workspace" FAIL "desktop $(x xdotool get_desktop), the clock at $(where)"; fi
  x xdotool set_desktop 0
elif ((NATIVE)); then
  for check in "above an X11 window" "above a native Wayland window" "on another workspace"; do
    result "$check" skip "$NO_IPC"
  done
else
  # Above: the clock is the top of the X stacking after another X window and a native Wayland
  # window are activated over it; where the compositor shows its whole stacking, it is looked at.
  top_x11() { x xprop -root _NET_CLIENT_LIST_STACKING | awk '{print $NF}'; }
  x xlogo -geometry 400x200+$((X0 > 40 ? X0 - 40 : 0))+$Y0 &
  XLOGO=$!
  PIDS+=($XLOGO)
  wait_for 10 x xdotool search --onlyvisible --class XLogo
  other=$(x xdotool search --onlyvisible --class XLogo | head -n1)
  x xdotool windowactivate "$other" 2>/dev/null
  sleep 1
  case $C in
    mutter | kwin)
      if [ "$(printf '%d' "$(top_x11)")" = "$BRUMO_WIN" ]; then result "above an X11 window" pass
      else result "above an X11 window" FAIL "the clock is not at the top of the stacking"; fi
      ;;
    sway)
      if [ "$(printf '%d' "$(top_x11)")" = "$BRUMO_WIN" ]; then result "above an X11 window" FAIL "sway kept it above after all"
      else result "above an X11 window" xfail "sway keeps no X11 window above a focused floating one"; fi
      ;;
    weston) result "above an X11 window" skip "nothing is ever active in a headless weston: no input to activate with" ;;
  esac
  kill $(tree $XLOGO) # out of the way of the look below

  # A native Wayland window, weston's terminal, placed over the clock and activated.
  native_over() {
    case $C in
      sway) as_user swaymsg -q "for_window [app_id=wayland-terminal] floating enable, resize set 400 200, \
move position $((X0 > 40 ? X0 - 40 : 0)) $Y0" ;;
      kwin)
        # KWin centres it, over the clock; once it is active, the stacking goes to KWin's log.
        cat >"$T/stacking.js" <<'JS'
workspace.clientActivated.connect(function (c) {
  if (!c || c.resourceClass.indexOf("wayland-terminal") < 0) return;
  var all = workspace.clientList().sort(function (a, b) { return a.stackingOrder - b.stackingOrder; });
  print("stacking: " + all.map(function (w) { return w.resourceClass; }).join(" "));
});
workspace.clientAdded.connect(function (c) {
  if (c.resourceClass.indexOf("wayland-terminal") >= 0) workspace.activeClient = c;
});
JS
        local n
        n=$(gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.loadScript \
          "$T/stacking.js" brumo-test | tr -dc 0-9)
        gdbus call --session -d org.kde.KWin -o /$n -m org.kde.kwin.Script.run >/dev/null
        ;;
    esac
    start weston-terminal --shell=/bin/sh >/dev/null 2>&1
    TERMINAL=$!
  }
  # Whether the clock's face shows on sway's screen where the clock is.
  face_seen() {
    settled
    as_user grim -g "$X0,$Y0 ${W}x32" -t ppm - | tail -c $((W * 32 * 3)) | od -An -tu1 -v -w3 |
      grep '240 240 240' >/dev/null # reads all, so that od meets no closed pipe
  }
  face_hidden() { ! face_seen; }
  name="above a native Wayland window"
  if ! command -v weston-terminal >/dev/null; then
    result "$name" skip "weston-terminal is not installed"
  else
    case $C in
      kwin)
        native_over
        if ! wait_for 10 grep -q '^js: stacking: ' "$LOG"; then result "$name" FAIL "the terminal never became active"
        elif grep '^js: stacking: ' "$LOG" | tail -n1 | grep -q 'wayland-terminal.* brumo'; then result "$name" pass
        else result "$name" FAIL "$(grep '^js: stacking: ' "$LOG" | tail -n1)"; fi
        ;;
      sway)
        if ! command -v grim >/dev/null; then result "$name" skip "grim is not installed"
        elif ! wait_for 10 face_seen; then result "$name" FAIL "the clock's face is not seen even uncovered"
        else
          native_over
          if ! wait_for 10 face_hidden; then result "$name" FAIL "sway kept it above after all"
          else result "$name" xfail "sway keeps no X11 window above a focused floating one"; fi
        fi
        ;;
      mutter) result "$name" skip "Mutter alone has no screenshot or window list that shows Wayland windows" ;;
      weston) result "$name" skip "nothing is activated in a headless weston: it has no input to activate with" ;;
    esac
    [ -z "${TERMINAL:-}" ] || kill $(tree $TERMINAL) # out of the pointer's way
  fi

  case $C in
    mutter | kwin)
      # The clock is on every desktop: its _NET_WM_DESKTOP is "all" and it stays mapped.
      x xdotool set_num_desktops 2 2>/dev/null
      x xdotool set_desktop 1 2>/dev/null
      sleep 1
      if [ "$(x xdotool get_desktop)" = 1 ] && x xwininfo -id "$BRUMO_WIN" | grep -q IsViewable &&
        x xprop -id "$BRUMO_WIN" _NET_WM_DESKTOP | grep -q 4294967295; then
        result "on another workspace" pass
      else result "on another workspace" FAIL "desktop $(x xdotool get_desktop), $(x xprop -id "$BRUMO_WIN" _NET_WM_DESKTOP)"; fi
      x xdotool set_desktop 0 2>/dev/null
      ;;
    sway)
      as_user swaymsg -q workspace 2
      sleep 0.5
      if as_user swaymsg -t get_tree | grep -A3 '"name": "2"' | grep -q brumo; then
        result "on another workspace" FAIL "sway showed it after all"
      else result "on another workspace" xfail "sway has no sticky state for X11 windows: they stay on their workspace"; fi
      as_user swaymsg -q workspace 1
      ;;
    weston) result "on another workspace" skip "weston has no workspaces" ;;
  esac
fi

# --- Drags -----------------------------------------------------------------------------------
# From the pointer's press on the clock, ±100,150 in steps, the button up, then the pointer on: the
# clock follows the travel and stays once the button is up.
drag() { # BUTTON DX DY [past]: from the clock's left part; past: beyond the output
  local b=$1 dx=$2 dy=$3 x y _ i
  read -r x y _ < <(where)
  to $((x + 60)) $((y + 12))
  ptr press "$b"
  for i in $(seq 10); do ptr move $((dx / 10)) $((dy / 10)); sleep 0.05; done
  [ -n "${4:-}" ] || wait_for 3 at $((x + dx)) $((y + dy))
  ptr release "$b"
  sleep 0.3
  ptr move 200 100
  sleep 0.5
}
for b in 1 2 3; do
  name="drag with button $b"
  if [ -z "$POINTER" ]; then
    case $C in
      weston) result "$name" skip "weston has no input to drive: its Xwayland ends on XTEST input" ;;
      kwin) result "$name" skip "no fake-input client: built without libwayland-dev and plasma-wayland-protocols" ;;
      *) result "$name" skip "no pointer input to drive here (wayvnc missing)" ;;
    esac
    continue
  fi
  read -r X0 Y0 _ < <(where)
  # Down and right in the screen's upper half, up and left in its lower one.
  s=$((Y0 < 400 ? 1 : -1))
  drag $b $((s * 100)) $((s * 150))
  read -r X1 Y1 _ < <(where)
  if [ "$X1,$Y1" = "$((X0 + s * 100)),$((Y0 + s * 150))" ]; then result "$name" pass
  elif [ "$C" = sway ]; then result "$name" xfail "sway starts no move that an X11 client asks for"
  else result "$name" FAIL "from $X0,$Y0 by $((s * 100)),$((s * 150)): at $X1,$Y1 once released"; fi
done
if ((NATIVE)) && [ -n "$POINTER" ]; then
  drag 1 -2000 2000 past
  if at 0 768; then result "dragged past a corner, kept on the output" pass
  else result "dragged past a corner, kept on the output" FAIL "at $(where)"; fi
  drag 1 0 -2000 past
fi

# --- Sharp at scales 2 and 1.5 (native): the output's pixels, the colons apart ---------------
scaled() { # SCALE SIZE DPI FRAME: after the output's scale changes
  local name="size $2 at scale $1" x y w h
  swaymsg output HEADLESS-1 scale "$1"
  sleep 1
  if ! shot "$T/shot.ppm"; then result "$name" FAIL "no clock seen"; return; fi
  read -r x y w h < <(clock_box "$T/shot.ppm")
  if [ "${w}x$h" != "$2" ]; then result "$name" FAIL "${w}x$h"
  elif why=$(colons_apart <(client_pixels "$T/shot.ppm" $((x + $4)) $((y + $4)) $((w - 2 * $4)) $((h - 2 * $4))) $3); then
    result "$name" pass
  else result "$name" FAIL "$why"; fi
}
if ((NATIVE)) && [ "$COMP" = sway ]; then
  scaled 2 660x64 192 6
  if globals | grep -x wp_fractional_scale_manager_v1 >/dev/null; then scaled 1.5 495x48 144 5
  else result "size 495x48 at scale 1.5" skip "$COMP offers no wp_fractional_scale_v1: integer scales only"; fi
  swaymsg output HEADLESS-1 scale 1
elif [ "$COMP" = wayfire ]; then
  result "size 660x64 at scale 2" skip "$NO_IPC"
fi

kill -0 $BRUMO_PID 2>/dev/null || result "still running" FAIL "the clock ended: $(cat "$T/brumo.err")"

# --- Closing ---------------------------------------------------------------------------------
# The same pointer reaches the clock: a click on its close glyph closes it (so a drag that the
# compositor does not start is not a pointer that never arrived).
if [ -n "$POINTER" ] && kill -0 $BRUMO_PID 2>/dev/null; then
  read -r X0 Y0 _ < <(where)
  to $((X0 + 319)) $((Y0 + 10))
  ptr press 1 && ptr release 1
  if ended; then result "a click on the close glyph" pass
  else result "a click on the close glyph" FAIL "still running, or ended with an error"; fi
fi
# Natively the keyboard comes with a click: Alt+F4 then closes it.
if ((NATIVE)) && [ -n "$POINTER" ]; then
  start_brumo
  to 100 10
  ptr press 1 && ptr release 1 && ptr set 640 500
  # Alt and F4: evdev codes for KWin's fake input, X keysyms for a VNC client's.
  read -r alt f4 <<<"$([ "$COMP" = kwin ] && echo 56 62 || echo ffe9 ffc1)"
  ptr key $alt 1 && ptr key $f4 1 && ptr key $f4 0 && ptr key $alt 0
  if ended; then result "Alt+F4 after a click" pass
  else result "Alt+F4 after a click" FAIL "still running, or ended with an error"; fi
fi
exit $FAILED
