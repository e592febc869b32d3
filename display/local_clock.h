// The local clock and the user's date separator, read the way the platform being built for
// offers them. One source file per platform implements this header.
#pragma once

#include <array>

#include "phrase/clock_reading.h"
#include "display/date_format.h"

namespace brumo {

class LocalClock {
 public:
  // The local date and time now. A change of the system's time zone shows within a second.
  ClockReading Now();

  // How far into its second the wall clock was at the last reading, in nanoseconds: where the
  // next tick of a timer that keeps in step with the wall clock's seconds falls.
  long Subsecond() const { return subsecond_; }

  // For a caller that watches the system's time zone itself: Now() stops looking at it once a
  // second and looks only after ZoneMayHaveChanged(). Unused where the system follows zone
  // changes by itself.
  void SetZoneWatched(bool watched) { zone_watched_ = watched; }
  void ZoneMayHaveChanged() { zone_stale_ = true; }

 private:
  long subsecond_ = 0;
  // The last reading and the second it was taken in: the same second in the same zone gives the
  // same reading, without converting it again.
  ClockReading reading_{};
  long long reading_at_ = 0;
  bool reading_known_ = false;
  // When the time zone was last looked at, and what its definition looked like then
  // (file identity and times); unused where the system follows zone changes by itself.
  long long zone_checked_at_ = -1;
  bool zone_watched_ = false;
  bool zone_stale_ = true;
  std::array<long long, 5> zone_stamp_{};
};

// The local date and time at `unix_seconds` (seconds since 1970-01-01 00:00 UTC) in the
// system's time zone.
ClockReading LocalReadingAt(long long unix_seconds);

// The date separator of the user's regional settings, "/" where there is none.
DateSeparator UserDateSeparator();

}  // namespace brumo
