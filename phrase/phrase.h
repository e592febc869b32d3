// The Italian time phrase: the hour and minute tables and the rule that picks from them.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "phrase/clock_reading.h"

namespace brumo {

// One row of the minute bands: minutes `from`..`to` (both included) read as `Minuti`(band), and
// from minute 36 on the phrase names the coming hour.
struct MinuteBand {
  int from;
  int to;
  int band;
  bool next_hour;
};

inline constexpr std::array<MinuteBand, 11> kMinuteBands{{
    {0, 3, 0, false},
    {4, 7, 1, false},
    {8, 13, 2, false},
    {14, 17, 3, false},
    {18, 25, 4, false},
    {26, 35, 5, false},
    {36, 43, 6, true},
    {44, 47, 7, true},
    {48, 53, 8, true},
    {54, 57, 9, true},
    {58, 59, 0, true},
}};

class Phrases {
 public:
  static constexpr int kHours = 25;  // 0-24: the hour after 23 needs no wrap-around
  static constexpr int kBands = 10;

  // Fills Ore and Minuti; calling it again rebuilds the same contents.
  void InitBrumo();

  // The phrase for the reading's hour and minute, e.g. "Le tre meno un quarto" at 14:47.
  // Seconds and the date play no part. A reading outside 0-23:0-59 gives the empty phrase.
  // Before InitBrumo every phrase is empty.
  std::string_view Brumo(const ClockReading& reading) const;

  const std::array<std::string, kHours>& Ore() const { return ore_; }
  const std::array<std::string, kBands>& Minuti() const { return minuti_; }

 private:
  std::array<std::string, kHours> ore_;
  std::array<std::string, kBands> minuti_;
  // Every hour phrase joined with every suffix, built with the tables, so that Brumo only looks up.
  std::array<std::string, kHours * kBands> joined_;
};

}  // namespace brumo
