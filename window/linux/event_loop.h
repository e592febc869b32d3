// What both Linux shells wait on: one epoll set woken on time to the nanosecond, the close
// signals read from a descriptor, and a watch on the system's time zone that costs nothing until
// the zone changes.
#pragma once

#include <sys/epoll.h>
#include <time.h>

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace brumo {

// A failure that ends the program, with the status it ends with.
class FatalError : public std::runtime_error {
 public:
  FatalError(const std::string& what, int status) : std::runtime_error(what), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

inline constexpr int kExitNoDisplay = 1;
inline constexpr int kExitStartFailed = 2;

// SIGTERM and SIGINT, blocked for the whole process and read from a signalfd that the event loop
// polls: a close request like any other, with nothing shared with a signal handler.
class CloseSignals {
 public:
  CloseSignals();
  ~CloseSignals();
  CloseSignals(const CloseSignals&) = delete;
  CloseSignals& operator=(const CloseSignals&) = delete;

  int fd() const { return fd_; }
  // Reads every pending signal; true when there was one.
  bool Drain();

 private:
  int fd_ = -1;
};

// An epoll set of descriptors, each added once with a tag that its events carry back.
// Throws std::system_error.
class EventWait {
 public:
  EventWait();
  ~EventWait();
  EventWait(const EventWait&) = delete;
  EventWait& operator=(const EventWait&) = delete;

  void Add(int fd, std::uint32_t events, std::uint32_t tag);
  // Changes the events an added descriptor is watched for (0: none, for now).
  void Modify(int fd, std::uint32_t events, std::uint32_t tag);
  // Waits until a descriptor is ready or `timeout` nanoseconds have gone by (0: only looks);
  // the ready ones, empty on a timeout or a signal.
  std::span<const epoll_event> Wait(std::int64_t timeout);

 private:
  int fd_ = -1;
  bool precise_ = true;  // epoll_pwait2 is there; without it, whole milliseconds rounded up
  std::array<epoll_event, 8> ready_{};
};

// The system's time zone file watched for changes, without a system call until one comes:
// inotify on the directory that holds the file (the entry replaced, which is how a symlink like
// /etc/localtime changes) and on the file it resolves to (rewritten, or replaced), and the mount
// table (a zone mounted over it). Active() is false where a part could not be set up; the clock
// then looks at the zone by itself.
class ZoneWatch {
 public:
  explicit ZoneWatch(std::string path = "/etc/localtime");
  ~ZoneWatch();
  ZoneWatch(const ZoneWatch&) = delete;
  ZoneWatch& operator=(const ZoneWatch&) = delete;

  bool Active() const { return notify_fd_ >= 0 && dir_watch_ >= 0 && mounts_fd_ >= 0; }
  // Readable when something happened to the file or its directory.
  int NotifyFd() const { return notify_fd_; }
  // Ready for EPOLLPRI when the mount table changed.
  int MountsFd() const { return mounts_fd_; }

  // Reads what the inotify descriptor holds; true when it concerns the zone file.
  bool TakeNotices();
  // After a change: watches the file the path resolves to now.
  void Rewatch();

 private:
  std::string path_, dir_, name_;
  int notify_fd_ = -1;
  int mounts_fd_ = -1;
  int dir_watch_ = -1;
  int file_watch_ = -1;
};

// The monotonic clock in nanoseconds.
inline std::int64_t MonotonicNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace brumo
