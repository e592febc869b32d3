#include "display/time_row.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace brumo {
namespace {

TEST(DigitFit, TheDefaultFontIsTheLargestSizeWhoseDigitsFit) {
  // A font whose digit pairs are 1.2 px wide per pixel of size: 9 px (10.8) fits 11, 10 does not.
  const Box pair = DigitPairBox(ScaleLayout(96));
  ASSERT_EQ(pair.width, 11);
  EXPECT_EQ(FitPixelSize(96, [&](int px) { return px * 1.2 <= pair.width; }), 9);
  // Never larger than the dialog font itself, even when a bigger one would fit.
  EXPECT_EQ(FitPixelSize(96, [](int) { return true; }), 11);
  EXPECT_EQ(FitPixelSize(144, [](int) { return true; }), 17);  // 16.5 rounded
  // Scaled with the box: at 192 dpi the box is 22 px wide and the same font fits at 18.
  const Box pair192 = DigitPairBox(ScaleLayout(192));
  EXPECT_EQ(FitPixelSize(192, [&](int px) { return px * 1.2 <= pair192.width; }), 18);
  // Nothing fits: the smallest size there is, not a loop or zero.
  EXPECT_EQ(FitPixelSize(96, [](int) { return false; }), 1);
}

// Ten digits of one advance that ink [left, right), and a colon.
DigitFace Face(int advance, int left, int right, GlyphInk colon, int height = 12) {
  DigitFace face;
  face.height = height;
  face.digits.fill(GlyphInk{advance, left, right});
  face.colon = colon;
  return face;
}

TEST(DigitFit, EveryPairFitsTheWidthAndTheFaceTheHeight) {
  const Box box = DigitPairBox(ScaleLayout(96));
  DigitFace face = Face(5, 0, 5, {3, 1, 2}, 13);
  EXPECT_TRUE(DigitPairsFit(face, box));
  face.digits[8].advance = 6;  // "88" is 12 px: the dialog face at 8.25 pt
  EXPECT_FALSE(DigitPairsFit(face, box));
  face.digits[8].advance = 5;
  face.height = 14;
  EXPECT_FALSE(DigitPairsFit(face, box));
}

// The columns [left, right) a label's text inks as the shells draw it: aligned in its box, moved
// by its shift, cut at the box.
struct Shown {
  int left, right;
};
Shown Draw(const ScaledLayout& layout, const TextShifts& shifts, const DigitFace& face, LabelId id,
           const std::string& text) {
  const Box& box = layout.boxes[id];
  auto glyph = [&](char c) { return c == ':' ? face.colon : face.digits[c - '0']; };
  int advance = 0;
  for (char c : text) advance += glyph(c).advance;
  int x = TextLeft(box, kLayout[id].align, advance) + shifts[id];
  Shown out{box.right(), box.left};
  for (char c : text) {
    const GlyphInk g = glyph(c);
    out.left = std::min(out.left, std::max(x + g.left, box.left));
    out.right = std::max(out.right, std::min(x + g.right, box.right()));
    x += g.advance;
  }
  return out;
}

std::string TwoDigits(int n) {
  return {char('0' + n / 10), char('0' + n % 10)};
}

// At each resolution, faces like the ones the shells find there: the widest digits that fit,
// inked across their whole advance (smoothed edges), overhanging it by a pixel (hinted), or
// narrow; colons of one to three columns.
TEST(TimeRow, EachColonStandsApartFromTheDigitsBesideItAtAnyTime) {
  for (int dpi : {96, 120, 144, 192}) {
    const ScaledLayout layout = ScaleLayout(dpi);
    const int a = DigitPairBox(layout).width / 2;
    const int dot = std::max(1, a / 4);
    const DigitFace faces[] = {
        Face(a, 0, a, {a / 2, 0, dot + 1}),
        Face(a, 0, a + 1, {a / 2, 1, 1 + dot}),
        Face(a, 1, a - 1, {a / 2, 0, dot}),
    };
    for (const DigitFace& face : faces) {
      const TextShifts shifts = TimeRowShifts(layout, face);
      const Shown sep0 = Draw(layout, shifts, face, kSep0, ":");
      const Shown sep1 = Draw(layout, shifts, face, kSep1, ":");
      const std::string what = std::to_string(dpi) + " dpi, digits inking " +
                               std::to_string(face.digits[0].left) + ".." +
                               std::to_string(face.digits[0].right) + " of " + std::to_string(a);
      // The colons keep their whole ink, within their boxes.
      EXPECT_EQ(sep0.right - sep0.left, face.colon.right - face.colon.left) << what;
      EXPECT_EQ(sep1.right - sep1.left, face.colon.right - face.colon.left) << what;
      for (int n = 0; n < 60; ++n) {
        const std::string digits = TwoDigits(n);
        if (n < 24) {
          const std::string hour = n < 10 ? digits.substr(1) : digits;
          EXPECT_LT(Draw(layout, shifts, face, kOra, hour).right, sep0.left) << what << " " << hour;
        }
        EXPECT_LT(sep0.right, Draw(layout, shifts, face, kMin, digits).left) << what << " " << n;
        EXPECT_LT(Draw(layout, shifts, face, kMin, digits).right, sep1.left) << what << " " << n;
        EXPECT_LT(sep1.right, Draw(layout, shifts, face, kSec, digits).left) << what << " " << n;
      }
    }
  }
}

TEST(TimeRow, TheDigitsMoveOnlyAsFarAsTheColonsNeed) {
  // Small digits and a one-column colon at the left of its advance: each colon's ink goes to its
  // box's middle column, 280 and 294. The hour, inked up to 278, keeps its place; the seconds,
  // from 295, move one column away from the second colon.
  const ScaledLayout layout = ScaleLayout(96);
  const TextShifts shifts = TimeRowShifts(layout, Face(3, 0, 3, {3, 0, 1}));
  EXPECT_EQ(shifts, (TextShifts{0, 0, 1, 0, 1, 1, 0, 0}));
}

TEST(SecondsCells, KeptOnceDrawnCopiedWhileNothingReachingInChanges) {
  using Step = SecondsCells::Step;
  SecondsCells cells(ScaleLayout(96));
  auto step = [&](LabelMask changed, const char* seconds) {
    return cells.PlanRepaint(changed, seconds).step;
  };
  EXPECT_EQ(step(Bit(kSec), "07"), Step::kDrawAndKeep);
  EXPECT_EQ(cells.PlanRepaint(Bit(kSec), "07").cell, 7);
  EXPECT_EQ(step(Bit(kSec), "07"), Step::kCopy);
  // Drawn along with other labels, even the minutes beside them: drawn, and kept again.
  EXPECT_EQ(step(Bit(kSec) | Bit(kMin) | Bit(kScritta), "07"), Step::kDrawAndKeep);
  EXPECT_EQ(step(Bit(kMin), "07"), Step::kDraw);
  EXPECT_EQ(step(Bit(kSec), "07"), Step::kCopy);
  // The date reaches into the seconds' box: a new one forgets every kept box.
  EXPECT_EQ(step(Bit(kData), "07"), Step::kDraw);
  EXPECT_EQ(step(Bit(kSec), "07"), Step::kDrawAndKeep);
  cells.Forget();
  EXPECT_EQ(step(Bit(kSec), "07"), Step::kDrawAndKeep);
  // Only the sixty texts a minute has are kept.
  for (const char* odd : {"60", "7", "x7", "007", ""}) {
    EXPECT_EQ(step(Bit(kSec), odd), Step::kDraw) << odd;
  }
}

}  // namespace
}  // namespace brumo
