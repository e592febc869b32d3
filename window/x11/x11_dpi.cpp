// The desktop's scale: Xft.dpi in the resource database the root window holds. The clock reads
// it at start-up and again whenever the database changes (xrdb, a settings daemon), and lays
// itself out again when the resolution changed; nothing is asked of the server otherwise.

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>

#include "window/x11/x11_window.h"

namespace brumo::x11 {
namespace {

// Far more than any resource database holds, in the 32-bit units XGetWindowProperty counts.
constexpr long kResourceWords = 1L << 20;

// The dots per inch of an Xft.dpi line in a resource database's text; 96 where it has none.
int DpiOfResources(const char* resources) {
  XrmInitialize();
  XrmDatabase db = XrmGetStringDatabase(resources);
  if (db == nullptr) return kDesignDpi;
  char* type = nullptr;
  XrmValue value{};
  int dpi = kDesignDpi;
  if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
    dpi = DpiFromResource(value.addr);
  }
  XrmDestroyDatabase(db);
  return dpi;
}

// Xft.dpi as the root window's RESOURCE_MANAGER property says it now. (Xlib's own copy of the
// database is the one the connection opened with, and never changes.)
int ReadXftDpi(Display* dpy, ::Window root) {
  ::Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  int dpi = kDesignDpi;
  if (XGetWindowProperty(dpy, root, XA_RESOURCE_MANAGER, 0, kResourceWords, False, XA_STRING, &type,
                         &format, &count, &after, &data) == Success &&
      data != nullptr) {
    // Xlib ends the data it returns with a NUL.
    if (type == XA_STRING && format == 8) dpi = DpiOfResources(reinterpret_cast<char*>(data));
    XFree(data);
  }
  return dpi;
}

}  // namespace

int X11Window::WatchedXftDpi(Display* dpy, ::Window root) {
  // Watched before it is read, so that no change made after the read goes unseen. This is all
  // the clock selects on the root: whatever else is ever selected there must keep this mask.
  XSelectInput(dpy, root, PropertyChangeMask);
  return ReadXftDpi(dpy, root);
}

void X11Window::OnRootPropertyChange(const XPropertyEvent& ev) {
  // Every property of the root reports here; only the resource database is read, on its change.
  if (ev.window != conn_.root() || ev.atom != XA_RESOURCE_MANAGER) return;
  FollowDpi(ReadXftDpi(conn_.dpy(), conn_.root()));
}

// Lays the clock out at `dpi`: the core scales the layout, the fonts are fitted again and the
// window takes its new size where its top-left corner is, painted once.
void X11Window::FollowDpi(int dpi) {
  if (dpi == dpi_) return;
  Display* dpy = conn_.dpy();
  dpi_ = dpi;
  clock_.SetDpi(dpi);
  painter_.Make(dpi);

  // The fixed size is told before it is asked for: a manager holds a window to its hints.
  XSizeHints size = SizeHints();
  XSetWMNormalHints(dpy, window_.id, &size);
  // A size alone: the window keeps its top-left corner where it is.
  XResizeWindow(dpy, window_.id, static_cast<unsigned>(layout_.WindowWidth()),
                static_cast<unsigned>(layout_.WindowHeight()));
  // The whole buffer, copied now and again for what the resize exposes.
  painter_.PaintAll();
  conn_.WillSend();
}

}  // namespace brumo::x11
