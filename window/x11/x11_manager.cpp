// The window manager and what it does with the window: the states it is asked for, the launch
// feedback it ends, the focus it gives, and the raising the clock does itself where the manager
// does not keep it above.

#include <X11/Xatom.h>

#include <algorithm>

#include "window/x11/x11_window.h"

namespace brumo::x11 {

void X11Window::SendClientMessage(AtomId type, std::array<long, 5> data) {
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = window_.id;
  ev.xclient.message_type = conn_.atom(type);
  ev.xclient.format = 32;
  std::copy(data.begin(), data.end(), ev.xclient.data.l);
  XSendEvent(conn_.dpy(), conn_.root(), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &ev);
  conn_.WillSend();
}

namespace {

// Whether the ATOM list `property` of `window` holds `atom`: one round trip.
bool ListHolds(Display* dpy, ::Window window, ::Atom property, ::Atom atom) {
  ::Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(dpy, window, property, 0, 4096, False, XA_ATOM, &type, &format, &count,
                         &after, &data) == Success &&
      data != nullptr) {
    if (type == XA_ATOM && format == 32) {
      const auto* atoms = reinterpret_cast<const ::Atom*>(data);
      found = std::find(atoms, atoms + count, atom) != atoms + count;
    }
    XFree(data);
  }
  return found;
}

}  // namespace

bool X11Window::ManagerSupports(AtomId atom) {
  return ListHolds(conn_.dpy(), conn_.root(), conn_.atom(kNetSupported), conn_.atom(atom));
}

bool X11Window::HasNetWmState(AtomId state) {
  return ListHolds(conn_.dpy(), window_.id, conn_.atom(kNetWmState), conn_.atom(state));
}

void X11Window::OnMapped() {
  if (shown_once_) return;
  shown_once_ = true;
  EndStartupFeedback();
  // Shown by the user's own launch: the window to type to, as a newly started program's is, so
  // that Alt+F4 closes the clock and not the window the user was in.
  SendClientMessage(kNetActiveWindow,
                    {kSourceApplication, static_cast<long>(server_time_), 0, 0, 0});
  KeepAboveCheck();
}

// A new frame around the window after the first: another manager has taken over, and is told
// again what the window asks for, which it may not have read from the properties the last one
// left.
void X11Window::OnReparented(::Window parent) {
  const bool new_manager = shown_once_ && parent != conn_.root() && parent != parent_;
  parent_ = parent;
  if (!new_manager) return;
  SendClientMessage(kNetWmDesktop, {static_cast<long>(kAllDesktops), kSourceApplication, 0, 0, 0});
  SendClientMessage(kNetWmState, {kNetWmStateAdd, static_cast<long>(conn_.atom(kNetWmStateSticky)),
                                  topmost_ ? static_cast<long>(conn_.atom(kNetWmStateAbove)) : 0,
                                  kSourceApplication, 0});
  KeepAboveCheck();
}

void X11Window::OnPropertyChange(const XPropertyEvent& ev) {
  server_time_ = ev.time;
  if (ev.window == conn_.root()) {
    OnRootPropertyChange(ev);
    return;
  }
  // The manager wrote the window's states: it may have dropped the one that keeps it above.
  if (ev.window == window_.id && ev.atom == conn_.atom(kNetWmState) && shown_once_)
    KeepAboveCheck();
}

// Where no manager keeps the window above (none lists the state, or it dropped it from the
// window's states), the window raises itself whenever another one covers it; where one does, the
// clock leaves the stacking to it.
void X11Window::KeepAboveCheck() {
  const bool kept = XGetSelectionOwner(conn_.dpy(), conn_.ManagerSelection()) != None &&
                    ManagerSupports(kNetWmStateAbove) && HasNetWmState(kNetWmStateAbove);
  const bool raise = topmost_ && !kept;
  if (raise && !raise_self_) {
    XRaiseWindow(conn_.dpy(), window_.id);
    conn_.WillSend();
  }
  raise_self_ = raise;
}

// Startup notification: the launcher shows its feedback until the program it started says it is
// up, in a "remove" message broadcast in pieces on the root window.
void X11Window::EndStartupFeedback() {
  if (startup_id_.empty()) return;
  const Text<512> message = StartupRemoveMessage(startup_id_);
  startup_id_.clear();
  const std::string_view text = message.view();
  for (std::size_t at = 0; at < text.size(); at += kStartupChunk) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window_.id;
    ev.xclient.message_type = conn_.atom(at == 0 ? kNetStartupInfoBegin : kNetStartupInfo);
    ev.xclient.format = 8;
    const std::string_view piece = text.substr(at, kStartupChunk);
    std::copy(piece.begin(), piece.end(), ev.xclient.data.b);
    XSendEvent(conn_.dpy(), conn_.root(), False, PropertyChangeMask, &ev);
  }
  conn_.WillSend();
}

}  // namespace brumo::x11
