// Starts a program and prints how long it took, in milliseconds, until a window of it was mapped
// on the display's screen (the first top-level window mapped after the start).
//   map_timer PROGRAM [ARGUMENT...]
// The program is then sent SIGTERM. Built and run by footprint.sh.

#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

double NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PROGRAM [ARGUMENT...]\n", argv[0]);
    return 2;
  }
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    std::fprintf(stderr, "map_timer: cannot open display\n");
    return 1;
  }
  const Window root = DefaultRootWindow(dpy);
  XSelectInput(dpy, root, SubstructureNotifyMask);
  XSync(dpy, True);

  const double start = NowMs();
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  double mapped = -1;
  pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
  while (mapped < 0 && NowMs() - start < 20000) {
    while (XPending(dpy) > 0) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type == MapNotify && ev.xmap.event == root && !ev.xmap.override_redirect) {
        mapped = NowMs();
        break;
      }
    }
    if (mapped < 0) poll(&fd, 1, 100);
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  XCloseDisplay(dpy);
  if (mapped < 0) {
    std::fprintf(stderr, "map_timer: %s mapped no window\n", argv[1]);
    return 1;
  }
  std::printf("%.1f\n", mapped - start);
  return 0;
}
