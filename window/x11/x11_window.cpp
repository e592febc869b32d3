#include "window/x11/x11_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <malloc.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "display/icon.h"

namespace brumo::x11 {
namespace {

bool SameReading(const ClockReading& a, const ClockReading& b) {
  return a.second == b.second && a.minute == b.minute && a.hour == b.hour && a.day == b.day &&
         a.month == b.month && a.year == b.year;
}

Display* OpenDisplay() {
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    const char* name = XDisplayName(nullptr);
    throw FatalError(name != nullptr && *name != '\0'
                         ? std::string("cannot open display \"") + name + "\""
                         : std::string("cannot open display: DISPLAY is not set"),
                     kExitNoDisplay);
  }
  return dpy;
}

}  // namespace

// --- Creation ----------------------------------------------------------------------------------

X11Window::X11Window()
    : dpy_(OpenDisplay()),
      screen_(DefaultScreen(dpy_.get())),
      root_(RootWindow(dpy_.get(), screen_)),
      visual_(DefaultVisual(dpy_.get(), screen_)),
      colormap_(DefaultColormap(dpy_.get(), screen_)),
      depth_(DefaultDepth(dpy_.get(), screen_)),
      dpi_(WatchedXftDpi(dpy_.get(), root_)),
      clock_(*this, dpi_, UserDateSeparator().view()),
      layout_(clock_.Layout()),
      width_(layout_.client_width + 2 * layout_.frame),
      height_(layout_.client_height + 2 * layout_.frame) {
  // Every atom in one round trip: the fixed ones, then this screen's two selections.
  const std::string instance(InstanceSelectionName(screen_).view());
  const std::string manager(WindowManagerSelectionName(screen_).view());
  std::array<char*, kAtomCount + 2> names{};
  // XInternAtoms takes char** but only reads the names.
  std::transform(kAtomNames.begin(), kAtomNames.end(), names.begin(),
                 [](const char* name) { return const_cast<char*>(name); });
  names[kAtomCount] = const_cast<char*>(instance.c_str());
  names[kAtomCount + 1] = const_cast<char*>(manager.c_str());
  std::array<::Atom, kAtomCount + 2> atoms{};
  XInternAtoms(dpy_.get(), names.data(), static_cast<int>(names.size()), False, atoms.data());
  std::copy_n(atoms.begin(), kAtomCount, atoms_.begin());
  instance_selection_ = atoms[kAtomCount];
  wm_selection_ = atoms[kAtomCount + 1];
  // The launcher's startup notification ID is this launch's alone: taken, and not passed on.
  if (const char* id = std::getenv("DESKTOP_STARTUP_ID"); id != nullptr) {
    startup_id_ = id;
    unsetenv("DESKTOP_STARTUP_ID");
  }
  CreateWindow();
  SetWindowManagerHints();
}

X11Window::~X11Window() {
  Display* dpy = dpy_.get();
  if (dpy == nullptr) return;
  if (colours_allocated_) {
    for (XftColor& c : colours_) XftColorFree(dpy, visual_, colormap_, &c);
  }
  // The fonts and the draw go before the display closes; the server frees the rest with the
  // connection.
  draw_.reset();
  glyph_font_.reset();
  digits_font_.reset();
  phrase_font_.reset();
  if (gc_ != nullptr) XFreeGC(dpy, gc_);
  if (back_ != 0) XFreePixmap(dpy, back_);
  if (cells_pixmap_ != 0) XFreePixmap(dpy, cells_pixmap_);
  if (window_ != 0) XDestroyWindow(dpy, window_);
}

void X11Window::CreateWindow() {
  XSetWindowAttributes attrs{};
  // No background: the server never clears what the back buffer is about to cover.
  attrs.background_pixmap = None;
  attrs.border_pixel = 0;
  attrs.colormap = colormap_;
  // Structure: mapped, framed and moved by the manager; properties: the states it sets, and the
  // server's time; visibility: covered by another window; leave: the pointer taken for a move.
  attrs.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                     ButtonMotionMask | LeaveWindowMask | StructureNotifyMask | PropertyChangeMask |
                     VisibilityChangeMask;
  window_ = XCreateWindow(dpy_.get(), root_, 0, 0, static_cast<unsigned>(width_),
                          static_cast<unsigned>(height_), 0, depth_, InputOutput, visual_,
                          CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attrs);
}

