#include "window/x11/x11_loop.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>

// Xlib's interface for extension libraries, for _XSend alone. It defines min and max as macros.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace brumo::x11 {
// --- Writing -------------------------------------------------------------------------------------

void SendRequests(Display* dpy) {
  LockDisplay(dpy);
  _XSend(dpy, nullptr, 0);
  UnlockDisplay(dpy);
}

std::uint64_t ReadCount(Display* dpy) {
  return xcb_total_read(XGetXCBConnection(dpy));
}

}  // namespace brumo::x11
