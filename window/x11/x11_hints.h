// What the X11 shell tells the window manager and the other clients, free of any display: the
// atoms it uses, its window's states and hints, the startup-notification message, the
// selections it owns or looks at, and the desktop's scale as the resources give it.
#pragma once

#include <X11/X.h>

#include <array>
#include <cstddef>
#include <string_view>

#include "display/text.h"

namespace brumo::x11 {

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
