// One reading of the local clock: every text a refresh shows comes from one of these.
#pragma once

namespace brumo {

struct ClockReading {
  int year = 0;
  int month = 0;   // 1-12
  int day = 0;     // 1-31
  int hour = 0;    // 0-23
  int minute = 0;  // 0-59
  int second = 0;  // 0-59 (60 on a leap second)
};

}  // namespace brumo
