// What both Linux shells draw beyond the core's layout: the fonts they ask fontconfig for, the
// raised dialog frame around the client area, and the close cross where no Marlett font is
// installed. Nothing here knows a window system.
#pragma once

#include <string_view>
#include <vector>

#include "display/layout.h"

namespace brumo {

// fontconfig family asked for the window's default font. Arial has the dialog font's narrow
// digits and fontconfig's metric aliases give its twin (Liberation Sans, Arimo); where neither is
// installed the desktop's sans face stands in, and the size is fitted to that.
inline constexpr std::string_view kDefaultFamily = "Arial";

// The kind of face each font falls back on where its own family is missing altogether.
inline constexpr std::string_view kPhraseGeneric = "serif";
inline constexpr std::string_view kDefaultGeneric = "sans-serif";

// Pixel size of a font given in points, at `dpi`, for fontconfig's pixelsize.
constexpr double PixelSize(const FontSpec& font, int dpi) {
  return font.points * dpi / 72.0;
}

// The colours of a raised dialog edge around the face (kFallbackFace).
inline constexpr Rgb kEdgeLight{227, 227, 227};
inline constexpr Rgb kEdgeHighlight{255, 255, 255};
inline constexpr Rgb kEdgeShadow{160, 160, 160};
inline constexpr Rgb kEdgeDarkShadow{105, 105, 105};

struct FilledBox {
  Box box;
  Rgb color;
};

// The raised dialog frame of `frame` pixels around a window of width x height pixels, as boxes
// to fill in order: the whole face, then an outer and an inner band, each light on the top and
// left and dark on the bottom and right, the bottom and right ones owning the corners they share.
std::vector<FilledBox> RaisedFrame(int width, int height, int frame, int dpi);

// The close cross drawn where no Marlett font is installed: the same small diagonal cross as
// Marlett's "r", 8 x 7 pixels of two-pixel strokes at 96 dpi, placed one pixel down in the
// glyph's 9 x 9 box, scaled with `dpi`. One box per run of pixels, row by row.
std::vector<Box> CloseCross(const Box& glyph_box, int dpi);

}  // namespace brumo
