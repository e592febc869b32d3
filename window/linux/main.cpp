// brumo: the clock on the user's desktop. It takes no arguments. It runs as an X11 client
// wherever the X server's window manager keeps it above the other windows, and as a native
// Wayland client where the compositor offers layer surfaces and X11 cannot keep it above or is
// not there at all (see window/linux/shell_choice.h).

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "window/linux/shell_choice.h"
#include "window/x11/x11_probe.h"
#include "window/x11/x11_window.h"
#ifdef BRUMO_WAYLAND_SHELL
#include "window/wayland/wayland_window.h"
#endif

namespace {

// How long a Wayland session's X window manager may take to say what it supports, once its
// Xwayland has let the clock connect.
constexpr std::int64_t kManagerPatience = 3'000'000'000;

// The X server went away (it ended, or the connection broke): say so on one line. Xlib ends the
// program with status 1 when this returns.
int OnConnectionLost(Display* /*dpy*/) {
  std::fputs("brumo: lost the connection to the X display\n", stderr);
  return 0;
}

// The shell for this session. X11 unless WAYLAND_DISPLAY names a compositor: then X11 is asked
// first whether it is there and keeps windows above (GNOME's and KDE's Xwayland do), and only
// where it does not is the compositor asked for layer surfaces.
brumo::ShellKind ChosenShell() {
#ifdef BRUMO_WAYLAND_SHELL
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (wayland == nullptr || *wayland == '\0') return brumo::ShellKind::kX11;
  brumo::Session session;
  const char* display = std::getenv("DISPLAY");
  if (display != nullptr && *display != '\0') {
    const brumo::x11::X11Presence x = brumo::x11::ProbeX11(kManagerPatience);
    session.x_reachable = x.reachable;
    session.x_keeps_above = x.keeps_above;
    if (x.keeps_above) return brumo::ShellKind::kX11;
  }
  session.layer_shell = brumo::wayland::CompositorOffersLayerShell();
  return brumo::ChooseShell(session);
#else
  return brumo::ShellKind::kX11;
#endif
}

}  // namespace

int main() {
  XSetIOErrorHandler(OnConnectionLost);
  try {
#ifdef BRUMO_WAYLAND_SHELL
    if (ChosenShell() == brumo::ShellKind::kWayland) {
      brumo::wayland::WaylandWindow window;
      return window.Run();
    }
#endif
    // X11, which says why where there is no display.
    brumo::x11::X11Window window;
    return window.Run();
  } catch (const brumo::FatalError& e) {
    std::fprintf(stderr, "brumo: %s\n", e.what());
    return e.status();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brumo: %s\n", e.what());
    return brumo::kExitStartFailed;
  }
}
