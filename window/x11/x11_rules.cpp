#include "window/x11/x11_rules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

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

std::vector<FilledBox> RaisedFrame(int width, int height, int frame, int dpi) {
  std::vector<FilledBox> out{{{0, 0, width, height}, kFallbackFace}};
  if (frame <= 0) return out;
  int band = std::max(1, ScaleToDpi(1, dpi));
  if (2 * band > frame) band = std::max(1, frame / 2);
  struct Ring {
    int offset;
    Rgb light, dark;
  };
  const Ring rings[] = {{0, kEdgeLight, kEdgeDarkShadow}, {band, kEdgeHighlight, kEdgeShadow}};
  for (const Ring& r : rings) {
    const int o = r.offset;
    if (o + band > frame) break;
    const int w = width - 2 * o;
    const int h = height - 2 * o;
    out.push_back({{o, o, w - band, band}, r.light});          // top
    out.push_back({{o, o, band, h - band}, r.light});          // left
    out.push_back({{o, height - o - band, w, band}, r.dark});  // bottom
    out.push_back({{width - o - band, o, band, h}, r.dark});   // right
  }
  return out;
}

std::vector<AddressRange> CleanFileMappings(std::string_view smaps) {
  std::vector<AddressRange> out;
  AddressRange range;
  bool candidate = false;  // the mapping being read is a file's and never writable
  while (!smaps.empty()) {
    const std::size_t eol = smaps.find('\n');
    std::string_view line = smaps.substr(0, eol);
    smaps.remove_prefix(eol == std::string_view::npos ? smaps.size() : eol + 1);
    // A mapping's first line: "begin-end perms offset dev inode   path", the range in lower-case
    // hexadecimal. Every other line is "Name:   value".
    std::array<std::string_view, 6> field{};
    for (std::string_view& f : field) {
      while (line.starts_with(' ')) line.remove_prefix(1);
      f = line.substr(0, line.find(' '));
      line.remove_prefix(f.size());
    }
    const char* const first = field[0].data();
    const char* const last = first + field[0].size();
    std::uintptr_t begin = 0, end = 0;
    const auto [dash, begin_ec] = std::from_chars(first, last, begin, 16);
    if (begin_ec == std::errc{} && dash != last && *dash == '-') {
      const auto [stop, end_ec] = std::from_chars(dash + 1, last, end, 16);
      range = {begin, end};
      candidate = end_ec == std::errc{} && stop == last && field[1].size() == 4 &&
                  field[1][1] != 'w' && field[5].starts_with('/');
    } else if (candidate && field[0] == "Anonymous:") {
      candidate = false;
      if (field[1] == "0") out.push_back(range);
    }
  }
  return out;
}

std::vector<Box> CloseCross(const Box& glyph_box, int dpi) {
  const int w = std::max(2, ScaleToDpi(8, dpi));
  const int h = std::max(2, ScaleToDpi(7, dpi));
  const int t = std::clamp(ScaleToDpi(2, dpi), 1, w / 2);
  const int left = glyph_box.left;
  const int top = glyph_box.top + ScaleToDpi(1, dpi);
  std::vector<Box> out;
  for (int row = 0; row < h; ++row) {
    // The falling stroke's left edge on this row, rounded on the upper half and mirrored on the
    // lower one so that the cross is symmetric; the rising stroke mirrors it across.
    const int upper = std::min(row, h - 1 - row);
    const int x0 = static_cast<int>(std::lround(static_cast<double>(upper) * (w - t) / (h - 1)));
    const int x = row == upper ? x0 : w - t - x0;
    const int mirror = w - t - x;
    const int a = std::min(x, mirror);
    const int b = std::max(x, mirror);
    if (a + t >= b) {
      out.push_back({left + a, top + row, b + t - a, 1});
    } else {
      out.push_back({left + a, top + row, t, 1});
      out.push_back({left + b, top + row, t, 1});
    }
  }
  return out;
}

}  // namespace brumo::x11
