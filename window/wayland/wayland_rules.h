// The native Wayland shell's pure mappings: input codes to the window's own, where a move puts
// the surface, and the lock file that keeps one copy per Wayland display. Nothing here talks to
// a compositor, so all of it is tested without one.
#pragma once

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "window/clock_window.h"

namespace brumo::wayland {

// The pointer buttons' evdev codes (linux/input-event-codes.h).
inline constexpr unsigned int kBtnLeft = 0x110;
inline constexpr unsigned int kBtnRight = 0x111;
inline constexpr unsigned int kBtnMiddle = 0x112;

constexpr MouseButton ButtonFromEvdev(unsigned int code) {
  switch (code) {
    case kBtnLeft:
      return MouseButton::kLeft;
    case kBtnMiddle:
      return MouseButton::kMiddle;
    case kBtnRight:
      return MouseButton::kRight;
    default:
      return MouseButton::kOther;
  }
}

// The window's key code for a keysym of the key's first level: the function keys F1 to F24 are
// 112 to 135, the letters and digits their upper-case character code; every other key is 0.
constexpr int KeyCodeFromKeysym(unsigned int keysym) {
  if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F24)
    return 112 + static_cast<int>(keysym - XKB_KEY_F1);
  if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z) return 'A' + static_cast<int>(keysym - XKB_KEY_a);
  if (keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) return 'A' + static_cast<int>(keysym - XKB_KEY_A);
  if (keysym >= XKB_KEY_0 && keysym <= XKB_KEY_9) return '0' + static_cast<int>(keysym - XKB_KEY_0);
  return 0;
}
static_assert(KeyCodeFromKeysym(XKB_KEY_F4) == kKeyF4);

// The window's modifier mask from which of xkbcommon's modifiers are active: Shift, Control and
// Alt count; the lock keys and every other modifier are no modifiers here.
constexpr int MaskFromModifiers(bool shift, bool ctrl, bool alt) {
  return (shift ? kShiftMask : 0) | (ctrl ? kCtrlMask : 0) | (alt ? kAltMask : 0);
}

struct Point {
  int x = 0, y = 0;
  friend constexpr bool operator==(Point, Point) = default;
};

// The margins (left, top) of a surface `width` x `height` moved by the pointer: from where they
// were at the press, by the pointer's travel since, kept on an output of `output_width` x
// `output_height` (all in logical pixels). An output smaller than the surface keeps it at 0.
constexpr Point MoveMargins(Point at_press, Point travel, int width, int height, int output_width,
                            int output_height) {
  return {std::clamp(at_press.x + travel.x, 0, std::max(0, output_width - width)),
          std::clamp(at_press.y + travel.y, 0, std::max(0, output_height - height))};
}

// The lock file that the running copy on the Wayland display `display` (WAYLAND_DISPLAY: a
// socket name in `runtime_dir`, or a path) holds: "brumo-wayland-0.lock" in the runtime
// directory, the same for the display's name and its full path; other bytes than letters,
// digits, '-', '_' and '.' of a path outside the runtime directory become '_'. Empty when there
// is no runtime directory or no display to name.
std::string LockFilePath(std::string_view runtime_dir, std::string_view display);

}  // namespace brumo::wayland
