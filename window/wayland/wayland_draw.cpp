// Fonts and drawing: the fonts fitted to the scale, two shared-memory buffers drawn in turn, and
// the repaint of the labels whose text changed, committed as one change of the surface.

#include <fontconfig/fontconfig.h>
#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "window/wayland/wayland_window.h"

namespace brumo::wayland {
namespace {

// The next code point of UTF-8 `text` at `at`, which moves past it; U+FFFD for a broken one.
std::uint32_t NextCodePoint(std::string_view text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at++);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xf0 ? 3 : lead >= 0xe0 ? 2 : lead >= 0xc0 ? 1 : -1;
  if (extra < 0) return 0xfffd;
  std::uint32_t cp = lead & (0x3f >> extra);
  for (int i = 0; i < extra; ++i) {
    if (at >= text.size() || (byte(at) & 0xc0) != 0x80) return 0xfffd;
    cp = (cp << 6) | (byte(at++) & 0x3f);
  }
  return cp;
}

Box Intersect(const Box& a, const Box& b) {
  const int left = std::max(a.left, b.left);
  const int top = std::max(a.top, b.top);
  const int right = std::min(a.right(), b.right());
  const int bottom = std::min(a.bottom(), b.bottom());
  if (right <= left || bottom <= top) return {0, 0, 0, 0};
  return {left, top, right - left, bottom - top};
}

Box Union(const Box& a, const Box& b) {
  if (a.width <= 0 || a.height <= 0) return b;
  if (b.width <= 0 || b.height <= 0) return a;
  const int left = std::min(a.left, b.left);
  const int top = std::min(a.top, b.top);
  return {left, top, std::max(a.right(), b.right()) - left, std::max(a.bottom(), b.bottom()) - top};
}

std::uint32_t Pixel(Rgb c) {
  return 0xff000000u | std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b;
}

// The colours of the text, in the order of WaylandWindow::colours_.
constexpr std::array<Rgb, 3> kTextColours{kRed, kBlue, kBlack};

// a x b / 255 for bytes, rounded to the nearest as pixman rounds it.
constexpr std::uint32_t MulByte(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t t = a * b + 0x80;
  return (t + (t >> 8)) >> 8;
}

// `colour` laid through a glyph's coverage onto `part` of the x8r8g8b8 `pixels` (`width` a row),
// the part's top-left corner taken from (sx, sy) of the coverage: pixman's OVER of a solid colour
// through an a8 mask, to the same bytes. The seconds' glyphs are drawn this way every second:
// pixman's compositing, its search for a fast path and its regions, kept some 220 kB more of its
// code in the running clock's pages.
void Blend(std::uint32_t* pixels, int width, const Box& part, const std::uint8_t* coverage,
           int stride, int sx, int sy, Rgb colour) {
  for (int y = 0; y < part.height; ++y) {
    const std::uint8_t* cover = coverage + static_cast<std::ptrdiff_t>(sy + y) * stride + sx;
    std::uint32_t* row = pixels + static_cast<std::ptrdiff_t>(part.top + y) * width + part.left;
    for (int x = 0; x < part.width; ++x) {
      const std::uint32_t m = cover[x];
      if (m == 0) continue;
      const std::uint32_t d = row[x];
      const auto channel = [&](int shift, std::uint32_t c) {
        const std::uint32_t v = MulByte((d >> shift) & 0xff, 255 - m) + MulByte(c, m);
        return std::min(v, 0xffu) << shift;
      };
      row[x] = 0xff000000u | channel(16, colour.r) | channel(8, colour.g) | channel(0, colour.b);
    }
  }
}

// A fontconfig name for fcft: the family, the kind of face to fall back on, the size in pixels,
// the weight and an upright slant, as the X11 build asks for them.
std::string FontName(std::string_view family, std::string_view generic, double pixels, int weight) {
  std::string name;
  for (std::string_view f : {family, generic}) {
    if (f.empty()) continue;
    if (!name.empty()) name += ',';
    name += f;
  }
  name += ":pixelsize=" + std::to_string(pixels);
  name += ":weight=" + std::to_string(FcWeightFromOpenType(weight));
  name += ":slant=0";
  return name;
}

fcft_font* OpenFont(std::string_view family, std::string_view generic, double pixels, int weight) {
  return brumo_font_open(FontName(family, generic, pixels, weight).c_str());
}

// Whether fontconfig's closest match for `family` is that very family: it answers any family
// with some font, and only a real Marlett has the close cross at "r".
bool FamilyInstalled(std::string_view family) {
  const std::string name(family);
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result{};
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  bool same = false;
  FcChar8* got = nullptr;
  if (match != nullptr && FcPatternGetString(match, FC_FAMILY, 0, &got) == FcResultMatch) {
    same = strcasecmp(reinterpret_cast<const char*>(got), name.c_str()) == 0;
  }
  if (match != nullptr) FcPatternDestroy(match);
  return same;
}

// The glyph of `cp`; an empty one, drawing nothing and moving nothing, where there is none.
brumo_glyph Glyph(fcft_font* font, std::uint32_t cp) {
  brumo_glyph g{};
  if (!brumo_font_glyph(font, cp, &g)) g = {};
  return g;
}

// The digits and the colon of `font` as it draws them.
DigitFace MeasureDigits(fcft_font* font) {
  auto measure = [font](char c) {
    const brumo_glyph g = Glyph(font, static_cast<unsigned char>(c));
    return GlyphInk{g.advance, g.x, g.x + g.width};
  };
  DigitFace face;
  face.height = brumo_font_ascent(font) + brumo_font_descent(font);
  for (int d = 0; d < 10; ++d) face.digits[static_cast<std::size_t>(d)] = measure(char('0' + d));
  face.colon = measure(':');
  return face;
}

}  // namespace