void X11Window::SetWindowManagerHints() {
  Display* dpy = dpy_.get();
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
  XSetWMProperties(dpy, window_, &name, &name, nullptr, 0, &size, &wm, &class_hint);
  XChangeProperty(dpy, window_, atoms_[kNetWmName], atoms_[kUtf8String], 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(kName), sizeof kName - 1);
  ::Atom protocols[] = {atoms_[kWmDeleteWindow]};
  XSetWMProtocols(dpy, window_, protocols, 1);

  // EWMH: process, type, icon, states.
  const long pid = static_cast<long>(getpid());
  XChangeProperty(dpy, window_, atoms_[kNetWmPid], XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  const long type = static_cast<long>(atoms_[kNetWmWindowTypeUtility]);
  XChangeProperty(dpy, window_, atoms_[kNetWmWindowType], XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&type), 1);
  const long desktop = static_cast<long>(kAllDesktops);
  XChangeProperty(dpy, window_, atoms_[kNetWmDesktop], XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&desktop), 1);
  if (!startup_id_.empty()) {
    XChangeProperty(dpy, window_, atoms_[kNetStartupId], atoms_[kUtf8String], 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(startup_id_.data()),
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
  XChangeProperty(dpy, window_, atoms_[kNetWmIcon], XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(icon.data()),
                  static_cast<int>(icon.size()));

  // Motif: no decorations; the window draws its own frame.
  XChangeProperty(dpy, window_, atoms_[kMotifWmHints], atoms_[kMotifWmHints], 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(kMotifNoDecorations.data()),
                  static_cast<int>(kMotifNoDecorations.size()));
  SetNetWmState(false);
}

// WM_NORMAL_HINTS: a fixed size (minimum = maximum), and static gravity, so that a position the
// program asks for is its own window's, not the frame's that a manager may put around it.
XSizeHints X11Window::SizeHints() const {
  XSizeHints size{};
  size.flags = PMinSize | PMaxSize | PWinGravity;
  size.min_width = size.max_width = width_;
  size.min_height = size.max_height = height_;
  size.win_gravity = StaticGravity;
  return size;
}

// Writes _NET_WM_STATE as a property: how a window that is not mapped yet asks for its states.
void X11Window::SetNetWmState(bool above) {
  const NetWmStateList states = NetWmStates(above);
  std::array<long, 4> values{};
  for (std::size_t i = 0; i < static_cast<std::size_t>(states.count); ++i) {
    values[i] = static_cast<long>(atoms_[states.atoms[i]]);
  }
  XChangeProperty(dpy_.get(), window_, atoms_[kNetWmState], XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values.data()), states.count);
}

void X11Window::Map() {
  XMapWindow(dpy_.get(), window_);
  mapped_ = true;
  XFlush(dpy_.get());
}

// --- Shell -------------------------------------------------------------------------------------

// One copy per display screen: the running copy owns the selection _BRUMO_S<screen>. The server
// makes the look-and-take atomic under a grab, drops the ownership by itself when the owner's
// connection closes, however the program ended, and only clients allowed onto the user's own
// display can hold it; so no lock file can go stale or be squatted by another local user.
bool X11Window::AnotherCopyRunning() {
  Display* dpy = dpy_.get();
  XGrabServer(dpy);
  if (XGetSelectionOwner(dpy, instance_selection_) == None) {
    XSetSelectionOwner(dpy, instance_selection_, window_, CurrentTime);
  }
  XUngrabServer(dpy);
  return XGetSelectionOwner(dpy, instance_selection_) != window_;
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
                     static_cast<long>(atoms_[kNetWmStateAbove]), 0, kSourceApplication, 0});
}

