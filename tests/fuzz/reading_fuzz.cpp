// Clock readings with any field values and any separator: the tick formats them into its labels
// without overflow, and a second tick with the same reading writes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "display/refresh.h"
#include "window/clock_window.h"

namespace {

struct Fixed {
  Fixed() { phrases.InitBrumo(); }
  brumo::Phrases phrases;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Fixed fixed;  // the tables are built once; they are only read here
  int fields[6] = {};
  const std::size_t n = size < sizeof fields ? size : sizeof fields;
  std::memcpy(fields, data, n);
  const std::string_view rest(reinterpret_cast<const char*>(data) + n, size - n);
  const brumo::DateSeparator sep(rest);
  const brumo::ClockReading r{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};

  brumo::LabelTexts labels;
  brumo::RefreshTick(r, fixed.phrases, sep.view(), labels);
  if (brumo::RefreshTick(r, fixed.phrases, sep.view(), labels) != 0) std::abort();
  if (labels[brumo::kOra].empty() || labels[brumo::kData].empty()) std::abort();
  const bool valid = r.hour >= 0 && r.hour <= 23 && r.minute >= 0 && r.minute <= 59;
  if (valid == labels[brumo::kScritta].empty()) std::abort();
  return 0;
}
