#include "display/icon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace brumo {
namespace {

TEST(Icon, BothSizesAreWellFormedSixteenColourArt) {
  ASSERT_EQ(kIcons.size(), 2u);
  EXPECT_EQ(kIcons[0].size, 32);
  EXPECT_EQ(kIcons[1].size, 16);
  for (const IconArt& art : kIcons) EXPECT_TRUE(IconArtIsWellFormed(art)) << art.size;
  // A malformed row is caught, not read past.
  const std::string_view short_rows[2] = {"..", "."};
  EXPECT_FALSE(IconArtIsWellFormed(IconArt{2, short_rows}));
  const std::string_view bad_char[2] = {"..", ".G"};
  EXPECT_FALSE(IconArtIsWellFormed(IconArt{2, bad_char}));
}

TEST(Icon, PixelsAreOpaquePaletteColoursOrFullyTransparent) {
  for (const IconArt& art : kIcons) {
    std::vector<std::uint32_t> argb(static_cast<std::size_t>(art.size * art.size));
    IconPixels(art, argb);
    int transparent = 0;
    for (std::uint32_t p : argb) {
      if (p == 0) {
        ++transparent;
        continue;
      }
      EXPECT_EQ(p >> 24, 0xFFu);
      EXPECT_NE(std::find(kIconPalette.begin(), kIconPalette.end(), p & 0xFFFFFF),
                kIconPalette.end());
    }
    // A round face: the corners are see-through, the centre is not.
    EXPECT_EQ(argb.front(), 0u) << art.size;
    EXPECT_EQ(argb.back(), 0u) << art.size;
    EXPECT_GT(transparent, 0);
    const std::size_t centre = static_cast<std::size_t>(art.size / 2 * art.size + art.size / 2);
    EXPECT_NE(argb[centre], 0u) << art.size;
  }
}

TEST(Icon, PixelsAreLaidOutRowByRow) {
  // The 16 x 16 art's third row has its top mark at columns 7 and 8, black on white.
  EXPECT_EQ(IconIndex(kIcon16, 7, 2), 0);
  EXPECT_EQ(IconArgb(kIcon16, 7, 2), 0xFF000000u);
  EXPECT_EQ(IconArgb(kIcon16, 5, 2), 0xFFFFFFFFu);
  std::vector<std::uint32_t> argb(16 * 16);
  IconPixels(kIcon16, argb);
  EXPECT_EQ(argb[2 * 16 + 7], 0xFF000000u);
  EXPECT_EQ(argb[2 * 16 + 5], 0xFFFFFFFFu);
}

}  // namespace
}  // namespace brumo
