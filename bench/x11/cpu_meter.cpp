// CPU time of running processes over a number of seconds, read from the scheduler once a second
// (half-way through each second of the wall clock, away from the clocks' own ticks). Besides the
// total it gives the median of the seconds: on a virtual machine a process is now and then
// charged a whole stretch in which the host ran something else, milliseconds at a time and at
// random, which moves a one-minute total by a quarter and more but leaves a second that repeats
// the same work, as every one of a clock's seconds does, as it was. footprint.sh runs it.
//
//   cpu_meter SECONDS PID...   prints "TOTAL_MS MEDIAN_US" for each PID, one line each: its CPU
//                              time over the SECONDS, and the median of its seconds
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The CPU time the process has had, in nanoseconds (the first field of schedstat).
long long CpuNs(int fd) {
  char buf[128];
  const ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
  if (n <= 0) return -1;
  buf[n] = '\0';
  return std::strtoll(buf, nullptr, 10);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: cpu_meter SECONDS PID...\n");
    return 2;
  }
  const int seconds = std::atoi(argv[1]);
  struct Process {
    int fd;
    long long start, last;
    std::vector<long long> seconds;
  };
  std::vector<Process> processes;
  for (int i = 2; i < argc; ++i) {
    const std::string path = std::string("/proc/") + argv[i] + "/schedstat";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      std::fprintf(stderr, "cpu_meter: no process %s\n", argv[i]);
      return 1;
    }
    processes.push_back({fd, 0, 0, {}});
  }
  timespec at{};
  clock_gettime(CLOCK_REALTIME, &at);
  at.tv_nsec = 500'000'000;
  for (int s = 0; s <= seconds; ++s) {
    ++at.tv_sec;
    clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &at, nullptr);
    for (Process& p : processes) {
      const long long now = CpuNs(p.fd);
      if (now < 0) {
        std::fprintf(stderr, "cpu_meter: a process ended\n");
        return 1;
      }
      if (s == 0)
        p.start = now;
      else
        p.seconds.push_back(now - p.last);
      p.last = now;
    }
  }
  for (Process& p : processes) {
    std::sort(p.seconds.begin(), p.seconds.end());
    const std::size_t n = p.seconds.size();
    const double median = n % 2 ? static_cast<double>(p.seconds[n / 2])
                                : (p.seconds[n / 2 - 1] + p.seconds[n / 2]) / 2.0;
    std::printf("%.1f %.1f\n", (p.last - p.start) / 1e6, median / 1e3);
  }
  return 0;
}
