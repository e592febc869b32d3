#include "window/x11/x11_connection.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <string>

#include "window/linux/event_loop.h"
// Xlib's interface for extension libraries, for _XSend alone. It defines min and max as macros.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace brumo::x11 {
namespace {

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

void SendRequests(Display* dpy) {
  LockDisplay(dpy);
  _XSend(dpy, nullptr, 0);
  UnlockDisplay(dpy);
}

std::uint64_t ReadCount(Display* dpy) {
  return xcb_total_read(XGetXCBConnection(dpy));
}

Connection::Connection()
    : dpy_(OpenDisplay()),
      screen_(DefaultScreen(dpy_.get())),
      root_(RootWindow(dpy_.get(), screen_)),
      visual_(DefaultVisual(dpy_.get(), screen_)),
      colormap_(DefaultColormap(dpy_.get(), screen_)),
      depth_(DefaultDepth(dpy_.get(), screen_)) {
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
}

bool Connection::TakeIn() {
  if (!xlib_ran_) return false;
  xlib_ran_ = false;
  Display* dpy = dpy_.get();
  // xcb takes in what the server sent while it writes, and Xlib while it waits for a reply.
  if (ReadCount(dpy) != read_seen_) TakeInAll();
  if (QLength(dpy) == 0) return false;
  // Handling the events may make Xlib run again.
  xlib_ran_ = true;
  return true;
}

bool Connection::Next(XEvent& ev) {
  if (QLength(dpy_.get()) == 0) return false;
  XNextEvent(dpy_.get(), &ev);
  return true;
}

bool Connection::Send() {
  if (flush_) {
    SendRequests(dpy_.get());
    flush_ = false;
    xlib_ran_ = true;
  }
  return !xlib_ran_;
}

void Connection::Read() {
  TakeInAll();
  xlib_ran_ = true;
}

void Connection::TakeInAll() {
  XEventsQueued(dpy_.get(), QueuedAfterReading);
  read_seen_ = ReadCount(dpy_.get());
}

}  // namespace brumo::x11