// --- Event loop --------------------------------------------------------------------------------

// What each descriptor in the loop's epoll set is.
enum WaitTag : std::uint32_t { kWaitDisplay, kWaitSignals, kWaitZoneFile, kWaitMounts };

int X11Window::Run() {
  reading_ = local_clock_.Now();
  if (!clock_.Load()) return 0;
  KeepNoClosedFonts();
  MakeDrawing();
  PaintAll();
  Map();
  // Start-up is over: the files' pages it touched leave the process, and what it freed goes back
  // to the system. From here on the heap neither grows nor shrinks.
  ReleaseFilePages();
  malloc_trim(0);

  Display* dpy = dpy_.get();
  wait_.Add(ConnectionNumber(dpy), EPOLLIN, kWaitDisplay);
  wait_.Add(signals_.fd(), EPOLLIN, kWaitSignals);
  if (zone_.Active()) {
    wait_.Add(zone_.NotifyFd(), EPOLLIN, kWaitZoneFile);
    wait_.Add(zone_.MountsFd(), EPOLLPRI, kWaitMounts);
    local_clock_.SetZoneWatched(true);
  }
  read_seen_ = ReadCount(dpy);
  // The first tick at once; each one then sets the next on the wall clock's tenths of a second.
  std::int64_t due = 0;
  // Whether the tick is known to be due: at the start, and after a wait that ran out, which
  // never ends before its time; so such a wake reads no clock before the tick's own reading.
  bool tick_due = true;
  // Whether Xlib has run since the loop last looked at what it took in: only then can events be
  // waiting in its queue, or in xcb's, where the socket will not announce them again. A wake
  // that only ticks touches neither.
  bool xlib_ran = true;
  while (running_) {
    if (xlib_ran) {
      xlib_ran = false;
      // xcb takes in what the server sent while it writes, and Xlib while it waits for a reply.
      if (ReadCount(dpy) != read_seen_) ReadEvents();
      if (QLength(dpy) > 0) {
        DispatchQueued();
        xlib_ran = true;
      }
    }
    std::int64_t now = 0;
    if (!tick_due) {
      now = MonotonicNow();
      tick_due = now >= due;
    }
    if (running_ && tick_due) {
      tick_due = false;
      // The tick's one reading. Nine ticks in ten read the second that the last one did, in
      // which every text is what the labels show: those go back to sleep at once.
      const ClockReading reading = local_clock_.Now();
      if (!SameReading(reading, reading_)) {
        reading_ = reading;
        clock_.Tick();
      }
      if (handed_move_.pending) WatchHandedMove();
      // Timed from after the reading, so never early for the tenth it aims at.
      now = MonotonicNow();
      due = now + TickDelay(local_clock_.Subsecond());
    }
    if (flush_ && running_) {
      SendRequests(dpy);
      flush_ = false;
      xlib_ran = true;
    }
    if (!running_) break;
    if (xlib_ran) continue;
    bool zone = false;
    const std::span<const epoll_event> ready = wait_.Wait(due - now);
    tick_due = ready.empty();
    for (const epoll_event& ev : ready) {
      switch (ev.data.u32) {
        case kWaitDisplay:
          // Reads what arrived, or meets the closed connection, which ends the program.
          ReadEvents();
          xlib_ran = true;
          break;
        case kWaitSignals:
          if (signals_.Drain()) Close();
          break;
        case kWaitZoneFile:
          zone = zone_.TakeNotices() || zone;
          break;
        case kWaitMounts:
          zone = true;
          break;
        default:
          break;
      }
    }
    if (zone) {
      zone_.Rewatch();
      local_clock_.ZoneMayHaveChanged();
    }
  }
  return 0;
}

void X11Window::ReadEvents() {
  XEventsQueued(dpy_.get(), QueuedAfterReading);
  read_seen_ = ReadCount(dpy_.get());
}

}  // namespace brumo::x11
