// Fonts and drawing: the fonts and the back buffer, made at start-up and again when the
// resolution changes, and the repaint of the labels whose text changed.

#include "window/x11/x11_painter.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <algorithm>

#include "window/linux/drawing.h"
#include "window/linux/event_loop.h"

namespace brumo::x11 {
namespace {

XRenderColor RenderColour(Rgb c) {
  // Render colours are 16 bits a channel: 0xff becomes 0xffff.
  return {static_cast<unsigned short>(c.r * 257), static_cast<unsigned short>(c.g * 257),
          static_cast<unsigned short>(c.b * 257), 0xffff};
}

// The intersection of two rectangles; an empty one has width 0.
XRectangle Intersect(const XRectangle& a, const XRectangle& b) {
  const int left = std::max(a.x, b.x);
  const int top = std::max(a.y, b.y);
  const int right = std::min(a.x + a.width, b.x + b.width);
  const int bottom = std::min(a.y + a.height, b.y + b.height);
  if (right <= left || bottom <= top) return {0, 0, 0, 0};
  return {static_cast<short>(left), static_cast<short>(top),
          static_cast<unsigned short>(right - left), static_cast<unsigned short>(bottom - top)};
}

bool SameRects(std::span<const XRectangle> a, std::span<const XRectangle> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const XRectangle& p, const XRectangle& q) {
                      return p.x == q.x && p.y == q.y && p.width == q.width && p.height == q.height;
                    });
}

// The digits and the colon of `font` as it draws them: Xft's extents of one glyph are the pixels
// its bitmap covers, `x` of them left of the origin.
DigitFace MeasureDigits(Display* dpy, XftFont* font) {
  auto measure = [&](char c) {
    XGlyphInfo ext{};
    XftTextExtentsUtf8(dpy, font, reinterpret_cast<const FcChar8*>(&c), 1, &ext);
    return GlyphInk{ext.xOff, -ext.x, ext.width - ext.x};
  };
  DigitFace face;
  face.height = font->ascent + font->descent;
  for (int d = 0; d < 10; ++d) face.digits[static_cast<std::size_t>(d)] = measure(char('0' + d));
  face.colon = measure(':');
  return face;
}

}  // namespace

Painter::Painter(Connection& conn, ::Window window, const ClockWindow& clock)
    : conn_(conn), dpy_(conn.dpy()), window_(window), clock_(clock), layout_(clock.Layout()) {}

Painter::~Painter() {
  if (colours_allocated_) {
    for (XftColor& c : colours_) XftColorFree(dpy_, conn_.visual(), conn_.colormap(), &c);
  }
  // The fonts and the draw go before the display closes; the server frees the rest with the
  // connection.
  FreeBuffers();
  glyph_font_.reset();
  digits_font_.reset();
  phrase_font_.reset();
}

void Painter::FreeBuffers() {
  draw_.reset();
  if (gc_ != nullptr) XFreeGC(dpy_, gc_);
  if (back_ != 0) XFreePixmap(dpy_, back_);
  if (cells_pixmap_ != 0) XFreePixmap(dpy_, cells_pixmap_);
  gc_ = nullptr;
  back_ = cells_pixmap_ = 0;
}

// --- Fonts ---------------------------------------------------------------------------------------

Painter::FontPtr Painter::OpenFont(std::string_view family, std::string_view generic, double pixels,
                                   int weight, std::string* family_got) {
  Display* dpy = dpy_;
  FcPattern* pattern = FcPatternCreate();
  // The family first, then the kind of face to fall back on where it is missing.
  for (std::string_view f : {family, generic}) {
    if (f.empty()) continue;
    const std::string name(f);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  }
  FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixels);
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcResult result{};
  // Applies the desktop's Xft settings and fontconfig's aliases, then picks the closest font.
  FcPattern* match = XftFontMatch(dpy, conn_.screen(), pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return FontPtr(nullptr, FontCloser{dpy});
  if (family_got != nullptr) {
    FcChar8* got = nullptr;
    family_got->clear();
    if (FcPatternGetString(match, FC_FAMILY, 0, &got) == FcResultMatch && got != nullptr) {
      family_got->assign(reinterpret_cast<const char*>(got));
    }
  }
  XftFont* font = XftFontOpenPattern(dpy, match);  // owns `match` from here on
  if (font == nullptr) FcPatternDestroy(match);
  return FontPtr(font, FontCloser{dpy});
}

