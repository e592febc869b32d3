// The connection to the X display: the screen the clock is on, the atoms it uses, and how the
// loop reads and writes, with Xlib's buffers in mind (events that Xlib or xcb take in while
// writing or waiting for a reply are never left unseen).
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <cstdint>
#include <memory>

#include "window/x11/x11_hints.h"

namespace brumo::x11 {

// Sends what Xlib holds for the server, as XFlush does but without looking for events after
// writing: the write goes through xcb, which takes in what the server sent meanwhile, and the
// loop finds those with ReadCount.
void SendRequests(Display* dpy);

// How many bytes have come in from the server so far: what Xlib and xcb took in, whenever they
// did, so that events read while writing or while waiting for a reply are not left in xcb's
// queue, which the socket will not announce again.
std::uint64_t ReadCount(Display* dpy);

class Connection {
 public:
  // Opens the display named by DISPLAY and interns the atoms. Throws FatalError.
  Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  Display* dpy() const { return dpy_.get(); }
  int screen() const { return screen_; }
  ::Window root() const { return root_; }
  Visual* visual() const { return visual_; }
  Colormap colormap() const { return colormap_; }
  int depth() const { return depth_; }
  ::Atom atom(AtomId id) const { return atoms_[id]; }
  // The selection the running copy owns, and the one a window manager holds, on this screen.
  ::Atom InstanceSelection() const { return instance_selection_; }
  ::Atom ManagerSelection() const { return wm_selection_; }
  int fd() const { return ConnectionNumber(dpy_.get()); }

  // Requests are waiting in Xlib's buffer, to be sent before the loop sleeps.
  void WillSend() { flush_ = true; }

  // Whether events may wait in Xlib's queue: only when Xlib has run since the loop last looked.
  // A wake that only ticks touches neither Xlib nor xcb.
  bool TakeIn();
  // The next queued event, if any.
  bool Next(XEvent& ev);
  // Sends what is waiting; false when Xlib ran meanwhile, so that events may be queued again.
  bool Send();
  // The socket is readable: reads what arrived, or meets the closed connection, which ends the
  // program.
  void Read();

 private:
  void TakeInAll();

  struct DisplayCloser {
    void operator()(Display* dpy) const { XCloseDisplay(dpy); }
  };
  std::unique_ptr<Display, DisplayCloser> dpy_;
  int screen_ = 0;
  ::Window root_ = 0;
  Visual* visual_ = nullptr;
  Colormap colormap_ = 0;
  int depth_ = 0;
  std::array<::Atom, kAtomCount> atoms_{};
  ::Atom instance_selection_ = 0;
  ::Atom wm_selection_ = 0;
  bool flush_ = false;
  bool xlib_ran_ = true;
  std::uint64_t read_seen_ = 0;  // ReadCount when Xlib last took in all that had come
};

}  // namespace brumo::x11
