#include "window/x11/x11_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "display/icon.h"
#include "window/linux/file_pages.h"

namespace brumo::x11 {

// --- Creation ----------------------------------------------------------------------------------

X11Window::X11Window()
    : dpi_(WatchedXftDpi(conn_.dpy(), conn_.root())),
      clock_(*this, dpi_, UserDateSeparator().view()),
      layout_(clock_.Layout()),
      window_(conn_.dpy(), CreateWindow()),
      painter_(conn_, window_.id, clock_) {
  // The launcher's startup notification ID is this launch's alone: taken, and not passed on.
  if (const char* id = std::getenv("DESKTOP_STARTUP_ID"); id != nullptr) {
    startup_id_ = id;
    unsetenv("DESKTOP_STARTUP_ID");
  }
  SetWindowManagerHints();
}

::Window X11Window::CreateWindow() {
  XSetWindowAttributes attrs{};
  // No background: the server never clears what the back buffer is about to cover.
  attrs.background_pixmap = None;
  attrs.border_pixel = 0;
  attrs.colormap = conn_.colormap();
  // Structure: mapped, framed and moved by the manager; properties: the states it sets, and the
  // server's time; visibility: covered by another window; leave: the pointer taken for a move.
  attrs.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                     ButtonMotionMask | LeaveWindowMask | StructureNotifyMask | PropertyChangeMask |
                     VisibilityChangeMask;
  return XCreateWindow(
      conn_.dpy(), conn_.root(), 0, 0, static_cast<unsigned>(layout_.WindowWidth()),
      static_cast<unsigned>(layout_.WindowHeight()), 0, conn_.depth(), InputOutput, conn_.visual(),
      CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attrs);
}

void X11Window::SetWindowManagerHints() {
  Display* dpy = conn_.dpy();
  static constexpr char kName[] = "brumo";
  static constexpr char kClass[] = "Brumo";

  // ICCCM: name, class, size (fixed: minimum = maximum), input, protocols, client machine.
  XTextProperty name{};
  name.value = reinterpret_cast<unsigned char*>(const_cast<char*>(kName));
  name.encoding = XA_STRING;
  name.format = 8;
  name.nitems = sizeof kName - 1;
  XSizeHints size = SizeHints();
  XWMHints wm{};
  wm.flags = InputHint | StateHint;
  wm.input = True;
  wm.initial_state = NormalState;
  XClassHint class_hint{const_cast<char*>(kName), const_cast<char*>(kClass)};
  // Also sets WM_CLIENT_MACHINE, which _NET_WM_PID needs to mean anything.
  XSetWMProperties(dpy, window_.id, &name, &name, nullptr, 0, &size, &wm, &class_hint);
  XChangeProperty(dpy, window_.id, conn_.atom(kNetWmName), conn_.atom(kUtf8String), 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(kName), sizeof kName - 1);
  ::Atom protocols[] = {conn_.atom(kWmDeleteWindow)};
  XSetWMProtocols(dpy, window_.id, protocols, 1);

  // EWMH: process, type, icon, states.
  const long pid = static_cast<long>(getpid());
  XChangeProperty(dpy, window_.id, conn_.atom(kNetWmPid), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  const long type = static_cast<long>(conn_.atom(kNetWmWindowTypeUtility));
  XChangeProperty(dpy, window_.id, conn_.atom(kNetWmWindowType), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&type), 1);
  const long desktop = static_cast<long>(kAllDesktops);
  XChangeProperty(dpy, window_.id, conn_.atom(kNetWmDesktop), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&desktop), 1);
  if (!startup_id_.empty()) {
    XChangeProperty(dpy, window_.id, conn_.atom(kNetStartupId), conn_.atom(kUtf8String), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(startup_id_.data()),
                    static_cast<int>(startup_id_.size()));
  }