void Painter::OpenFonts() {
  Display* dpy = dpy_;
  phrase_font_ = OpenFont(kPhraseFont.family, kPhraseGeneric, PixelSize(kPhraseFont, dpi_),
                          kPhraseFont.weight, nullptr);

  // The default font: the largest size at which every pair of digits fits the minutes' box.
  const Box pair_box = DigitPairBox(layout_);
  const int digits_px = FitPixelSize(dpi_, [&](int px) {
    FontPtr font = OpenFont(kDefaultFamily, kDefaultGeneric, px, kDefaultFont.weight, nullptr);
    return font && DigitPairsFit(MeasureDigits(dpy, font.get()), pair_box);
  });
  digits_font_ = OpenFont(kDefaultFamily, kDefaultGeneric, digits_px, kDefaultFont.weight, nullptr);
  if (digits_font_) shifts_ = TimeRowShifts(layout_, MeasureDigits(dpy, digits_font_.get()));

  // fontconfig answers any family with its closest font; only a real Marlett has the cross at "r".
  glyph_font_.reset();
  cross_.clear();
  std::string glyph_family;
  FontPtr glyph = OpenFont(kGlyphFont.family, "", PixelSize(kGlyphFont, dpi_), kGlyphFont.weight,
                           &glyph_family);
  if (glyph && strcasecmp(glyph_family.c_str(), std::string(kGlyphFont.family).c_str()) == 0) {
    glyph_font_ = std::move(glyph);
  } else {
    cross_ = CloseCross(layout_.boxes[kEsci], dpi_);
  }

  if (!phrase_font_ || !digits_font_) {
    throw FatalError("no font available: fontconfig found none to draw the clock with",
                     kExitStartFailed);
  }
}

// The fonts fitted to the layout's resolution, every glyph loaded, and a back buffer of the
// window's size: at start-up and again when the resolution changes.
void Painter::Make(int dpi) {
  dpi_ = dpi;
  width_ = layout_.WindowWidth();
  height_ = layout_.WindowHeight();
  OpenFonts();
  LoadGlyphs();
  ReleaseFontLookup();
  CreateBackBuffer();
}

// Xft keeps up to 16 closed fonts open, their font files mapped, in case they are asked for
// again; the clock asks for each of its fonts once, and closes the ones it tried and left.
void Painter::KeepNoClosedFonts(Connection& conn) {
  // Xft takes that limit only along with all its defaults, which it otherwise reads from the
  // display's resources: so those are read first, and kept.
  FcPattern* defaults = FcPatternCreate();
  XftDefaultSubstitute(conn.dpy(), conn.screen(), defaults);
  FcPatternAddInteger(defaults, XFT_MAX_UNREF_FONTS, 0);
  XftDefaultSet(conn.dpy(), defaults);  // owns `defaults` from here on
}

// Once the fonts are open and their glyphs loaded, fontconfig's configuration and the font
// lists it maps go: drawing needs neither. Were a font looked up again, fontconfig would load
// them again by itself.
void Painter::ReleaseFontLookup() {
  FcConfigSetCurrent(nullptr);
}

// Loads every glyph the labels can show, once: Xft loads a glyph (rendering it and sending it to
// the server) the first time it is drawn, and that must not happen on a tick.
void Painter::LoadGlyphs() {
  Display* dpy = dpy_;
  auto load = [dpy](XftFont* font, std::string_view text) {
    if (font == nullptr || text.empty()) return;
    XGlyphInfo ext{};
    XftTextExtentsUtf8(dpy, font, reinterpret_cast<const FcChar8*>(text.data()),
                       static_cast<int>(text.size()), &ext);
  };
  for (const std::string& hour : clock_.Tables().Ore()) load(phrase_font_.get(), hour);
  for (const std::string& minutes : clock_.Tables().Minuti()) load(phrase_font_.get(), minutes);
  // The digits, the colons and the date with its separator.
  load(digits_font_.get(), "0123456789:");
  load(digits_font_.get(), clock_.Texts()[kData]);
  load(glyph_font_.get(), clock_.Texts()[kEsci]);
}

