#include "display/time_row.h"

#include <algorithm>
#include <climits>

namespace brumo {
namespace {

// Columns [left, right) that hold ink; empty when right <= left.
struct Span {
  int left = INT_MAX;
  int right = INT_MIN;
  void Add(int l, int r) {
    if (r <= l) return;
    left = std::min(left, l);
    right = std::max(right, r);
  }
  bool empty() const { return right <= left; }
};

// `ink` of a glyph whose origin is at `x`, cut at `box` as the label shows it.
void AddInk(Span& span, const GlyphInk& ink, int x, const Box& box) {
  span.Add(std::max(x + ink.left, box.left), std::min(x + ink.right, box.right()));
}

}  // namespace

bool DigitPairsFit(const DigitFace& face, const Box& box) {
  if (face.height > box.height) return false;
  for (const GlyphInk& a : face.digits) {
    for (const GlyphInk& b : face.digits) {
      if (a.advance + b.advance > box.width) return false;
    }
  }
  return true;
}

TextShifts TimeRowShifts(const ScaledLayout& layout, const DigitFace& face) {
  TextShifts shifts{};
  const Box& hour = layout.boxes[kOra];
  const Box& minutes = layout.boxes[kMin];
  const Box& seconds = layout.boxes[kSec];
  const GlyphInk& colon = face.colon;

  // The minutes' ink, whichever two digits they show.
  Span pairs;
  for (const GlyphInk& a : face.digits) {
    for (const GlyphInk& b : face.digits) {
      const int x = TextLeft(minutes, kLayout[kMin].align, a.advance + b.advance);
      AddInk(pairs, a, x, minutes);
      AddInk(pairs, b, x + a.advance, minutes);
    }
  }

  // Each colon's origin: its ink centred in its box, then kept clear of the minutes.
  const int colon_width = std::max(colon.right - colon.left, 0);
  auto centred = [&](const Box& box) {
    return box.left + (box.width - colon_width) / 2 - colon.left;
  };
  int first = centred(layout.boxes[kSep0]);
  int second = centred(layout.boxes[kSep1]);
  if (!pairs.empty() && colon_width > 0) {
    first = std::min(first, pairs.left - 1 - colon.right);
    second = std::max(second, pairs.right + 1 - colon.left);
  }
  shifts[kSep0] = first - TextLeft(layout.boxes[kSep0], kLayout[kSep0].align, colon.advance);
  shifts[kSep1] = second - TextLeft(layout.boxes[kSep1], kLayout[kSep1].align, colon.advance);
  if (colon_width == 0) return shifts;

  // The hour's last digit and the seconds' first, whichever they are.
  Span hour_end, seconds_start;
  for (const GlyphInk& d : face.digits) {
    AddInk(hour_end, d, TextLeft(hour, kLayout[kOra].align, d.advance), hour);
    AddInk(seconds_start, d, TextLeft(seconds, kLayout[kSec].align, d.advance), seconds);
  }
  if (!hour_end.empty()) {
    shifts[kOra] = std::min(0, first + colon.left - 1 - hour_end.right);
  }
  if (!seconds_start.empty()) {
    shifts[kSec] = std::max(0, second + colon.right + 1 - seconds_start.left);
  }
  return shifts;
}

SecondsCells::SecondsCells(const ScaledLayout& layout)
    : reaching_in_(WithOverlapping(layout, Bit(kSec)) & ~Bit(kSec)) {}

int SecondsCells::CellOf(std::string_view seconds) {
  if (seconds.size() != 2 || seconds[0] < '0' || seconds[0] > '5' || seconds[1] < '0' ||
      seconds[1] > '9') {
    return -1;
  }
  return (seconds[0] - '0') * 10 + (seconds[1] - '0');
}

SecondsCells::Plan SecondsCells::PlanRepaint(LabelMask changed, std::string_view seconds) {
  if (changed & reaching_in_) kept_ = 0;
  const int cell = CellOf(seconds);
  if (!(changed & Bit(kSec)) || cell < 0) return {};
  const std::uint64_t bit = std::uint64_t{1} << cell;
  if (changed == Bit(kSec) && (kept_ & bit)) return {Step::kCopy, cell};
  kept_ |= bit;
  return {Step::kDrawAndKeep, cell};
}

}  // namespace brumo
