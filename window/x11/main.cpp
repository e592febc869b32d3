// brumo: the clock on the X display named by DISPLAY. It takes no arguments.

#include <X11/Xlib.h>

#include <cstdio>
#include <exception>

#include "window/x11/x11_window.h"

namespace {

// The X server went away (it ended, or the connection broke): say so on one line. Xlib ends the
// program with status 1 when this returns.
int OnConnectionLost(Display* /*dpy*/) {
  std::fputs("brumo: lost the connection to the X display\n", stderr);
  return 0;
}

}  // namespace

int main() {
  XSetIOErrorHandler(OnConnectionLost);
  try {
    brumo::x11::X11Window window;
    return window.Run();
  } catch (const brumo::x11::FatalError& e) {
    std::fprintf(stderr, "brumo: %s\n", e.what());
    return e.status();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brumo: %s\n", e.what());
    return brumo::x11::kExitStartFailed;
  }
}
