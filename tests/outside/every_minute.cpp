// A program outside brumo: it sees only the two public headers, and checks the phrase of every
// minute of the day against its own spelling of the Italian clock.
#include <cstdio>
#include <string>

#include "phrase/clock_reading.h"
#include "phrase/phrase.h"

namespace {

std::string HourName(int h) {
  static const char* const kNames[] = {
      "Mezzanotte", "L'una",   "Le due",  "Le tre",   "Le quattro", "Le cinque",  "Le sei",
      "Le sette",   "Le otto", "Le nove", "Le dieci", "Le undici",  "Mezzogiorno"};
  h %= 24;
  return h == 0 ? kNames[0] : h == 12 ? kNames[12] : kNames[h % 12];
}

std::string Expected(int h, int m) {
  if (m <= 3) return HourName(h);
  if (m <= 7) return HourName(h) + " e cinque";
  if (m <= 13) return HourName(h) + " e dieci";
  if (m <= 17) return HourName(h) + " e un quarto";
  if (m <= 25) return HourName(h) + " e venti";
  if (m <= 35) return HourName(h) + " e mezzo";
  if (m <= 43) return HourName(h + 1) + " meno venti";
  if (m <= 47) return HourName(h + 1) + " meno un quarto";
  if (m <= 53) return HourName(h + 1) + " meno dieci";
  if (m <= 57) return HourName(h + 1) + " meno cinque";
  return HourName(h + 1);
}

}  // namespace

int main() {
  brumo::Phrases phrases;
  phrases.InitBrumo();
  int wrong = 0;
  for (int h = 0; h < 24; ++h) {
    for (int m = 0; m < 60; ++m) {
      const brumo::ClockReading r{2026, 12, 8, h, m, 30};
      const std::string got(phrases.Brumo(r));
      if (got != Expected(h, m)) {
        std::printf("%02d:%02d: got \"%s\", expected \"%s\"\n", h, m, got.c_str(),
                    Expected(h, m).c_str());
        ++wrong;
      }
    }
  }
  std::printf("1440 minutes, %d wrong\n", wrong);
  return wrong == 0 ? 0 : 1;
}