  // _NET_WM_ICON: width, height and ARGB pixels of each size, one CARDINAL (a long) each.
  std::vector<long> icon;
  for (const IconArt& art : kIcons) {
    icon.push_back(art.size);
    icon.push_back(art.size);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(art.size * art.size));
    IconPixels(art, pixels);
    icon.insert(icon.end(), pixels.begin(), pixels.end());
  }
  XChangeProperty(dpy, window_.id, conn_.atom(kNetWmIcon), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(icon.data()),
                  static_cast<int>(icon.size()));

  // Motif: no decorations; the window draws its own frame.
  XChangeProperty(dpy, window_.id, conn_.atom(kMotifWmHints), conn_.atom(kMotifWmHints), 32,
                  PropModeReplace,
                  reinterpret_cast<const unsigned char*>(kMotifNoDecorations.data()),
                  static_cast<int>(kMotifNoDecorations.size()));
  SetNetWmState(false);
}

// WM_NORMAL_HINTS: a fixed size (minimum = maximum), and static gravity, so that a position the
// program asks for is its own window's, not the frame's that a manager may put around it.
XSizeHints X11Window::SizeHints() const {
  XSizeHints size{};
  size.flags = PMinSize | PMaxSize | PWinGravity;
  size.min_width = size.max_width = layout_.WindowWidth();
  size.min_height = size.max_height = layout_.WindowHeight();
  size.win_gravity = StaticGravity;
  return size;
}

// Writes _NET_WM_STATE as a property: how a window that is not mapped yet asks for its states.
void X11Window::SetNetWmState(bool above) {
  const NetWmStateList states = NetWmStates(above);
  std::array<long, 4> values{};
  for (std::size_t i = 0; i < static_cast<std::size_t>(states.count); ++i) {
    values[i] = static_cast<long>(conn_.atom(states.atoms[i]));
  }
  XChangeProperty(conn_.dpy(), window_.id, conn_.atom(kNetWmState), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values.data()), states.count);
}

void X11Window::Map() {
  XMapWindow(conn_.dpy(), window_.id);
  mapped_ = true;
  painter_.SetShown(true);
  XFlush(conn_.dpy());
}

// --- Shell -------------------------------------------------------------------------------------

// One copy per display screen: the running copy owns the selection _BRUMO_S<screen>. The server
// makes the look-and-take atomic under a grab, drops the ownership by itself when the owner's
// connection closes, however the program ended, and only clients allowed onto the user's own
// display can hold it; so no lock file can go stale or be squatted by another local user.
bool X11Window::AnotherCopyRunning() {
  Display* dpy = conn_.dpy();
  XGrabServer(dpy);
  if (XGetSelectionOwner(dpy, conn_.InstanceSelection()) == None) {
    XSetSelectionOwner(dpy, conn_.InstanceSelection(), window_.id, CurrentTime);
  }
  XUngrabServer(dpy);
  return XGetSelectionOwner(dpy, conn_.InstanceSelection()) != window_.id;
}

void X11Window::OnTop(NativeHandle /*handle: always this window*/, bool flag) {
  topmost_ = flag;
  if (!mapped_) {
    // Before the first map the property itself is the request (EWMH), so the window is topmost
    // from its first frame.
    SetNetWmState(flag);
    return;
  }
  SendClientMessage(kNetWmState,
                    {flag ? kNetWmStateAdd : kNetWmStateRemove,
                     static_cast<long>(conn_.atom(kNetWmStateAbove)), 0, kSourceApplication, 0});
}

// --- Event loop --------------------------------------------------------------------------------

int X11Window::Run() {
  loop_.ReadNow();
  if (!clock_.Load()) return 0;
  Painter::KeepNoClosedFonts(conn_);
  painter_.Make(dpi_);
  painter_.PaintAll();
  Map();
  // Start-up is over: the files' pages it touched leave the process, and what it freed goes back
  // to the system. From here on the heap neither grows nor shrinks.
  ReleaseFilePages();
  malloc_trim(0);
  loop_.Run(*this);
  return 0;
}

}  // namespace brumo::x11
