#include "display/layout.h"

#include <cmath>

namespace brumo {

int ScaleToDpi(int px96, int dpi) {
  const long long twips = static_cast<long long>(px96) * (kTwipsPerInch / kDesignDpi);
  const long long scaled = twips * dpi;
  // Round half away from zero.
  const long long half = kTwipsPerInch / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch
                                      : -((-scaled + half) / kTwipsPerInch));
}

Box ScaleBox(const Box& b, int dpi) {
  const int left = ScaleToDpi(b.left, dpi);
  const int top = ScaleToDpi(b.top, dpi);
  return {left, top, ScaleToDpi(b.right(), dpi) - left, ScaleToDpi(b.bottom(), dpi) - top};
}

double FontPixels(double points, int dpi) {
  return points * dpi / 72.0;
}

ScaledLayout ScaleLayout(int dpi) {
  if (dpi < 1) dpi = kDesignDpi;
  ScaledLayout out;
  out.dpi = dpi;
  out.client_width = ScaleToDpi(kClientWidth, dpi);
  out.client_height = ScaleToDpi(kClientHeight, dpi);
  out.frame = ScaleToDpi(kFrameWidth, dpi);
  for (const LabelSpec& spec : kLayout) out.boxes[spec.id] = ScaleBox(spec.box, dpi);
  return out;
}

std::optional<LabelId> HitTest(const ScaledLayout& layout, int x, int y) {
  if (layout.boxes[kEsci].Contains(x, y)) return kEsci;
  for (const LabelSpec& spec : kLayout) {
    if (layout.boxes[spec.id].Contains(x, y)) return spec.id;
  }
  return std::nullopt;
}

LabelMask WithOverlapping(const ScaledLayout& layout, LabelMask changed) {
  LabelMask out = changed;
  for (int a = 0; a < kLabelCount; ++a) {
    if (!(changed & Bit(LabelId(a)))) continue;
    for (int b = 0; b < kLabelCount; ++b) {
      if (layout.boxes[a].Intersects(layout.boxes[b])) out |= Bit(LabelId(b));
    }
  }
  return out;
}

}  // namespace brumo
