#include "phrase/phrase.h"

namespace brumo {

void Phrases::InitBrumo() {
  static constexpr std::array<std::string_view, 10> kNumbers{
      "due", "tre", "quattro", "cinque", "sei", "sette", "otto", "nove", "dieci", "undici"};
  static constexpr std::string_view kLe = "Le ";
  static constexpr std::string_view kE = " e ";
  static constexpr std::string_view kMeno = " meno ";

  ore_[0] = "Mezzanotte";
  ore_[1] = "L'una";
  for (int n = 2; n <= 11; ++n) ore_[n] = std::string(kLe) + std::string(kNumbers[n - 2]);
  ore_[12] = "Mezzogiorno";
  for (int i = 13; i <= 23; ++i) ore_[i] = ore_[i - 12];
  ore_[24] = ore_[0];

  minuti_[0] = "";
  static constexpr std::array<std::string_view, 5> kForward{"cinque", "dieci", "un quarto", "venti",
                                                            "mezzo"};
  static constexpr std::array<std::string_view, 4> kBackward{"venti", "un quarto", "dieci",
                                                             "cinque"};
  for (int i = 0; i < 5; ++i) minuti_[1 + i] = std::string(kE) + std::string(kForward[i]);
  for (int i = 0; i < 4; ++i) minuti_[6 + i] = std::string(kMeno) + std::string(kBackward[i]);

  for (int h = 0; h < kHours; ++h)
    for (int b = 0; b < kBands; ++b) joined_[h * kBands + b] = ore_[h] + minuti_[b];
}

std::string_view Phrases::Brumo(const ClockReading& reading) const {
  int h = reading.hour;
  const int m = reading.minute;
  if (h < 0 || h > 23 || m < 0 || m > 59) return {};
  int band = 0;
  for (const MinuteBand& row : kMinuteBands) {
    if (m >= row.from && m <= row.to) {
      band = row.band;
      if (row.next_hour) ++h;
      break;
    }
  }
  return joined_[h * kBands + band];
}

}  // namespace brumo