// --- Fonts ---------------------------------------------------------------------------------------

void WaylandWindow::OpenFonts() {
  phrase_font_.reset(OpenFont(kPhraseFont.family, kPhraseGeneric, PixelSize(kPhraseFont, dpi_),
                              kPhraseFont.weight));
  // The default font: the largest size at which every pair of digits fits the minutes' box.
  const Box pair_box = DigitPairBox(layout_);
  const int digits_px = FitPixelSize(dpi_, [&](int px) {
    Owned<fcft_font> font(OpenFont(kDefaultFamily, kDefaultGeneric, px, kDefaultFont.weight));
    return font && DigitPairsFit(MeasureDigits(font.get()), pair_box);
  });
  digits_font_.reset(OpenFont(kDefaultFamily, kDefaultGeneric, digits_px, kDefaultFont.weight));
  if (digits_font_) shifts_ = TimeRowShifts(layout_, MeasureDigits(digits_font_.get()));

  glyph_font_.reset();
  cross_.clear();
  if (FamilyInstalled(kGlyphFont.family)) {
    glyph_font_.reset(
        OpenFont(kGlyphFont.family, "", PixelSize(kGlyphFont, dpi_), kGlyphFont.weight));
  }
  if (!glyph_font_) cross_ = CloseCross(layout_.boxes[kEsci], dpi_);

  if (!phrase_font_ || !digits_font_) {
    throw FatalError("no font available: fontconfig found none to draw the clock with",
                     kExitStartFailed);
  }
}

// Rasterizes every glyph the labels can show, once: fcft renders a glyph the first time it is
// asked for it, and that must not happen on a tick.
void WaylandWindow::LoadGlyphs() {
  auto load = [](fcft_font* font, std::string_view text) {
    if (font == nullptr) return;
    for (std::size_t at = 0; at < text.size();) Glyph(font, NextCodePoint(text, at));
  };
  for (const std::string& hour : clock_.Tables().Ore()) load(phrase_font_.get(), hour);
  for (const std::string& minutes : clock_.Tables().Minuti()) load(phrase_font_.get(), minutes);
  load(digits_font_.get(), "0123456789:");
  load(digits_font_.get(), clock_.Texts()[kData]);
  load(glyph_font_.get(), clock_.Texts()[kEsci]);
}

