// Which shell the Linux program runs: the X11 one or the native Wayland one, from what the
// session offers. Nothing here connects to anything; main() finds the facts and asks.
#pragma once

namespace brumo {

enum class ShellKind { kX11, kWayland, kNone };

// What start-up found out about the session.
struct Session {
  bool x_reachable = false;    // an X server accepted the connection (DISPLAY)
  bool x_keeps_above = false;  // and its window manager lists _NET_WM_STATE_ABOVE in _NET_SUPPORTED
  bool layer_shell = false;    // the compositor WAYLAND_DISPLAY names offers zwlr_layer_shell_v1
};

// X11 wherever its window manager keeps windows above (every X11 session; Xwayland under GNOME
// and KDE); the native shell where the compositor offers layer-shell and X11 cannot keep the
// clock above (sway and the other wlroots compositors) or is not there at all; X11 otherwise,
// where the clock raises itself; nothing where neither is there.
constexpr ShellKind ChooseShell(const Session& s) {
  if (s.x_reachable && s.x_keeps_above) return ShellKind::kX11;
  if (s.layer_shell) return ShellKind::kWayland;
  return s.x_reachable ? ShellKind::kX11 : ShellKind::kNone;
}

}  // namespace brumo
