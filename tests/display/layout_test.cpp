#include "display/layout.h"

#include <gtest/gtest.h>

namespace brumo {
namespace {

TEST(Layout, At96DpiEveryBoxIsTheDesignedOne) {
  const ScaledLayout l = ScaleLayout(96);
  EXPECT_EQ(l.client_width, 324);
  EXPECT_EQ(l.client_height, 26);
  EXPECT_EQ(l.frame, 3);
  EXPECT_EQ(l.boxes[kScritta], (Box{0, 1, 257, 25}));
  EXPECT_EQ(l.boxes[kOra], (Box{268, 0, 11, 13}));
  EXPECT_EQ(l.boxes[kSep0], (Box{278, 0, 5, 13}));
  EXPECT_EQ(l.boxes[kMin], (Box{282, 0, 11, 13}));
  EXPECT_EQ(l.boxes[kSep1], (Box{292, 0, 5, 13}));
  EXPECT_EQ(l.boxes[kSec], (Box{295, 0, 13, 13}));
  EXPECT_EQ(l.boxes[kData], (Box{262, 12, 59, 13}));
  EXPECT_EQ(l.boxes[kEsci], (Box{312, 3, 9, 9}));
  EXPECT_EQ(FontPixels(kPhraseFont.points, 96), 21.0);
  EXPECT_EQ(FontPixels(kGlyphFont.points, 96), 9.0);
}

TEST(Layout, HighContrastDrawsEveryTextInTheThemesTextColour) {
  constexpr Rgb kWhite{255, 255, 255};
  const std::array<Rgb, kLabelCount> designed = LabelColors(false, kWhite);
  const std::array<Rgb, kLabelCount> themed = LabelColors(true, kWhite);
  for (const LabelSpec& spec : kLayout) {
    EXPECT_EQ(designed[spec.id], spec.color) << spec.name;
    EXPECT_EQ(themed[spec.id], kWhite) << spec.name;
  }
}

TEST(Layout, ScalesWithTheDisplayResolution) {
  struct Case {
    int dpi;
    int width, height, frame;
    Box ora, esci;
    double phrase_px;
  };
  const Case cases[] = {
      {120, 405, 33, 4, {335, 0, 14, 16}, {390, 4, 11, 11}, 26.25},
      {144, 486, 39, 5, {402, 0, 17, 20}, {468, 5, 14, 13}, 31.5},  // halves round up
      {192, 648, 52, 6, {536, 0, 22, 26}, {624, 6, 18, 18}, 42.0},
  };
  for (const Case& c : cases) {
    const ScaledLayout l = ScaleLayout(c.dpi);
    EXPECT_EQ(l.client_width, c.width) << c.dpi;
    EXPECT_EQ(l.client_height, c.height) << c.dpi;
    EXPECT_EQ(l.frame, c.frame) << c.dpi;
    EXPECT_EQ(l.boxes[kOra], c.ora) << c.dpi;
    EXPECT_EQ(l.boxes[kEsci], c.esci) << c.dpi;
    EXPECT_DOUBLE_EQ(FontPixels(kPhraseFont.points, c.dpi), c.phrase_px) << c.dpi;
  }
}

TEST(Layout, ScaledBoxesKeepTheirNeighbours) {
  for (int dpi : {72, 96, 110, 120, 144, 168, 192, 288}) {
    const ScaledLayout l = ScaleLayout(dpi);
    // Every label stays inside the client area; the glyph overlaps none of them.
    for (int id = 0; id < kLabelCount; ++id) {
      const Box& b = l.boxes[id];
      EXPECT_GE(b.left, 0);
      EXPECT_LE(b.right(), l.client_width) << dpi << " " << id;
      EXPECT_LE(b.bottom(), l.client_height) << dpi << " " << id;
      if (id != kEsci) {
        EXPECT_FALSE(b.Intersects(l.boxes[kEsci])) << dpi << " " << id;
      }
    }
    // From 96 dpi up the digit labels still overlap where they do at 96: hour with colon...
    if (dpi < 96) continue;
    EXPECT_TRUE(l.boxes[kOra].Intersects(l.boxes[kSep0])) << dpi;
    EXPECT_TRUE(l.boxes[kSep0].Intersects(l.boxes[kMin])) << dpi;
    EXPECT_TRUE(l.boxes[kMin].Intersects(l.boxes[kSep1])) << dpi;
    EXPECT_TRUE(l.boxes[kSep1].Intersects(l.boxes[kSec])) << dpi;
    EXPECT_TRUE(l.boxes[kData].Intersects(l.boxes[kMin])) << dpi;
  }
  EXPECT_EQ(ScaleLayout(0).client_width, 324);  // an unknown resolution is taken as 96 dpi
}

TEST(Layout, TextsAlignInTheirBoxes) {
  const Box box{268, 0, 11, 13};
  EXPECT_EQ(TextLeft(box, Align::kLeft, 5), 268);
  EXPECT_EQ(TextLeft(box, Align::kRight, 5), 274);  // ends at the box's right edge
  EXPECT_EQ(TextLeft(box, Align::kRight, 10), 269);
  EXPECT_EQ(TextLeft(box, Align::kCenter, 5), 271);
  EXPECT_EQ(TextLeft(box, Align::kCenter, 11), 268);
}

TEST(HitTest, FindsTheLabelUnderAPoint) {
  const ScaledLayout l = ScaleLayout(96);
  EXPECT_EQ(HitTest(l, 0, 1), kScritta);
  EXPECT_EQ(HitTest(l, 256, 25), kScritta);
  EXPECT_EQ(HitTest(l, 0, 0), std::nullopt);  // the row above the phrase is background
  for (int x = 257; x <= 261; ++x) EXPECT_EQ(HitTest(l, x, 20), std::nullopt) << x;
  EXPECT_EQ(HitTest(l, 270, 5), kOra);
  EXPECT_EQ(HitTest(l, 280, 5), kSep0);
  EXPECT_EQ(HitTest(l, 287, 5), kMin);
  EXPECT_EQ(HitTest(l, 300, 5), kSec);
  EXPECT_EQ(HitTest(l, 290, 20), kData);
  EXPECT_EQ(HitTest(l, 323, 25), std::nullopt);
  EXPECT_EQ(HitTest(l, -1, 5), std::nullopt);
  EXPECT_EQ(HitTest(l, 324, 5), std::nullopt);
}

TEST(HitTest, TheCloseGlyphsBoxIsItsOwn) {
  for (int dpi : {96, 120, 144, 192}) {
    const ScaledLayout l = ScaleLayout(dpi);
    const Box g = l.boxes[kEsci];
    for (int x = g.left; x < g.right(); ++x)
      for (int y = g.top; y < g.bottom(); ++y) ASSERT_EQ(HitTest(l, x, y), kEsci) << x << "," << y;
    EXPECT_NE(HitTest(l, g.left - 1, g.top), kEsci);
    EXPECT_NE(HitTest(l, g.left, g.bottom()), kEsci);
    EXPECT_NE(HitTest(l, g.left, g.top - 1), kEsci);
  }
}

TEST(Repaint, TransparentNeighboursAreRedrawnWithAChangedBox) {
  const ScaledLayout l = ScaleLayout(96);
  EXPECT_EQ(WithOverlapping(l, 0), 0u);
  EXPECT_EQ(WithOverlapping(l, Bit(kSec)), Bit(kSec) | Bit(kSep1) | Bit(kData));
  EXPECT_EQ(WithOverlapping(l, Bit(kOra)), Bit(kOra) | Bit(kSep0) | Bit(kData));
  EXPECT_EQ(WithOverlapping(l, Bit(kScritta)), Bit(kScritta));  // nothing touches the phrase
  EXPECT_EQ(WithOverlapping(l, Bit(kData)) & Bit(kEsci), 0u);
  EXPECT_EQ(WithOverlapping(l, Bit(kData)) & Bit(kScritta), 0u);
}

}  // namespace
}  // namespace brumo