// The fonts fitted to the layout's resolution, every glyph rendered, and the colours once.
void WaylandWindow::MakeDrawing() {
  OpenFonts();
  LoadGlyphs();
  // Drawing needs neither fontconfig's configuration nor the font lists it built: they go, some
  // 250 kB of heap. A later change of scale looks the fonts up again, and fontconfig then loads
  // them again by itself.
  FcConfigSetCurrent(nullptr);
  if (colours_[0] != nullptr) return;
  for (std::size_t i = 0; i < colours_.size(); ++i) {
    const Rgb c = kTextColours[i];
    const pixman_color_t colour{static_cast<std::uint16_t>(c.r * 257),
                                static_cast<std::uint16_t>(c.g * 257),
                                static_cast<std::uint16_t>(c.b * 257), 0xffff};
    colours_[i] = pixman_image_create_solid_fill(&colour);
  }
}

// --- Buffers -----------------------------------------------------------------------------------

namespace {

const wl_buffer_listener kBufferListener{
    .release =
        [](void* data, wl_buffer* buffer) {
          static_cast<WaylandWindow*>(data)->OnBufferRelease(buffer);
        },
};

}  // namespace

void WaylandWindow::ReleaseBuffers() {
  for (Buffer& b : buffers_) {
    if (b.image != nullptr) pixman_image_unref(b.image);
    if (b.buffer != nullptr) wl_buffer_destroy(b.buffer);
    b = Buffer{};
  }
  if (pool_ != nullptr) wl_shm_pool_destroy(pool_);
  if (pool_data_ != nullptr) munmap(pool_data_, pool_size_);
  pool_ = nullptr;
  pool_data_ = nullptr;
  front_ = -1;
}

// Two buffers of the surface's pixels in one shared-memory pool, made again when the scale
// changes.
void WaylandWindow::MakeBuffers() {
  ReleaseBuffers();
  stride_ = width_ * 4;
  const std::size_t one = static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_);
  pool_size_ = one * buffers_.size();
  const int fd = memfd_create("brumo", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, static_cast<off_t>(pool_size_)) != 0) {
    const int error = errno;
    if (fd >= 0) close(fd);
    throw FatalError(
        std::string("cannot make the drawing's shared memory: ") + std::strerror(error),
        kExitStartFailed);
  }
  pool_data_ = mmap(nullptr, pool_size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pool_data_ == MAP_FAILED) {
    pool_data_ = nullptr;
    close(fd);
    throw FatalError("cannot map the drawing's shared memory", kExitStartFailed);
  }
  pool_ = wl_shm_create_pool(shm_, fd, static_cast<std::int32_t>(pool_size_));
  close(fd);
  for (std::size_t i = 0; i < buffers_.size(); ++i) {
    Buffer& b = buffers_[i];
    b.pixels = reinterpret_cast<std::uint32_t*>(static_cast<char*>(pool_data_) + i * one);
    b.buffer = wl_shm_pool_create_buffer(pool_, static_cast<std::int32_t>(i * one), width_, height_,
                                         stride_, WL_SHM_FORMAT_XRGB8888);
    wl_buffer_add_listener(b.buffer, &kBufferListener, this);
    b.image = pixman_image_create_bits(PIXMAN_x8r8g8b8, width_, height_, b.pixels, stride_);
    // Nothing drawn in it yet: all of it is to be taken from the other.
    b.stale = {0, 0, width_, height_};
  }
}

void WaylandWindow::OnBufferRelease(wl_buffer* buffer) {
  for (Buffer& b : buffers_) {
    if (b.buffer == buffer) b.busy = false;
  }
  if (waiting_ != 0) {
    const LabelMask labels = waiting_;
    waiting_ = 0;
    Repaint(labels);
  }
}

