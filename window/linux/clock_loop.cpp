#include "window/linux/clock_loop.h"

#include "display/tick_schedule.h"

namespace brumo {
namespace {

// What each descriptor in the loop's epoll set is.
enum WaitTag : std::uint32_t { kWaitConnection, kWaitSignals, kWaitZoneFile, kWaitMounts };

bool SameReading(const ClockReading& a, const ClockReading& b) {
  return a.second == b.second && a.minute == b.minute && a.hour == b.hour && a.day == b.day &&
         a.month == b.month && a.year == b.year;
}

}  // namespace

void ClockLoop::Run(LoopClient& client) {
  wait_.Add(client.ConnectionFd(), EPOLLIN, kWaitConnection);
  wait_.Add(signals_.fd(), EPOLLIN, kWaitSignals);
  if (zone_.Active()) {
    wait_.Add(zone_.NotifyFd(), EPOLLIN, kWaitZoneFile);
    wait_.Add(zone_.MountsFd(), EPOLLPRI, kWaitMounts);
    clock_.SetZoneWatched(true);
  }
  bool watching = true;
  std::int64_t due = 0;
  // Whether the tick is known to be due: at the start, and after a wait that ran out, which
  // never ends before its time; so such a wake reads no clock before the tick's own reading.
  bool tick_due = true;
  while (running_) {
    client.HandleEvents();
    std::int64_t now = 0;
    if (!tick_due) {
      now = MonotonicNow();
      tick_due = now >= due;
    }
    if (running_ && tick_due) {
      tick_due = false;
      // The tick's one reading. Nine ticks in ten read the second that the last one did, in
      // which every text is what the labels show: those go back to sleep at once.
      const ClockReading reading = clock_.Now();
      if (!SameReading(reading, reading_)) {
        reading_ = reading;
        client.OnNewSecond();
      }
      client.AfterTick();
      // Timed from after the reading, so never early for the tenth it aims at.
      now = MonotonicNow();
      due = now + TickDelay(clock_.Subsecond());
    }
    if (!running_) break;
    if (!client.ReadyToWait()) continue;
    if (client.WatchConnection() != watching) {
      watching = !watching;
      wait_.Modify(client.ConnectionFd(), watching ? std::uint32_t{EPOLLIN} : 0u, kWaitConnection);
    }
    const std::span<const epoll_event> ready = wait_.Wait(due - now);
    tick_due = ready.empty();
    bool readable = false, zone = false;
    for (const epoll_event& ev : ready) {
      switch (ev.data.u32) {
        case kWaitConnection:
          readable = true;
          break;
        case kWaitSignals:
          if (signals_.Drain()) running_ = false;
          break;
        case kWaitZoneFile:
          zone = zone_.TakeNotices() || zone;
          break;
        case kWaitMounts:
          zone = true;
          break;
        default:
          break;
      }
    }
    client.AfterWait(readable);
    if (zone) {
      zone_.Rewatch();
      clock_.ZoneMayHaveChanged();
    }
  }
}

}  // namespace brumo