// The buffer the size of the window and the seconds' cells, made again when the size changes;
// the colours once.
void Painter::CreateBackBuffer() {
  Display* dpy = dpy_;
  FreeBuffers();
  // A new picture: no clip set on it and nothing drawn in it yet.
  clip_count_ = -1;
  ink_ = {};
  back_ = XCreatePixmap(dpy, window_, static_cast<unsigned>(width_), static_cast<unsigned>(height_),
                        static_cast<unsigned>(conn_.depth()));
  const Box& sec = layout_.boxes[kSec];
  cells_pixmap_ =
      XCreatePixmap(dpy, window_, static_cast<unsigned>(sec.width * 60),
                    static_cast<unsigned>(sec.height), static_cast<unsigned>(conn_.depth()));
  cells_ = SecondsCells(layout_);
  XGCValues values{};
  values.graphics_exposures = False;
  gc_ = XCreateGC(dpy, back_, GCGraphicsExposures, &values);
  draw_.reset(XftDrawCreate(dpy, back_, conn_.visual(), conn_.colormap()));
  picture_ = draw_ ? XftDrawPicture(draw_.get()) : 0;
  if (picture_ == 0) {
    throw FatalError("the X server cannot draw the clock: it has no RENDER extension",
                     kExitStartFailed);
  }
  if (colours_allocated_) return;
  const Rgb text_colours[] = {kFallbackFace, kRed, kBlue, kBlack};
  for (int i = 0; i < kColourCount; ++i) {
    const XRenderColor c = RenderColour(text_colours[i]);
    XftColorAllocValue(dpy, conn_.visual(), conn_.colormap(), &c,
                       &colours_[static_cast<std::size_t>(i)]);
  }
  colours_allocated_ = true;
  face_render_ = RenderColour(kFallbackFace);
}

// --- Drawing -----------------------------------------------------------------------------------

void Painter::Repaint(LabelMask labels) {
  Display* dpy = dpy_;
  const SecondsCells::Plan cells = cells_.PlanRepaint(labels, clock_.Texts()[kSec]);
  const XRectangle sec = WindowRect(layout_.boxes[kSec]);
  const int cell_x = cells.cell * sec.width;
  if (cells.step == SecondsCells::Step::kCopy) {
    XCopyArea(dpy, cells_pixmap_, back_, gc_, cell_x, 0, sec.width, sec.height, sec.x, sec.y);
    CopyToWindow(sec.x, sec.y, sec.width, sec.height);
    // Whichever seconds' ink it holds lies within their box.
    ink_[kSec] = sec;
    return;
  }

  // The changed boxes: cleared to the face, then every label that reaches into them redrawn,
  // clipped to them, so that a transparent neighbour's text is never drawn twice over itself.
  std::array<XRectangle, kLabelCount> changed{};
  int n = 0;
  int left = width_, top = height_, right = 0, bottom = 0;
  for (int id = 0; id < kLabelCount; ++id) {
    if (!(labels & Bit(LabelId(id)))) continue;
    const XRectangle r = WindowRect(layout_.boxes[id]);
    changed[static_cast<std::size_t>(n++)] = r;
    left = std::min(left, int{r.x});
    top = std::min(top, int{r.y});
    right = std::max(right, r.x + r.width);
    bottom = std::max(bottom, r.y + r.height);
  }
  if (n == 0) return;
  const std::span<const XRectangle> area(changed.data(), static_cast<std::size_t>(n));
  SetClip(area);
  XRenderFillRectangles(dpy, PictOpSrc, picture_, &face_render_, changed.data(), n);

  const LabelMask todo = WithOverlapping(layout_, labels);
  for (int id = 0; id < kLabelCount; ++id) {
    const LabelId label = LabelId(id);
    if (!(todo & Bit(label))) continue;
    const XRectangle own = WindowRect(layout_.boxes[id]);
    const bool neighbour = !(labels & Bit(label));
    std::array<XRectangle, kLabelCount> clip{};
    int m = 0;
    for (const XRectangle& r : area) {
      const XRectangle part = Intersect(own, r);
      if (part.width == 0) continue;
      // A neighbour whose ink stays out of this part has nothing to redraw there.
      if (neighbour && Intersect(part, ink_[static_cast<std::size_t>(id)]).width == 0) continue;
      clip[static_cast<std::size_t>(m++)] = part;
    }
    if (m == 0) continue;
    SetClip(std::span<const XRectangle>(clip.data(), static_cast<std::size_t>(m)));
    DrawLabel(label);
  }
  if (cells.step == SecondsCells::Step::kDrawAndKeep) {
    XCopyArea(dpy, back_, cells_pixmap_, gc_, sec.x, sec.y, sec.width, sec.height, cell_x, 0);
  }
  CopyToWindow(left, top, right - left, bottom - top);
}

