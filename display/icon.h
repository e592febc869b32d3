// The program's icon: a 16-colour clock face at 32 x 32 and 16 x 16 pixels, drawn as character
// art over the standard 16-colour palette. Every platform builds its icon from these pixels.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace brumo {

// The standard 16-colour palette (the VGA and Windows one), as 0xRRGGBB, in its usual order.
inline constexpr std::array<std::uint32_t, 16> kIconPalette{
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

// In the art, '.' is a transparent pixel and a hexadecimal digit the palette index of an opaque
// one.
inline constexpr char kIconTransparentChar = '.';
inline constexpr int kIconTransparent = -1;

struct IconArt {
  int size;                                // width and height in pixels
  std::span<const std::string_view> rows;  // top row first
};

// A white face in a blue bezel, twelve marks, the hands at ten past ten and a red second hand.
// clang-format off
inline constexpr std::array<std::string_view, 32> kIcon32Rows{{
    "............44444444............",
    ".........444CCCCCCCC444.........",
    ".......44CCCCC8888CCCCC44.......",
    "......44CCC888FFFF888CCC44......",
    ".....4CCC88FFFF00FFFF88CCC4.....",
    "....4CC88FFFFFF00FFFFFF88CC4....",
    "...4CC88FF8FFFF00FFFF8FF88CC4...",
    "..44C88FFFFFFFFFFFFFFFFFF88C44..",
    "..4CC8FFFFFFFFFFFFFFFFFFFF8CC4..",
    ".4CC8FFFFFFFFFFFFFFFFFFFFFF8CC4.",
    ".4CC8F8FFFFFFFFFFFFFFFFF08F8CC4.",
    ".4C8FFFFFFFFFFFFFFFFFF000FFF8C4.",
    "4CC8FFFFF000FFFFFFFF0000FFFF8CC4",
    "4CC8FFFFFF0000FFFFF000FFFFFF8CC4",
    "4C8FFFFFFFF000009000FFFFFFFFF8C4",
    "4C8F000FFFFFF00990FFFFFFF000F8C4",
    "4C8F000FFFFFFFF99FFFFFFFF000F8C4",
    "4C8FFFFFFFFFFFF9FFFFFFFFFFFFF8C4",
    "4CC8FFFFFFFFFF9FFFFFFFFFFFFF8CC4",
    "4CC8FFFFFFFFF9FFFFFFFFFFFFFF8CC4",
    ".4C8FFFFFFFFF9FFFFFFFFFFFFFF8C4.",
    ".4CC8F8FFFFF9FFFFFFFFFFFF8F8CC4.",
    ".4CC8FFFFFFF9FFFFFFFFFFFFFF8CC4.",
    "..4CC8FFFFF9FFFFFFFFFFFFFF8CC4..",
    "..44C88FFFF9FFFFFFFFFFFFF88C44..",
    "...4CC88FF8FFFF00FFFF8FF88CC4...",
    "....4CC88FFFFFF00FFFFFF88CC4....",
    ".....4CCC88FFFF00FFFF88CCC4.....",
    "......44CCC888FFFF888CCC44......",
    ".......44CCCCC8888CCCCC44.......",
    ".........444CCCCCCCC444.........",
    "............44444444............",
}};

inline constexpr std::array<std::string_view, 16> kIcon16Rows{{
    ".....444444.....",
    "...44CCCCCC44...",
    "..4CCFF00FFCC4..",
    ".4CFFFFFFFFFFC4.",
    ".4CFFFFFFFF0FC4.",
    "4CF00FFFFF0FFFC4",
    "4CFFF00FF0FFFFC4",
    "4C0FFFF99FFFF0C4",
    "4C0FFFF99FFFF0C4",
    "4CFFFFFFFFFFFFC4",
    "4CFFFFFFFFFFFFC4",
    ".4CFFFFFFFFFFC4.",
    ".4CFFFFFFFFFFC4.",
    "..4CCFF00FFCC4..",
    "...44CCCCCC44...",
    ".....444444.....",
}};
// clang-format on

inline constexpr IconArt kIcon32{32, kIcon32Rows};
inline constexpr IconArt kIcon16{16, kIcon16Rows};
// Largest first, the order icon formats list their images in.
inline constexpr std::array<IconArt, 2> kIcons{kIcon32, kIcon16};

// The palette index of one art character, or kIconTransparent for '.' and anything that is not
// a hexadecimal digit.
constexpr int IconIndexOf(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return kIconTransparent;
}

// The palette index of the pixel at column x, row y, or kIconTransparent.
constexpr int IconIndex(const IconArt& art, int x, int y) {
  return IconIndexOf(art.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
}

// The pixel as 0xAARRGGBB: opaque palette colours, and 0 (transparent black) for '.'.
constexpr std::uint32_t IconArgb(const IconArt& art, int x, int y) {
  const int index = IconIndex(art, x, y);
  if (index == kIconTransparent) return 0;
  return 0xFF000000u | kIconPalette[static_cast<std::size_t>(index)];
}

// Whether every row is `size` characters of '.' and hexadecimal digits, and there are `size` rows.
constexpr bool IconArtIsWellFormed(const IconArt& art) {
  if (art.rows.size() != static_cast<std::size_t>(art.size)) return false;
  for (std::string_view row : art.rows) {
    if (row.size() != static_cast<std::size_t>(art.size)) return false;
    for (char c : row) {
      if (c != kIconTransparentChar && IconIndexOf(c) == kIconTransparent) return false;
    }
  }
  return true;
}

// Writes the art's size * size ARGB pixels into `out`, row by row, top row first; `out` must hold
// at least that many.
void IconPixels(const IconArt& art, std::span<std::uint32_t> out);

}  // namespace brumo
