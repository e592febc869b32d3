// The refresh tick: one clock reading becomes the five texts that change over time, and each
// goes into its label only when the label does not already show exactly that text.
#pragma once

#include <array>
#include <string_view>

#include "phrase/clock_reading.h"
#include "display/layout.h"
#include "display/text.h"
#include "phrase/phrase.h"

namespace brumo {

using LabelText = Text<64>;

// What the eight labels show; a new set shows the design texts.
class LabelTexts {
 public:
  LabelTexts();
  std::string_view operator[](LabelId id) const { return texts_[id].view(); }
  // Writes `text` into the label unless it already shows exactly that; true when it wrote.
  bool Update(LabelId id, std::string_view text);

 private:
  std::array<LabelText, kLabelCount> texts_;
};

// Hour "#0", minutes and seconds "00", the date as day, month and year (2, 2 and 4 digits)
// joined by `date_separator`, and the phrase: each written to its label if it differs.
// Returns the labels written. Reads nothing but its arguments and touches no heap.
LabelMask RefreshTick(const ClockReading& reading, const Phrases& phrases,
                      std::string_view date_separator, LabelTexts& labels);

}  // namespace brumo
