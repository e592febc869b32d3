// How the event loop writes to the server: a flush of Xlib's buffer that reads from the server
// only when something came in. What it waits on is the Linux shells' shared loop.
#pragma once

#include <X11/Xlib.h>
#include <cstdint>

#include "window/linux/event_loop.h"
#include "window/linux/file_pages.h"

namespace brumo::x11 {

// Sends what Xlib holds for the server, as XFlush does but without looking for events after
// writing: the write goes through xcb, which takes in what the server sent meanwhile, and the
// loop finds those with ReadCount.
void SendRequests(Display* dpy);

// How many bytes have come in from the server so far: what Xlib and xcb took in, whenever they
// did, so that events read while writing or while waiting for a reply are not left in xcb's
// queue, which the socket will not announce again.
std::uint64_t ReadCount(Display* dpy);

}  // namespace brumo::x11
