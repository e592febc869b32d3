// The least a program that wakes every 100 ms can cost: poll() with nothing to wait for, and
// nothing else. footprint.sh runs it beside the clocks as the floor for their CPU time.
//
//   poll_floor           wakes every 100 ms from wherever it started, drifting by the wake's
//                        own lateness
//   poll_floor tenths    wakes on the wall clock's tenths of a second, as the clock does
//   poll_floor draw [X]  the same, and at each new second sends what the clock sends when only
//                        its seconds change: two CopyArea requests (a kept box into a back
//                        buffer, the buffer into a small window at X,500 on the screen) in one
//                        flush. The least a program can cost that shows a new second through
//                        Xlib and the X server.
#include <X11/Xlib.h>
#include <poll.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr long kTenth = 100'000'000;  // ns

// Sleeps until the wall clock's next tenth of a second; true if that tenth begins a second.
bool SleepToNextTenth() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const long next = (now.tv_nsec / kTenth + 1) * kTenth;
  const timespec delay{0, next - now.tv_nsec};
  ppoll(nullptr, 0, &delay, nullptr);
  return next == 10 * kTenth;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    for (;;) poll(nullptr, 0, 100);
  }
  if (std::strcmp(argv[1], "tenths") == 0) {
    for (;;) SleepToNextTenth();
  }
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    std::fprintf(stderr, "poll_floor: cannot open the display\n");
    return 1;
  }
  constexpr unsigned kWidth = 60, kHeight = 20;
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  const Window window = XCreateWindow(
      dpy, DefaultRootWindow(dpy), argc > 2 ? std::atoi(argv[2]) : 0, 500, kWidth, kHeight, 0,
      CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
  const int depth = DefaultDepth(dpy, DefaultScreen(dpy));
  const Pixmap box = XCreatePixmap(dpy, window, kWidth, kHeight, depth);
  const Pixmap back = XCreatePixmap(dpy, window, kWidth, kHeight, depth);
  XGCValues values{};
  values.graphics_exposures = False;
  values.foreground = 0xc00000;
  GC gc = XCreateGC(dpy, window, GCGraphicsExposures | GCForeground, &values);
  XFillRectangle(dpy, box, gc, 0, 0, kWidth, kHeight);
  XMapWindow(dpy, window);
  XSync(dpy, False);
  for (;;) {
    if (SleepToNextTenth()) {
      XCopyArea(dpy, box, back, gc, 0, 0, kWidth / 2, kHeight, 0, 0);
      XCopyArea(dpy, back, window, gc, 0, 0, kWidth, kHeight, 0, 0);
      XFlush(dpy);
    }
  }
}
