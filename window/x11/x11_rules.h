// The X11 shell's pure mappings: X input state to the window's key codes, masks and buttons, the
// window-manager hints it sets, the fonts' pixel sizes, the dialog frame and the drawn close cross.
// Nothing here talks to a display, so all of it is tested without one.
#pragma once

#include <X11/X.h>
#include <X11/keysym.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "display/layout.h"
#include "display/text.h"
#include "display/tick_schedule.h"
#include "window/clock_window.h"
#include "window/linux/drawing.h"

namespace brumo::x11 {

// --- Input -------------------------------------------------------------------------------------

// The window's modifier mask from an X key or button state: Shift, Control and Alt (Mod1) count;
// NumLock (Mod2), CapsLock (Lock) and the other modifiers are no modifiers here.
constexpr int MaskFromState(unsigned int state) {
  return ((state & ShiftMask) ? kShiftMask : 0) | ((state & ControlMask) ? kCtrlMask : 0) |
         ((state & Mod1Mask) ? kAltMask : 0);
}

// The window's key code for an unshifted keysym: the function keys F1 to F24 are 112 to 135, the
// letters and digits their upper-case character code; every other key is 0, which nothing uses.
constexpr int KeyCodeFromKeysym(unsigned long keysym) {
  if (keysym >= XK_F1 && keysym <= XK_F24) return 112 + static_cast<int>(keysym - XK_F1);
  if (keysym >= XK_a && keysym <= XK_z) return 'A' + static_cast<int>(keysym - XK_a);
  if (keysym >= XK_A && keysym <= XK_Z) return 'A' + static_cast<int>(keysym - XK_A);
  if (keysym >= XK_0 && keysym <= XK_9) return '0' + static_cast<int>(keysym - XK_0);
  return 0;
}
static_assert(KeyCodeFromKeysym(XK_F4) == kKeyF4);

// X buttons 4 to 7 are the scroll wheel's steps, not presses; every other button is one.
constexpr std::optional<MouseButton> ButtonFromX(unsigned int button) {
  switch (button) {
    case Button1:
      return MouseButton::kLeft;
    case Button2:
      return MouseButton::kMiddle;
    case Button3:
      return MouseButton::kRight;
    case 4:
    case 5:
    case 6:
    case 7:
      return std::nullopt;
    default:
      return MouseButton::kOther;
  }
}

// The state mask bit of a held button, for the five buttons the core protocol reports; 0 for
// the others.
constexpr unsigned int ButtonMaskOf(unsigned int button) {
  return button >= Button1 && button <= Button5 ? Button1Mask << (button - Button1) : 0;
}

// --- Moves handed to the window manager --------------------------------------------------------

// How long a window manager has to take the pointer for a move it was asked for
// (_NET_WM_MOVERESIZE) before the clock, its button still down, moves itself. A manager may not
// start the move for every button: Mutter as a Wayland compositor starts it for the left one
// alone, and leaves the pointer with the window for the others.
inline constexpr std::int64_t kHandOffGraceNs = 200'000'000;

// What the clock knows of a move handed to the window manager, from an event or a look at the
// pointer, with nothing asked of the server for it.
struct HandOffView {
  bool button_down;     // the move's button is still held
  bool window_moved;    // the window is no longer where the press found it
  bool pointer_taken;   // the clock lost the pointer without it leaving the window
  std::int64_t waited;  // nanoseconds since the move was handed over
};

enum class HandOffStep {
  kWait,          // the manager may still take the pointer
  kManagerMoves,  // it did: the clock only watches for the button to come up
  kMoveSelf,      // it did not: the clock grabs the pointer and moves itself
  kOver,          // the button is up
};

constexpr HandOffStep NextHandOffStep(const HandOffView& v) {
  if (!v.button_down) return HandOffStep::kOver;
  if (v.window_moved || v.pointer_taken) return HandOffStep::kManagerMoves;
  return v.waited >= kHandOffGraceNs ? HandOffStep::kMoveSelf : HandOffStep::kWait;
}

// Whether a LeaveNotify at x, y (relative to a window of width x height) in `mode` says that
// the pointer was taken from the window rather than moved out of it: an X window manager's grab
// (NotifyGrab), or a Wayland compositor taking the pointer from Xwayland, which the clock sees
// as a plain leave with the pointer still inside.
constexpr bool PointerTakenByLeave(int mode, int x, int y, int width, int height) {
  return mode == NotifyGrab || (x >= 0 && y >= 0 && x < width && y < height);
}

// --- Window-manager hints ----------------------------------------------------------------------

// The atoms the shell uses, interned in one round trip; kAtomNames gives their names in this order.
enum AtomId : int {
  kWmProtocols,
  kWmDeleteWindow,
  kNetSupported,
  kNetWmName,
  kUtf8String,
  kNetWmPid,
  kNetWmIcon,
  kNetWmWindowType,
  kNetWmWindowTypeUtility,
  kNetWmState,
  kNetWmStateAbove,
  kNetWmStateSkipTaskbar,
  kNetWmStateSkipPager,
  kNetWmStateSticky,
  kNetWmMoveResize,
  kNetWmDesktop,
  kNetActiveWindow,
  kNetStartupId,
  kNetStartupInfoBegin,
  kNetStartupInfo,
  kMotifWmHints,
  kAtomCount
};

inline constexpr std::array<const char*, kAtomCount> kAtomNames{
    "WM_PROTOCOLS",
    "WM_DELETE_WINDOW",
    "_NET_SUPPORTED",
    "_NET_WM_NAME",
    "UTF8_STRING",
    "_NET_WM_PID",
    "_NET_WM_ICON",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_UTILITY",
    "_NET_WM_STATE",
    "_NET_WM_STATE_ABOVE",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_STATE_SKIP_PAGER",
    "_NET_WM_STATE_STICKY",
    "_NET_WM_MOVERESIZE",
    "_NET_WM_DESKTOP",
    "_NET_ACTIVE_WINDOW",
    "_NET_STARTUP_ID",
    "_NET_STARTUP_INFO_BEGIN",
    "_NET_STARTUP_INFO",
    "_MOTIF_WM_HINTS",
};

// The states the window carries in _NET_WM_STATE: on every desktop (sticky), never in the task
// bar or the pager, and above the other windows when topmost. `count` of `atoms` are used.
struct NetWmStateList {
  std::array<AtomId, 4> atoms;
  int count;
};
constexpr NetWmStateList NetWmStates(bool above) {
  if (above) {
    return {{kNetWmStateSticky, kNetWmStateSkipTaskbar, kNetWmStateSkipPager, kNetWmStateAbove}, 4};
  }
  return {{kNetWmStateSticky, kNetWmStateSkipTaskbar, kNetWmStateSkipPager, kNetWmStateSkipPager},
          3};
}

// _NET_WM_DESKTOP of a window shown on every desktop (EWMH).
inline constexpr unsigned long kAllDesktops = 0xFFFFFFFF;

// _NET_WM_STATE client message actions and the source indication of an application (EWMH).
inline constexpr long kNetWmStateRemove = 0;
inline constexpr long kNetWmStateAdd = 1;
inline constexpr long kSourceApplication = 1;

// _NET_WM_MOVERESIZE directions (EWMH): MOVE, the window follows the pointer; CANCEL, the move
// asked for is off, sent when the button came up before the window manager took the pointer.
inline constexpr long kMoveResizeMove = 8;
inline constexpr long kMoveResizeCancel = 11;

// _MOTIF_WM_HINTS: flags, functions, decorations, input mode, status. Only the decorations field
// is given (MWM_HINTS_DECORATIONS = 2), and it asks for none; the window manager's move stays
// allowed, which is what an interactive move needs.
inline constexpr std::array<long, 5> kMotifNoDecorations{2, 0, 0, 0, 0};

// Startup notification: the message that ends the launch feedback of `startup_id` (the launcher's
// DESKTOP_STARTUP_ID), "remove: ID=<id>" with the ID quoted as the protocol asks; empty where the
// ID is no usable one (empty, too long, or with control characters), so that nothing is sent.
Text<512> StartupRemoveMessage(std::string_view startup_id);

// The bytes of a startup-notification message sent in each client message (format 8).
inline constexpr std::size_t kStartupChunk = 20;

// The selection whose owner is the running copy on screen `screen` of a display, like the
// window managers' WM_Sn: "_BRUMO_S0" for screen 0.
Text<24> InstanceSelectionName(int screen);

// The selection a window manager holds while it manages screen `screen` (ICCCM): "WM_S0".
Text<24> WindowManagerSelectionName(int screen);

// The dots per inch given by an Xft.dpi resource value, rounded to a whole number; the design's
// 96 when the value is missing, not a number or not positive.
int DpiFromResource(const char* value);

}  // namespace brumo::x11
