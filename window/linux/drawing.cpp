#include "window/linux/drawing.h"

#include <algorithm>
#include <cmath>

namespace brumo {

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

}  // namespace brumo
