#include "window/x11/x11_hints.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "display/layout.h"

namespace brumo::x11 {

namespace {

// `prefix` followed by the screen's number in decimal.
Text<24> ScreenSelectionName(std::string_view prefix, int screen) {
  std::array<char, 24> buf{};
  std::copy(prefix.begin(), prefix.end(), buf.begin());
  const auto [end, ec] = std::to_chars(buf.data() + prefix.size(), buf.data() + buf.size(), screen);
  const std::size_t n =
      ec == std::errc{} ? static_cast<std::size_t>(end - buf.data()) : prefix.size();
  return Text<24>(std::string_view(buf.data(), n));
}

}  // namespace

Text<24> InstanceSelectionName(int screen) {
  return ScreenSelectionName("_BRUMO_S", screen);
}

Text<24> WindowManagerSelectionName(int screen) {
  return ScreenSelectionName("WM_S", screen);
}

Text<512> StartupRemoveMessage(std::string_view startup_id) {
  static constexpr std::string_view kPrefix = "remove: ID=";
  // Room for the prefix, the ID with every byte escaped, and the closing nul that ends it.
  if (startup_id.empty() || kPrefix.size() + 2 * startup_id.size() + 1 > Text<512>::capacity()) {
    return {};
  }
  std::array<char, 512> buf{};
  std::size_t n = 0;
  for (char c : kPrefix) buf[n++] = c;
  for (char c : startup_id) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) return {};
    // The protocol's separators and quotes, escaped with a backslash.
    if (c == ' ' || c == '"' || c == '\\') buf[n++] = '\\';
    buf[n++] = c;
  }
  // A message ends with a nul byte.
  buf[n++] = '\0';
  return Text<512>(std::string_view(buf.data(), n));
}

int DpiFromResource(const char* value) {
  if (value == nullptr) return kDesignDpi;
  const char* begin = value;
  const char* end = value + std::strlen(value);
  while (begin != end && (*begin == ' ' || *begin == '\t')) ++begin;
  double dpi = 0;
  const auto [ptr, ec] = std::from_chars(begin, end, dpi);
  if (ec != std::errc{} || ptr == begin || !(dpi >= 1) || dpi > 10000) return kDesignDpi;
  return static_cast<int>(std::lround(dpi));
}

}  // namespace brumo::x11
