// When the refresh ticks fall: on the tenths of the wall clock's second, so that one tick comes
// just after each second. Shared by every shell; nothing here reads a clock.
#pragma once

#include <cstdint>

#include "display/layout.h"

namespace brumo {

inline constexpr std::int64_t kTickNanoseconds = std::int64_t{kTimerMilliseconds} * 1'000'000;

// How long a wait measured in milliseconds (where the system has no finer one) lasts for the tick
// due at `due` (monotonic nanoseconds): rounded up so that it never wakes before it, 0 once due.
constexpr int PollTimeoutMs(std::int64_t now, std::int64_t due) {
  if (due <= now) return 0;
  return static_cast<int>((due - now + 999'999) / 1'000'000);
}

// How long after a wall-clock reading `subsecond` nanoseconds into its second the next tick is
// due: at the next tenth of a wall-clock second, so that one tick falls just after each second
// and the seconds change on time; but never sooner than half an interval, so that a wall clock
// that stands still or crawls (a faked one) cannot bring the ticks closer together, and hence
// never later than one and a half. Only the phase of the reading counts, waited for on a steady
// clock: after the wall clock jumps, the next tick is back on the tenths, and a late tick is
// never caught up.
constexpr std::int64_t TickDelay(std::int64_t subsecond) {
  std::int64_t past = subsecond % kTickNanoseconds;
  if (past < 0) past += kTickNanoseconds;
  const std::int64_t delay = kTickNanoseconds - past;
  return delay < kTickNanoseconds / 2 ? delay + kTickNanoseconds : delay;
}

}  // namespace brumo
