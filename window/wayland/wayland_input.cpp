// Input: the pointer's presses and the moves they start, and the keyboard once the clock has it.

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>

#include "relative-pointer-unstable-v1-client-protocol.h"
#include "window/wayland/wayland_window.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

namespace brumo::wayland {
namespace {

static_assert(kBtnLeft == BTN_LEFT && kBtnRight == BTN_RIGHT && kBtnMiddle == BTN_MIDDLE);

WaylandWindow* Self(void* data) {
  return static_cast<WaylandWindow*>(data);
}

const wl_pointer_listener kPointerListener{
    .enter = [](void* data, wl_pointer*, std::uint32_t, wl_surface*, wl_fixed_t x,
                wl_fixed_t y) { Self(data)->OnPointerEnter(true, x, y); },
    .leave = [](void* data, wl_pointer*, std::uint32_t,
                wl_surface*) { Self(data)->OnPointerEnter(false, 0, 0); },
    .motion = [](void* data, wl_pointer*, std::uint32_t, wl_fixed_t x,
                 wl_fixed_t y) { Self(data)->OnPointerMotion(x, y); },
    .button =
        [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
           std::uint32_t state) {
          Self(data)->OnPointerButton(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
        },
    .axis = [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {},
    .frame = [](void*, wl_pointer*) {},
    .axis_source = [](void*, wl_pointer*, std::uint32_t) {},
    .axis_stop = [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
    .axis_discrete = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
    .axis_value120 = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
};

const zwp_relative_pointer_v1_listener kRelativeListener{
    .relative_motion = [](void* data, zwp_relative_pointer_v1*, std::uint32_t, std::uint32_t,
                          wl_fixed_t dx, wl_fixed_t dy, wl_fixed_t,
                          wl_fixed_t) { Self(data)->OnRelativeMotion(dx, dy); },
};

const wl_keyboard_listener kKeyboardListener{
    .keymap = [](void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd,
                 std::uint32_t size) { Self(data)->OnKeymap(format, fd, size); },
    .enter = [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
    .leave = [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
    .key =
        [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
           std::uint32_t state) { Self(data)->OnKey(key, state == WL_KEYBOARD_KEY_STATE_PRESSED); },
    .modifiers =
        [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched,
           std::uint32_t locked,
           std::uint32_t group) { Self(data)->OnModifiers(depressed, latched, locked, group); },
    .repeat_info = [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

const wl_callback_listener kMoveAppliedListener{
    .done =
        [](void* data, wl_callback* callback, std::uint32_t) {
          wl_callback_destroy(callback);
          Self(data)->OnMoveApplied();
        },
};

}  // namespace

void WaylandWindow::OnSeatCapabilities(std::uint32_t caps) {
  const bool pointer = caps & WL_SEAT_CAPABILITY_POINTER;
  const bool keyboard = caps & WL_SEAT_CAPABILITY_KEYBOARD;
  if (pointer && pointer_ == nullptr) {
    pointer_ = wl_seat_get_pointer(seat_);
    wl_pointer_add_listener(pointer_, &kPointerListener, this);
    if (relative_manager_ != nullptr) {
      relative_pointer_ =
          zwp_relative_pointer_manager_v1_get_relative_pointer(relative_manager_, pointer_);
      zwp_relative_pointer_v1_add_listener(relative_pointer_, &kRelativeListener, this);
    }
  } else if (!pointer && pointer_ != nullptr) {
    if (relative_pointer_ != nullptr) zwp_relative_pointer_v1_destroy(relative_pointer_);
    relative_pointer_ = nullptr;
    wl_pointer_destroy(pointer_);
    pointer_ = nullptr;
    move_.active = false;
  }
  if (keyboard && keyboard_ == nullptr) {
    keyboard_ = wl_seat_get_keyboard(seat_);
    wl_keyboard_add_listener(keyboard_, &kKeyboardListener, this);
  } else if (!keyboard && keyboard_ != nullptr) {
    wl_keyboard_destroy(keyboard_);
    keyboard_ = nullptr;
  }
}

// --- The pointer -------------------------------------------------------------------------------

// The pointer in the client area's pixels at the layout's resolution.
Point WaylandWindow::ClientPoint() const {
  const double scale = scale120_ / 120.0;
  return {static_cast<int>(std::floor(wl_fixed_to_double(pointer_x_) * scale)) - layout_.frame,
          static_cast<int>(std::floor(wl_fixed_to_double(pointer_y_) * scale)) - layout_.frame};
}

void WaylandWindow::OnPointerEnter(bool inside, wl_fixed_t x, wl_fixed_t y) {
  pointer_inside_ = inside;
  if (inside) OnPointerMotion(x, y);
}

void WaylandWindow::OnPointerMotion(wl_fixed_t x, wl_fixed_t y) {
  pointer_x_ = x;
  pointer_y_ = y;
  // Where the pointer's relative motion is reported, that alone moves the clock.
  if (move_.active && relative_pointer_ == nullptr) StepMove();
}

// The pointer's own travel, whatever the compositor makes of the surface-local coordinates of a
// surface that moves under a held button (sway keeps them relative to where it was at the press).
void WaylandWindow::OnRelativeMotion(wl_fixed_t dx, wl_fixed_t dy) {
  if (!move_.active) return;
  move_.travel_x += wl_fixed_to_double(dx);
  move_.travel_y += wl_fixed_to_double(dy);
  StepMove();
}

void WaylandWindow::OnPointerButton(std::uint32_t button, bool pressed) {
  const Point at = ClientPoint();
  if (move_.active) {
    // The move lasts until its own button comes up; other buttons do nothing meanwhile.
    if (!pressed && button == move_.button) move_.active = false;
    return;
  }
  if (pressed) {
    move_.button = button;
    clock_.Press(at.x, at.y, ButtonFromEvdev(button), modifiers_);
  } else {
    clock_.Release(at.x, at.y, ButtonFromEvdev(button), modifiers_);
  }
}

// A press anywhere but on the close glyph: no compositor moves a layer surface, so the clock
// moves itself, its margins following the pointer (which the press's implicit grab keeps
// reporting to it) until the button comes up.
void WaylandWindow::Sposta() {
  move_.active = true;
  move_.margins_at_press = margins_;
  move_.travel_x = move_.travel_y = 0;
  // Where the pointer is on the output: the surface-local point plus the margins that point was
  // measured against.
  move_.pointer_at_press = {applied_margins_.x + wl_fixed_to_int(pointer_x_),
                            applied_margins_.y + wl_fixed_to_int(pointer_y_)};
}

void WaylandWindow::StepMove() {
  Point travel{static_cast<int>(std::lround(move_.travel_x)),
               static_cast<int>(std::lround(move_.travel_y))};
  if (relative_pointer_ == nullptr) {
    // The surface-local point against the margins it was measured with, on the output.
    travel = {applied_margins_.x + wl_fixed_to_int(pointer_x_) - move_.pointer_at_press.x,
              applied_margins_.y + wl_fixed_to_int(pointer_y_) - move_.pointer_at_press.y};
  }
  Point output{0, 0};
  for (const auto& o : outputs_) {
    if (o->entered || output.x == 0) output = o->Size();
  }
  const Point margins = MoveMargins(move_.margins_at_press, travel, kClientWidth + 2 * kFrameWidth,
                                    kClientHeight + 2 * kFrameWidth, output.x, output.y);
  if (margins != margins_) CommitMargins(margins);
}

// Moves the surface to new margins. The pointer events that the compositor sent before it took
// the commit are still relative to the old position: a sync after the commit says when the
// events that follow are relative to the new one.
void WaylandWindow::CommitMargins(Point margins) {
  // Too many moves unanswered: the next motion catches up.
  if (in_flight_count_ == static_cast<int>(in_flight_.size())) return;
  margins_ = margins;
  zwlr_layer_surface_v1_set_margin(layer_surface_, margins.y, 0, 0, margins.x);
  wl_surface_commit(surface_);
  in_flight_[static_cast<std::size_t>((in_flight_head_ + in_flight_count_) % 16)] = margins;
  ++in_flight_count_;
  wl_callback_add_listener(wl_display_sync(display_), &kMoveAppliedListener, this);
}

void WaylandWindow::OnMoveApplied() {
  if (in_flight_count_ == 0) return;
  applied_margins_ = in_flight_[static_cast<std::size_t>(in_flight_head_)];
  in_flight_head_ = (in_flight_head_ + 1) % 16;
  --in_flight_count_;
}

// --- The keyboard ------------------------------------------------------------------------------

void WaylandWindow::OnKeymap(std::uint32_t format, int fd, std::uint32_t size) {
  have_keymap_ = false;
  if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
    void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map != MAP_FAILED) {
      // Compiled, read into the table, and let go: a compiled keymap holds some 200 kB.
      Owned<xkb_context> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
      Owned<xkb_keymap> keymap(
          xkb_keymap_new_from_string(context.get(), static_cast<const char*>(map),
                                     XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
      munmap(map, size);
      if (keymap) {
        for (std::uint32_t k = 8; k < 256; ++k) {
          const xkb_keysym_t* syms = nullptr;
          const int n = xkb_keymap_key_get_syms_by_level(keymap.get(), k, 0, 0, &syms);
          key_codes_[k] = static_cast<std::uint8_t>(n > 0 ? KeyCodeFromKeysym(syms[0]) : 0);
        }
        auto mask = [&](const char* name) {
          const xkb_mod_index_t i = xkb_keymap_mod_get_index(keymap.get(), name);
          return i == XKB_MOD_INVALID || i >= 32 ? 0u : 1u << i;
        };
        shift_mask_ = mask(XKB_MOD_NAME_SHIFT);
        ctrl_mask_ = mask(XKB_MOD_NAME_CTRL);
        alt_mask_ = mask(XKB_MOD_NAME_ALT);
        have_keymap_ = true;
      }
    }
  }
  close(fd);
}

void WaylandWindow::OnModifiers(std::uint32_t depressed, std::uint32_t latched,
                                std::uint32_t locked, std::uint32_t) {
  const std::uint32_t m = depressed | latched | locked;
  modifiers_ = MaskFromModifiers(m & shift_mask_, m & ctrl_mask_, m & alt_mask_);
}

void WaylandWindow::OnKey(std::uint32_t key, bool pressed) {
  if (!pressed || !have_keymap_) return;
  // evdev codes are xkbcommon's less 8.
  clock_.Key(key + 8 < 256 ? key_codes_[key + 8] : 0, modifiers_);
}

}  // namespace brumo::wayland