// --- Drawing -----------------------------------------------------------------------------------

// Within the frame: at a fractional scale the buffer may be a pixel short of the layout.
Box WaylandWindow::Pixels(const Box& b) const {
  const int f = layout_.frame;
  return Intersect({b.left + f, b.top + f, b.width, b.height},
                   {f, f, width_ - 2 * f, height_ - 2 * f});
}

fcft_font* WaylandWindow::FontOf(LabelId id) const {
  if (id == kScritta) return phrase_font_.get();
  if (id == kEsci) return glyph_font_.get();
  return digits_font_.get();
}

pixman_image_t* WaylandWindow::ColourOf(Rgb c) const {
  return colours_[c == kRed ? 0 : c == kBlue ? 1 : 2];
}

// Fills a box of the buffer being drawn (the one after the front) with a colour.
void WaylandWindow::Fill(const Box& box, Rgb colour) {
  const Box b = Intersect(box, {0, 0, width_, height_});
  std::uint32_t* pixels = buffers_[static_cast<std::size_t>((front_ + 1) % 2)].pixels;
  const std::uint32_t value = Pixel(colour);
  for (int y = b.top; y < b.bottom(); ++y) {
    std::uint32_t* row = pixels + static_cast<std::ptrdiff_t>(y) * width_;
    std::fill(row + b.left, row + b.right(), value);
  }
}

// Draws `text` with its pen starting at x on `baseline`, within `clip`; returns its advance and
// widens `ink` by what it drew (when given).
int WaylandWindow::DrawText(fcft_font* font, std::string_view text, int x, int baseline, Rgb colour,
                            const Box& clip, Box* ink) {
  const Buffer& back = buffers_[static_cast<std::size_t>((front_ + 1) % 2)];
  int pen = x;
  for (std::size_t at = 0; at < text.size();) {
    const brumo_glyph g = Glyph(font, NextCodePoint(text, at));
    const Box glyph{pen + g.x, baseline - g.y, g.width, g.height};
    pen += g.advance;
    if (g.image == nullptr) continue;
    if (ink != nullptr) *ink = Union(*ink, glyph);
    const Box part = Intersect(glyph, clip);
    if (part.width == 0) continue;
    const int sx = part.left - glyph.left, sy = part.top - glyph.top;
    if (g.coverage != nullptr) {
      Blend(back.pixels, width_, part, g.coverage, g.stride, sx, sy, colour);
    } else if (g.colour) {
      // A glyph in colour: drawn as it is.
      pixman_image_composite32(PIXMAN_OP_OVER, g.image, nullptr, back.image, sx, sy, 0, 0,
                               part.left, part.top, part.width, part.height);
    } else {
      pixman_image_composite32(PIXMAN_OP_OVER, ColourOf(colour), g.image, back.image, 0, 0, sx, sy,
                               part.left, part.top, part.width, part.height);
    }
  }
  return pen - x;
}

// Draws one label into the buffer being drawn, within `clip`: opaque labels fill their box with
// the face first. Records where the text put ink.
void WaylandWindow::DrawLabel(LabelId id, const Box& clip) {
  const LabelSpec& spec = kLayout[id];
  const Box box = Pixels(layout_.boxes[id]);
  if (spec.opaque) Fill(Intersect(box, clip), kFallbackFace);
  fcft_font* font = FontOf(id);
  if (font == nullptr) {
    // The close glyph without Marlett: the same cross, drawn.
    for (const Box& b : cross_) Fill(Intersect(Pixels(b), clip), spec.color);
    ink_[id] = box;
    return;
  }
  const std::string_view text = clock_.Texts()[id];
  // Measured first: the pen's travel, as Xft's extents give it.
  int advance = 0;
  for (std::size_t at = 0; at < text.size();) {
    advance += Glyph(font, NextCodePoint(text, at)).advance;
  }
  // Labels put their text at the top of the box, aligned across it; the time row's texts are
  // moved across so that the colons stand apart from the digits.
  const int x = TextLeft(layout_.boxes[id], spec.align, advance) + shifts_[id] + layout_.frame;
  Box ink{};
  DrawText(font, text, x, box.top + brumo_font_ascent(font), spec.color, clip, &ink);
  ink_[id] = ink;
}

