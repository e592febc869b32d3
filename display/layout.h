// The clock window's fixed layout: the eight labels with their boxes, texts, colours and fonts,
// scaled from 96 dpi to the display's resolution, and which label a point falls in.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace brumo {

enum LabelId : int { kScritta, kOra, kSep0, kMin, kSep1, kSec, kData, kEsci, kLabelCount };

// One bit per LabelId.
using LabelMask = std::uint32_t;
constexpr LabelMask Bit(LabelId id) {
  return LabelMask{1} << id;
}
inline constexpr LabelMask kAllLabels = (LabelMask{1} << kLabelCount) - 1;

enum class Align { kLeft, kCenter, kRight };

struct Rgb {
  std::uint8_t r, g, b;
  friend constexpr bool operator==(Rgb, Rgb) = default;
};

// `family` empty means the window's default font (the platform's dialog font).
struct FontSpec {
  std::string_view family;
  double points;
  int weight;
  int charset;  // 0 Western, 2 symbol
};

struct Box {
  int left, top, width, height;
  constexpr int right() const { return left + width; }   // exclusive
  constexpr int bottom() const { return top + height; }  // exclusive
  constexpr bool Contains(int x, int y) const {
    return x >= left && x < right() && y >= top && y < bottom();
  }
  constexpr bool Intersects(const Box& o) const {
    return left < o.right() && o.left < right() && top < o.bottom() && o.top < bottom();
  }
  friend constexpr bool operator==(const Box&, const Box&) = default;
};

struct LabelSpec {
  LabelId id;
  std::string_view name;
  Box box;  // pixels at 96 dpi, within the client area
  std::string_view design_text;
  Align align;
  Rgb color;
  FontSpec font;
  bool opaque;  // fills its box with the face colour; the others draw only their text
};

inline constexpr int kDesignDpi = 96;
inline constexpr int kTwipsPerInch = 1440;  // the design unit: 15 per pixel at 96 dpi
inline constexpr int kClientWidth = 324;
inline constexpr int kClientHeight = 26;
inline constexpr int kFrameWidth = 3;               // the thin dialog frame on every side
inline constexpr double kDefaultFontPoints = 8.25;  // the dialog font's usual size
inline constexpr int kTimerMilliseconds = 100;

inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kFallbackFace{240, 240, 240};  // where the system has no dialog face colour

inline constexpr FontSpec kPhraseFont{"Times New Roman", 15.75, 400, 0};
inline constexpr FontSpec kDefaultFont{"", kDefaultFontPoints, 400, 0};
inline constexpr FontSpec kGlyphFont{"Marlett", 6.75, 500, 2};

inline constexpr std::array<LabelSpec, kLabelCount> kLayout{{
    {kScritta, "Scritta", {0, 1, 257, 25}, "", Align::kCenter, kRed, kPhraseFont, true},
    {kOra, "lOra", {268, 0, 11, 13}, "", Align::kRight, kBlue, kDefaultFont, false},
    {kSep0, "lSep(0)", {278, 0, 5, 13}, ":", Align::kCenter, kBlue, kDefaultFont, false},
    {kMin, "lMin", {282, 0, 11, 13}, "", Align::kCenter, kBlue, kDefaultFont, false},
    {kSep1, "lSep(1)", {292, 0, 5, 13}, ":", Align::kCenter, kBlue, kDefaultFont, false},
    {kSec, "lSec", {295, 0, 13, 13}, "", Align::kLeft, kBlue, kDefaultFont, false},
    {kData, "lData", {262, 12, 59, 13}, "", Align::kCenter, kBlue, kDefaultFont, false},
    {kEsci, "lEsci", {312, 3, 9, 9}, "r", Align::kLeft, kBlack, kGlyphFont, true},
}};

// The colours the labels' texts are drawn in, on the system's face colour: each label's own as
// designed; under a high-contrast theme, every one in the theme's button-text colour, which it
// sets to stand out from its face.
constexpr std::array<Rgb, kLabelCount> LabelColors(bool high_contrast, Rgb button_text) {
  std::array<Rgb, kLabelCount> colors{};
  for (const LabelSpec& spec : kLayout) colors[spec.id] = high_contrast ? button_text : spec.color;
  return colors;
}

// Left edge of a text `advance` pixels wide aligned in `box`; a centred text's odd pixel goes to
// its right.
constexpr int TextLeft(const Box& box, Align align, int advance) {
  switch (align) {
    case Align::kLeft:
      return box.left;
    case Align::kRight:
      return box.right() - advance;
    case Align::kCenter:
      break;
  }
  return box.left + (box.width - advance) / 2;
}

// A length in 96-dpi pixels at `dpi`, through the design unit, rounded to the nearest pixel.
int ScaleToDpi(int px96, int dpi);

// A box scaled edge by edge, so that boxes that touch or overlap at 96 dpi still do.
Box ScaleBox(const Box& box96, int dpi);

// The pixel size of a font of `points` at `dpi`.
double FontPixels(double points, int dpi);

struct ScaledLayout {
  int dpi = kDesignDpi;
  int client_width = kClientWidth;
  int client_height = kClientHeight;
  int frame = kFrameWidth;
  std::array<Box, kLabelCount> boxes{};

  // The whole window, the frame drawn around the client area included.
  int WindowWidth() const { return client_width + 2 * frame; }
  int WindowHeight() const { return client_height + 2 * frame; }
};

// The layout at `dpi`; a dpi below 1 is taken as 96.
ScaledLayout ScaleLayout(int dpi);

// The label under a client-area point, or nothing for the window background. The close glyph's
// box is its own: no other label answers inside it.
std::optional<LabelId> HitTest(const ScaledLayout& layout, int x, int y);

// The labels to draw when the boxes of `changed` are repainted: those labels and every label
// whose box overlaps one of theirs.
LabelMask WithOverlapping(const ScaledLayout& layout, LabelMask changed);

}  // namespace brumo
