#include "display/tick_schedule.h"

#include <gtest/gtest.h>

namespace brumo {
namespace {

TEST(TickSchedule, PollNeverWakesBeforeTheTickIsDue) {
  constexpr std::int64_t ms = 1'000'000;
  EXPECT_EQ(PollTimeoutMs(0, 100 * ms), 100);
  EXPECT_EQ(PollTimeoutMs(0, 100 * ms - 1), 100);  // rounded up, not down to an early wake-up
  EXPECT_EQ(PollTimeoutMs(0, 1), 1);
  EXPECT_EQ(PollTimeoutMs(5 * ms, 5 * ms), 0);
  EXPECT_EQ(PollTimeoutMs(7 * ms, 5 * ms), 0);
}

TEST(TickSchedule, TicksKeepTheirPaceAndLateOnesAreNotCaughtUp) {
  constexpr std::int64_t ms = 1'000'000;
  // On time, or a little late: the next one on the next tenth of the wall clock's second.
  EXPECT_EQ(TickDelay(0), 100 * ms);
  EXPECT_EQ(TickDelay(900 * ms + 70'000), 100 * ms - 70'000);  // the one just after the second
  // Later than half an interval (the machine was busy), or a clock that stands still just before
  // a tenth: that tenth is let go, never caught up in a burst.
  EXPECT_EQ(TickDelay(460 * ms), 140 * ms);
  EXPECT_EQ(TickDelay(999'999'999), 100 * ms + 1);
}

TEST(TickSchedule, LockOnToTheWallClockFromAnyPhase) {
  constexpr std::int64_t ms = 1'000'000;
  constexpr std::int64_t second = 1000 * ms;
  constexpr std::int64_t latency = 80'000;  // each wake comes this much after it was due
  for (std::int64_t start = 0; start < second; start += 7 * ms + 3) {
    std::int64_t wall = start;  // the wall clock, as a tick reads it
    for (int tick = 0; tick < 3; ++tick) {
      const std::int64_t delay = TickDelay(wall % second);
      ASSERT_GE(delay, 50 * ms) << start;
      ASSERT_LT(delay, 150 * ms) << start;
      wall += delay + latency;
    }
    // Whatever the phase it started at, each tick after the first reads the clock just after a
    // tenth, so one in ten reads it just after the second.
    EXPECT_EQ(wall % (100 * ms), latency) << "started " << start << " ns into a second";
  }
}

}  // namespace
}  // namespace brumo
