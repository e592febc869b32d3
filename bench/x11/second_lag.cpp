// How late each second reaches the X server, for clocks running side by side, measured from the
// outside: the first damage (DAMAGE extension) to each window in every second of the wall clock,
// taken the moment the server's notice arrives, so the clocks themselves are not slowed by it.
// footprint.sh runs it.
//
//   second_lag SECONDS CLOCK...   CLOCK: a window id, or several joined by commas (a window and
//                                 its children); prints "MEDIAN MAX COUNT" (ms, ms, seconds seen)
//                                 for each clock, one line each
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Seconds(const timespec& t) {
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: second_lag SECONDS CLOCK...\n");
    return 2;
  }
  // Woken first when a notice comes, so that what is measured is the clocks' lateness, not ours.
  sched_param fifo{};
  fifo.sched_priority = 1;
  sched_setscheduler(0, SCHED_FIFO, &fifo);

  Display* dpy = XOpenDisplay(nullptr);
  int event_base = 0, error_base = 0;
  if (dpy == nullptr || !XDamageQueryExtension(dpy, &event_base, &error_base)) {
    std::fprintf(stderr, "second_lag: no display with the DAMAGE extension\n");
    return 1;
  }
  int major = 1, minor = 1;
  XDamageQueryVersion(dpy, &major, &minor);
  struct Clock {
    std::vector<Window> windows;
    long second = -1;
    std::vector<double> lags;  // ms after the second
  };
  std::vector<Clock> clocks(static_cast<std::size_t>(argc - 2));
  for (int i = 2; i < argc; ++i) {
    for (char* id = argv[i]; *id != '\0';) {
      const Window w = static_cast<Window>(std::strtoul(id, &id, 0));
      clocks[static_cast<std::size_t>(i - 2)].windows.push_back(w);
      XDamageCreate(dpy, w, XDamageReportRawRectangles);
      if (*id == ',')
        ++id;
      else if (*id != '\0')
        return 2;
    }
  }
  XSync(dpy, False);

  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  // The first, partial second is left out.
  const long first = now.tv_sec + 1;
  const double end = Seconds(now) + std::atof(argv[1]) + 1;
  pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
  while (Seconds(now) < end) {
    poll(&fd, 1, static_cast<int>((end - Seconds(now)) * 1000) + 1);
    clock_gettime(CLOCK_REALTIME, &now);
    while (XPending(dpy) > 0) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type != event_base + XDamageNotify) continue;
      const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(ev);
      for (Clock& c : clocks) {
        if (now.tv_sec == c.second ||
            std::find(c.windows.begin(), c.windows.end(), damage.drawable) == c.windows.end()) {
          continue;
        }
        c.second = now.tv_sec;
        if (now.tv_sec >= first) c.lags.push_back(now.tv_nsec / 1e6);
      }
    }
  }
  for (Clock& c : clocks) {
    std::sort(c.lags.begin(), c.lags.end());
    const std::size_t n = c.lags.size();
    const double median = n == 0  ? 0
                          : n % 2 ? c.lags[n / 2]
                                  : (c.lags[n / 2 - 1] + c.lags[n / 2]) / 2;
    std::printf("%.2f %.2f %zu\n", median, n == 0 ? 0 : c.lags.back(), n);
  }
  XCloseDisplay(dpy);
  return 0;
}
