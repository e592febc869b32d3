// What the X11 shell makes of X input, free of any display: key states to the window's key
// codes, masks and buttons, and the steps of a move handed to the window manager.
#pragma once

#include <X11/X.h>
#include <X11/keysym.h>

#include <cstdint>
#include <optional>

#include "window/clock_window.h"

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

}  // namespace brumo::x11
