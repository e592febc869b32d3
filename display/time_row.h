// The digital time's row, hour, colon, minutes, colon, seconds: the size of the window's default
// font at which its digits fit their boxes, and where each text of the row goes in its box so
// that the colons never merge into the digits beside them. Both shells measure their font and
// ask here; nothing in this file knows a window system.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "display/layout.h"

namespace brumo {

// Where a glyph puts ink, in whole pixels from its origin: the columns [left, right), none when
// right <= left; advance is where the next glyph's origin goes.
struct GlyphInk {
  int advance = 0;
  int left = 0;
  int right = 0;
};

// What a shell measured of the default font at one pixel size.
struct DigitFace {
  int height = 0;                     // ascent + descent
  std::array<GlyphInk, 10> digits{};  // '0' to '9'
  GlyphInk colon{};
};

// The box that two digits of the default font must fit in: the minutes'.
constexpr Box DigitPairBox(const ScaledLayout& layout) {
  return layout.boxes[kMin];
}

// Whether every pair of digits of `face` fits `box`: the two advances within its width, the
// face's height within its height.
bool DigitPairsFit(const DigitFace& face, const Box& box);

// The largest whole pixel size, from the dialog font's size at `dpi` downwards, at which
// `fits(size)` holds; 1 when none does.
template <class Fits>
int FitPixelSize(int dpi, Fits fits) {
  const int start = static_cast<int>(FontPixels(kDefaultFontPoints, dpi) + 0.5);
  for (int size = start; size > 1; --size) {
    if (fits(size)) return size;
  }
  return 1;
}

// How far each label's text is moved across from where its alignment in its box puts it, in
// pixels (negative: to the left).
using TextShifts = std::array<int, kLabelCount>;

// The shifts of the time row for `face`. Each colon's ink is centred in its box, moved out
// only as far as it takes to keep one column of face between it and any pair of minutes; the
// hour then moves left, and the seconds right, by what it takes to keep one column of face
// between the colon and any digit of theirs. Ink is counted as shown, cut at the label's box.
// Every other label keeps its place.
TextShifts TimeRowShifts(const ScaledLayout& layout, const DigitFace& face);

// The seconds' box as drawn for each of its sixty texts, kept by the shell once it has drawn it:
// fifty-nine ticks in sixty change the seconds alone, and those copy the kept box instead of
// drawing. What the box shows depends only on the seconds and on the labels whose boxes reach
// into it (the colon, the date), so a change of one of those forgets every kept box.
class SecondsCells {
 public:
  enum class Step {
    kDraw,         // draw as usual
    kDrawAndKeep,  // draw as usual, then keep the seconds' box in `cell`
    kCopy,         // the seconds alone changed and `cell` holds their box: copy it
  };
  struct Plan {
    Step step = Step::kDraw;
    int cell = -1;
  };

  explicit SecondsCells(const ScaledLayout& layout);

  // The cell of a seconds text, "00" to "59"; -1 for any other.
  static int CellOf(std::string_view seconds);

  // What the repaint of `changed`, with the seconds now showing `seconds`, does with their box.
  Plan PlanRepaint(LabelMask changed, std::string_view seconds);
  // Nothing kept is right any more: the fonts, the buffer or the resolution changed.
  void Forget() { kept_ = 0; }

 private:
  LabelMask reaching_in_ = 0;  // the other labels whose boxes overlap the seconds'
  std::uint64_t kept_ = 0;     // bit n: cell n holds its box
};

}  // namespace brumo
