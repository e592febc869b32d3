// Any date format a locale could hold: the separator read from it is short, free of control
// characters and never read from outside the format.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "display/date_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view fmt(reinterpret_cast<const char*>(data), size);
  const brumo::DateSeparator sep = brumo::SeparatorFromDateFormat(fmt);
  if (sep.empty() || sep.size() > brumo::DateSeparator::capacity()) std::abort();
  for (char c : sep.view()) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) std::abort();
  }
  return 0;
}