void WaylandWindow::PaintAll() {
  if (front_ < 0) front_ = 1;  // the first buffer is drawn first
  Buffer& back = buffers_[static_cast<std::size_t>((front_ + 1) % 2)];
  for (const FilledBox& f : RaisedFrame(width_, height_, layout_.frame, dpi_)) Fill(f.box, f.color);
  for (const LabelSpec& spec : kLayout) DrawLabel(spec.id, Pixels(layout_.boxes[spec.id]));
  back.stale = {};
  buffers_[static_cast<std::size_t>(front_)].stale = {0, 0, width_, height_};
  Present({0, 0, width_, height_});
}

void WaylandWindow::Repaint(LabelMask labels) {
  if (front_ < 0) return;  // not shown yet: the first paint draws every label
  Buffer& back = buffers_[static_cast<std::size_t>((front_ + 1) % 2)];
  if (back.busy) {
    // The compositor still reads it: drawn once it lets go.
    waiting_ |= labels;
    return;
  }
  labels |= waiting_;
  waiting_ = 0;
  const Buffer& front = buffers_[static_cast<std::size_t>(front_)];
  // What changed since the buffer was last drawn, taken from the one shown.
  const Box& s = back.stale;
  for (int y = s.top; y < s.bottom(); ++y) {
    const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y) * width_;
    std::copy(front.pixels + row + s.left, front.pixels + row + s.right(),
              back.pixels + row + s.left);
  }
  back.stale = {};

  // The changed boxes: cleared to the face, then every label that reaches into them redrawn,
  // clipped to them, so that a transparent neighbour's text is never drawn twice over itself.
  std::array<Box, kLabelCount> changed{};
  int n = 0;
  Box damage{};
  for (int id = 0; id < kLabelCount; ++id) {
    if (!(labels & Bit(LabelId(id)))) continue;
    const Box r = Pixels(layout_.boxes[id]);
    changed[static_cast<std::size_t>(n++)] = r;
    Fill(r, kFallbackFace);
    damage = Union(damage, r);
  }
  if (n == 0) return;
  const LabelMask todo = WithOverlapping(layout_, labels);
  for (int id = 0; id < kLabelCount; ++id) {
    const LabelId label = LabelId(id);
    if (!(todo & Bit(label))) continue;
    const Box own = Pixels(layout_.boxes[id]);
    const bool neighbour = !(labels & Bit(label));
    const Box ink = ink_[static_cast<std::size_t>(id)];
    for (int i = 0; i < n; ++i) {
      const Box part = Intersect(own, changed[static_cast<std::size_t>(i)]);
      if (part.width == 0) continue;
      // A neighbour whose ink stays out of this part has nothing to redraw there.
      if (neighbour && Intersect(part, ink).width == 0) continue;
      DrawLabel(label, part);
    }
  }
  buffers_[static_cast<std::size_t>(front_)].stale =
      Union(buffers_[static_cast<std::size_t>(front_)].stale, damage);
  Present(damage);
}

// Shows the buffer just drawn: attached, its changed pixels damaged, committed; it becomes the
// front one.
void WaylandWindow::Present(const Box& damage) {
  const int back = (front_ + 1) % 2;
  Buffer& b = buffers_[static_cast<std::size_t>(back)];
  wl_surface_attach(surface_, b.buffer, 0, 0);
  wl_surface_damage_buffer(surface_, damage.left, damage.top, damage.width, damage.height);
  wl_surface_commit(surface_);
  b.busy = true;
  front_ = back;
  committed_ = true;
}

}  // namespace brumo::wayland
