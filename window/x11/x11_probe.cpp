#include "window/x11/x11_probe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <memory>

#include "display/tick_schedule.h"
#include "window/linux/event_loop.h"
#include "window/x11/x11_hints.h"

namespace brumo::x11 {
namespace {

struct DisplayCloser {
  void operator()(Display* dpy) const { XCloseDisplay(dpy); }
};

enum class Listed { kNoList, kWithout, kWith };

// Whether the root's _NET_SUPPORTED is there, and holds `atom`.
Listed SupportedHolds(Display* dpy, ::Window root, ::Atom supported, ::Atom atom) {
  ::Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  Listed listed = Listed::kNoList;
  if (XGetWindowProperty(dpy, root, supported, 0, 4096, False, XA_ATOM, &type, &format, &count,
                         &after, &data) == Success &&
      data != nullptr) {
    if (type == XA_ATOM && format == 32) {
      const auto* atoms = reinterpret_cast<const ::Atom*>(data);
      listed =
          std::find(atoms, atoms + count, atom) != atoms + count ? Listed::kWith : Listed::kWithout;
    }
    XFree(data);
  }
  return listed;
}

}  // namespace

X11Presence ProbeX11(std::int64_t patience) {
  std::unique_ptr<Display, DisplayCloser> dpy(XOpenDisplay(nullptr));
  if (!dpy) return {};
  Display* d = dpy.get();
  const int screen = DefaultScreen(d);
  const ::Window root = RootWindow(d, screen);
  const std::string manager(WindowManagerSelectionName(screen).view());
  const ::Atom supported = XInternAtom(d, "_NET_SUPPORTED", False);
  const ::Atom above = XInternAtom(d, "_NET_WM_STATE_ABOVE", False);
  const ::Atom wm_selection = XInternAtom(d, manager.c_str(), False);
  // Watched before it is read, so that a list written meanwhile is seen.
  XSelectInput(d, root, PropertyChangeMask);
  const std::int64_t deadline = MonotonicNow() + patience;
  for (;;) {
    // A manager that ended may leave its list behind, but never its WM_Sn selection.
    const Listed listed = SupportedHolds(d, root, supported, above);
    if (listed != Listed::kNoList && XGetSelectionOwner(d, wm_selection) != None) {
      return {true, listed == Listed::kWith};
    }
    const std::int64_t now = MonotonicNow();
    if (now >= deadline) return {true, false};
    // Any property of the root changing wakes the look again.
    while (XPending(d) > 0) {
      XEvent ev;
      XNextEvent(d, &ev);
    }
    pollfd pfd{ConnectionNumber(d), POLLIN, 0};
    poll(&pfd, 1, std::min(PollTimeoutMs(now, deadline), 100));
  }
}

}  // namespace brumo::x11