XRectangle Painter::WindowRect(const Box& b) const {
  return {static_cast<short>(b.left + layout_.frame), static_cast<short>(b.top + layout_.frame),
          static_cast<unsigned short>(b.width), static_cast<unsigned short>(b.height)};
}

XftFont* Painter::FontOf(LabelId id) const {
  if (id == kScritta) return phrase_font_.get();
  if (id == kEsci) return glyph_font_.get();
  return digits_font_.get();
}

void Painter::SetClip(std::span<const XRectangle> rects) {
  const std::span<const XRectangle> now(clip_.data(),
                                        static_cast<std::size_t>(std::max(clip_count_, 0)));
  if (clip_count_ >= 0 && SameRects(now, rects)) return;
  std::copy(rects.begin(), rects.end(), clip_.begin());
  clip_count_ = static_cast<int>(rects.size());
  XRenderSetPictureClipRectangles(dpy_, picture_, 0, 0, clip_.data(), clip_count_);
}

// Draws one label into the back buffer, within the clip already set: opaque labels fill their box
// with the face first. Records where the text put ink.
void Painter::DrawLabel(LabelId id) {
  Display* dpy = dpy_;
  const LabelSpec& spec = kLayout[id];
  const XRectangle box = WindowRect(layout_.boxes[id]);
  if (spec.opaque) {
    XRenderFillRectangle(dpy, PictOpSrc, picture_, &face_render_, box.x, box.y, box.width,
                         box.height);
  }
  const XftColor& colour = colours_[spec.color == kRed    ? kRedText
                                    : spec.color == kBlue ? kBlueText
                                                          : kBlackText];
  XftFont* font = FontOf(id);
  if (font == nullptr) {
    // The close glyph without Marlett: the same cross, drawn.
    for (const Box& b : cross_) {
      const XRectangle r = WindowRect(b);
      XRenderFillRectangle(dpy, PictOpSrc, picture_, &colour.color, r.x, r.y, r.width, r.height);
    }
    ink_[id] = box;
    return;
  }
  const std::string_view text = clock_.Texts()[id];
  const auto* utf8 = reinterpret_cast<const FcChar8*>(text.data());
  const int len = static_cast<int>(text.size());
  XGlyphInfo ext{};
  XftTextExtentsUtf8(dpy, font, utf8, len, &ext);
  // Labels put their text at the top of the box, aligned across it; the time row's texts are
  // moved across so that the colons stand apart from the digits.
  const int x = TextLeft(layout_.boxes[id], spec.align, ext.xOff) + shifts_[id] + layout_.frame;
  const int baseline = box.y + font->ascent;
  XftDrawStringUtf8(draw_.get(), &colour, font, x, baseline, utf8, len);
  ink_[id] = {static_cast<short>(x - ext.x), static_cast<short>(baseline - ext.y), ext.width,
              ext.height};
}

void Painter::PaintAll() {
  Display* dpy = dpy_;
  const XRectangle whole{0, 0, static_cast<unsigned short>(width_),
                         static_cast<unsigned short>(height_)};
  SetClip(std::span<const XRectangle>(&whole, 1));
  for (const FilledBox& f : RaisedFrame(width_, height_, layout_.frame, dpi_)) {
    const XRenderColor c = RenderColour(f.color);
    XRenderFillRectangle(dpy, PictOpSrc, picture_, &c, f.box.left, f.box.top,
                         static_cast<unsigned>(f.box.width), static_cast<unsigned>(f.box.height));
  }
  for (const LabelSpec& spec : kLayout) {
    const XRectangle box = WindowRect(layout_.boxes[spec.id]);
    SetClip(std::span<const XRectangle>(&box, 1));
    DrawLabel(spec.id);
  }
  // The whole drawing is also the window's background: the server paints it into whatever it
  // exposes, the first map included, without waiting for the clock to answer an Expose. A
  // compositor that shows the window's first frame and no other until it repaints (weston)
  // shows the clock, not a black box.
  XSetWindowBackgroundPixmap(dpy, window_, back_);
  CopyToWindow(0, 0, width_, height_);
}

void Painter::CopyToWindow(int x, int y, int width, int height) {
  if (!shown_ || width <= 0 || height <= 0) return;
  XCopyArea(dpy_, back_, window_, gc_, x, y, static_cast<unsigned>(width),
            static_cast<unsigned>(height), x, y);
  conn_.WillSend();
}

}  // namespace brumo::x11
