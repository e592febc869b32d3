// What the event loop waits on, and how it writes to the server: one epoll set woken on time to
// the nanosecond, a watch on the system's time zone that costs nothing until the zone changes,
// and a flush of Xlib's buffer that reads from the server only when something came in.
#pragma once

#include <X11/Xlib.h>
#include <sys/epoll.h>
#include <time.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace brumo::x11 {

// The monotonic clock, in nanoseconds.
inline std::int64_t MonotonicNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

// An epoll set of descriptors, each added once with a tag that its events carry back.
// Throws std::system_error.
class EventWait {
 public:
  EventWait();
  ~EventWait();
  EventWait(const EventWait&) = delete;
  EventWait& operator=(const EventWait&) = delete;

  void Add(int fd, std::uint32_t events, std::uint32_t tag);
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

// Takes out of the process's page tables the pages of its files that hold nothing of its own:
// the libraries' code and read-only data, the fonts, fontconfig's caches. Start-up touches far
// more of them than the running clock ever will again, and every page left mapped is one more
// for the kernel to look after while the clock sleeps. They stay in the page cache, and those the
// clock uses come back at their first touch. Where smaps cannot be read, nothing changes.
void ReleaseFilePages();

// Sends what Xlib holds for the server, as XFlush does but without looking for events after
// writing: the write goes through xcb, which takes in what the server sent meanwhile, and the
// loop finds those with ReadCount.
void SendRequests(Display* dpy);

// How many bytes have come in from the server so far: what Xlib and xcb took in, whenever they
// did, so that events read while writing or while waiting for a reply are not left in xcb's
// queue, which the socket will not announce again.
std::uint64_t ReadCount(Display* dpy);

}  // namespace brumo::x11
