#include "window/linux/event_loop.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "display/tick_schedule.h"

namespace brumo {
namespace {

// What replaces the zone file's directory entry, and what happens to the file itself.
constexpr std::uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kFileEvents = IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

// --- Close signals -----------------------------------------------------------------------------

CloseSignals::CloseSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  // Blocked before anything else, so that a signal arriving during start-up waits for the loop.
  sigprocmask(SIG_BLOCK, &set, nullptr);
  fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd_ < 0) {
    throw FatalError(std::string("cannot watch for signals: ") + std::strerror(errno),
                     kExitStartFailed);
  }
}

CloseSignals::~CloseSignals() {
  if (fd_ >= 0) close(fd_);
}

bool CloseSignals::Drain() {
  signalfd_siginfo info{};
  bool any = false;
  while (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) any = true;
  return any;
}

// --- Waiting -------------------------------------------------------------------------------------

EventWait::EventWait() : fd_(epoll_create1(EPOLL_CLOEXEC)) {
  if (fd_ < 0) ThrowErrno("cannot wait for events");
}

EventWait::~EventWait() {
  if (fd_ >= 0) close(fd_);
}

void EventWait::Add(int fd, std::uint32_t events, std::uint32_t tag) {
  epoll_event ev{};
  ev.events = events;
  ev.data.u32 = tag;
  if (epoll_ctl(fd_, EPOLL_CTL_ADD, fd, &ev) != 0) ThrowErrno("cannot wait for events");
}

void EventWait::Modify(int fd, std::uint32_t events, std::uint32_t tag) {
  epoll_event ev{};
  ev.events = events;
  ev.data.u32 = tag;
  if (epoll_ctl(fd_, EPOLL_CTL_MOD, fd, &ev) != 0) ThrowErrno("cannot wait for events");
}

std::span<const epoll_event> EventWait::Wait(std::int64_t timeout) {
  if (timeout < 0) timeout = 0;
  const int size = static_cast<int>(ready_.size());
  int n = -1;
  if (precise_) {
    const timespec ts{static_cast<time_t>(timeout / 1'000'000'000),
                      static_cast<long>(timeout % 1'000'000'000)};
    n = epoll_pwait2(fd_, ready_.data(), size, &ts, nullptr);
    // Kernels before 5.11 (and some tools that run programs, valgrind among them) lack it.
    if (n < 0 && errno == ENOSYS) precise_ = false;
  }
  if (!precise_) n = epoll_wait(fd_, ready_.data(), size, PollTimeoutMs(0, timeout));
  if (n < 0) {
    if (errno == EINTR) return {};
    ThrowErrno("cannot wait for events");
  }
  return {ready_.data(), static_cast<std::size_t>(n)};
}

// --- The time zone -------------------------------------------------------------------------------

ZoneWatch::ZoneWatch(std::string path) : path_(std::move(path)) {
  const std::size_t slash = path_.rfind('/');
  dir_ = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
  name_ = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  notify_fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (notify_fd_ >= 0) {
    dir_watch_ = inotify_add_watch(notify_fd_, dir_.c_str(), kEntryEvents | IN_ONLYDIR);
    Rewatch();
  }
  // The mount table says POLLPRI when a mount comes or goes, with nothing to read.
  mounts_fd_ = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
}

ZoneWatch::~ZoneWatch() {
  if (mounts_fd_ >= 0) close(mounts_fd_);
  if (notify_fd_ >= 0) close(notify_fd_);
}

bool ZoneWatch::TakeNotices() {
  // Aligned for the events that the kernel writes into it.
  alignas(inotify_event) char buf[4096];
  bool zone = false;
  for (;;) {
    const ssize_t n = read(notify_fd_, buf, sizeof buf);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      const auto* ev = reinterpret_cast<const inotify_event*>(buf + at);
      if (ev->wd == file_watch_ || (ev->wd == dir_watch_ && ev->len > 0 && name_ == ev->name) ||
          (ev->mask & IN_Q_OVERFLOW)) {
        zone = true;
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
    }
  }
  return zone;
}

void ZoneWatch::Rewatch() {
  if (notify_fd_ < 0) return;
  // Through the symlink and any mount to the file itself; the same watch if it is the same file.
  const int watch = inotify_add_watch(notify_fd_, path_.c_str(), kFileEvents);
  if (file_watch_ >= 0 && watch != file_watch_) inotify_rm_watch(notify_fd_, file_watch_);
  // None while the path leads nowhere: the directory's watch sees it come back.
  file_watch_ = watch;
}

}  // namespace brumo
