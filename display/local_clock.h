// The local clock and the user's date separator, read the way the platform being built for
// offers them. One source file per platform implements this header.
#pragma once

#include <array>

#include "display/clock_reading.h"
#include "display/date_format.h"

namespace brumo {

class LocalClock {
 public:
  // The local date and time now. A change of the system's time zone shows within a second.
  ClockReading Now();

 private:
  // When the time zone was last looked at, and what its definition looked like then
  // (file identity and times); unused where the system follows zone changes by itself.
  long long zone_checked_at_ = -1;
  std::array<long long, 5> zone_stamp_{};
};

// The local date and time at `unix_seconds` (seconds since 1970-01-01 00:00 UTC) in the
// system's time zone.
ClockReading LocalReadingAt(long long unix_seconds);

// The date separator of the user's regional settings, "/" where there is none.
DateSeparator UserDateSeparator();

}  // namespace brumo
