// Whether the X display named by DISPLAY is there, and whether its window manager keeps windows
// above: what the choice of shell asks of X11 in a Wayland session.
#pragma once

#include <cstdint>

namespace brumo::x11 {

struct X11Presence {
  bool reachable = false;
  bool keeps_above = false;
};

// Connects to DISPLAY and looks at its window manager's _NET_SUPPORTED. A manager that has not
// yet said what it supports (Xwayland started for this very connection, its manager still
// starting) is waited for, up to `patience` nanoseconds; none by then is none.
X11Presence ProbeX11(std::int64_t patience);

}  // namespace brumo::x11
