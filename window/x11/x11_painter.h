// Fonts and drawing: the fonts fitted to the layout, a back buffer the size of the window that
// every repaint draws into, and the copy of what changed to the window.
#pragma once

#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "display/time_row.h"
#include "window/clock_window.h"
#include "window/x11/x11_connection.h"

namespace brumo::x11 {

class Painter {
 public:
  // Draws `clock`'s texts into `window`, laid out as the clock is. Nothing is made until Make.
  Painter(Connection& conn, ::Window window, const ClockWindow& clock);
  ~Painter();
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;

  // Xft keeps closed fonts open for a while, their files mapped: the clock keeps none.
  static void KeepNoClosedFonts(Connection& conn);

  // The fonts fitted to the layout at `dpi`, every glyph loaded, and a back buffer of the
  // window's size: at start-up and again when the resolution changes. Throws FatalError.
  void Make(int dpi);
  // Draws everything into the back buffer, makes it the window's background, and copies it.
  void PaintAll();
  // Redraws the given labels (and whatever they overlap), and copies what changed.
  void Repaint(LabelMask labels);
  // Copies a part of the back buffer to the window, once it is shown.
  void CopyToWindow(int x, int y, int width, int height);
  void SetShown(bool shown) { shown_ = shown; }

  int width() const { return width_; }
  int height() const { return height_; }

 private:
  struct FontCloser {
    Display* dpy;
    void operator()(XftFont* font) const { XftFontClose(dpy, font); }
  };
  struct DrawDestroyer {
    void operator()(XftDraw* draw) const { XftDrawDestroy(draw); }
  };
  using FontPtr = std::unique_ptr<XftFont, FontCloser>;

  // Colours the window draws with, allocated once.
  enum Colour : int { kFace, kRedText, kBlueText, kBlackText, kColourCount };

  FontPtr OpenFont(std::string_view family, std::string_view generic, double pixels, int weight,
                   std::string* family_got);
  void OpenFonts();
  void LoadGlyphs();
  static void ReleaseFontLookup();
  void CreateBackBuffer();
  void FreeBuffers();
  void DrawLabel(LabelId id);
  void SetClip(std::span<const XRectangle> rects);
  XRectangle WindowRect(const Box& client_box) const;
  XftFont* FontOf(LabelId id) const;

  Connection& conn_;
  Display* dpy_;
  ::Window window_;
  const ClockWindow& clock_;
  const ScaledLayout& layout_;
  int dpi_ = kDesignDpi;
  int width_ = 0, height_ = 0;  // the whole window, frame included
  bool shown_ = false;

  Pixmap back_ = 0;
  // The seconds' box as drawn for each of the sixty seconds, side by side, and which are kept.
  Pixmap cells_pixmap_ = 0;
  SecondsCells cells_{layout_};
  GC gc_ = nullptr;
  std::unique_ptr<XftDraw, DrawDestroyer> draw_;
  Picture picture_ = 0;  // the back buffer's Render picture, behind draw_
  FontPtr phrase_font_;
  FontPtr digits_font_;
  FontPtr glyph_font_;  // only when a font named exactly Marlett is installed
  std::array<XftColor, kColourCount> colours_{};
  bool colours_allocated_ = false;
  XRenderColor face_render_{};
  std::vector<Box> cross_;  // the drawn close cross, where there is no Marlett
  TextShifts shifts_{};     // where the time row's texts go, for digits_font_

  // Clip rectangles now set on picture_, so that an unchanged clip is not sent again.
  std::array<XRectangle, kLabelCount> clip_{};
  int clip_count_ = -1;
  // Where each label's text last put ink, in window coordinates: a transparent neighbour of a
  // changed label is redrawn only if its ink reaches into the changed box.
  std::array<XRectangle, kLabelCount> ink_{};
};

}  // namespace brumo::x11
