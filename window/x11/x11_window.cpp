#include "window/x11/x11_window.h"

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <fontconfig/fontconfig.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "display/icon.h"

namespace brumo::x11 {
namespace {

std::int64_t MonotonicNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

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

// The resource database's Xft.dpi, the DPI that every Xft client on the display draws with.
int ReadXftDpi(Display* dpy) {
  const char* resources = XResourceManagerString(dpy);
  if (resources == nullptr) return kDesignDpi;
  XrmInitialize();
  XrmDatabase db = XrmGetStringDatabase(resources);
  if (db == nullptr) return kDesignDpi;
  char* type = nullptr;
  XrmValue value{};
  int dpi = kDesignDpi;
  if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
    dpi = DpiFromResource(value.addr);
  }
  XrmDestroyDatabase(db);
  return dpi;
}

Display* OpenDisplay() {
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    const char* name = XDisplayName(nullptr);
    throw FatalError(name != nullptr && *name != '\0'
                         ? std::string("cannot open display \"") + name + "\""
                         : std::string("cannot open display: DISPLAY is not set"),
                     kExitNoDisplay);
  }
  return dpy;
}

}  // namespace

// --- Close signals -----------------------------------------------------------------------------

CloseSignals::CloseSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  // Blocked before anything else, so that a signal arriving during start-up waits for the loop.
  sigprocmask(SIG_BLOCK, &set, nullptr);
  fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd_ < 0) {
    throw FatalError(std::string("cannot watch for signals: ") + std::strerror(errno),
                     kExitStartFailed);
  }
}

CloseSignals::~CloseSignals() {
  if (fd_ >= 0) close(fd_);
}

bool CloseSignals::Drain() {
  signalfd_siginfo info{};
  bool any = false;
  while (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) any = true;
  return any;
}

// --- Creation ----------------------------------------------------------------------------------

X11Window::X11Window()
    : dpy_(OpenDisplay()),
      screen_(DefaultScreen(dpy_.get())),
      root_(RootWindow(dpy_.get(), screen_)),
      visual_(DefaultVisual(dpy_.get(), screen_)),
      colormap_(DefaultColormap(dpy_.get(), screen_)),
      depth_(DefaultDepth(dpy_.get(), screen_)),
      dpi_(ReadXftDpi(dpy_.get())),
      clock_(*this, dpi_, UserDateSeparator().view()),
      layout_(clock_.Layout()),
      width_(layout_.client_width + 2 * layout_.frame),
      height_(layout_.client_height + 2 * layout_.frame) {
  // Every atom in one round trip: the fixed ones, then this screen's two selections.
  const std::string instance(InstanceSelectionName(screen_).view());
  const std::string manager(WindowManagerSelectionName(screen_).view());
  std::array<char*, kAtomCount + 2> names{};
  // XInternAtoms takes char** but only reads the names.
  std::transform(kAtomNames.begin(), kAtomNames.end(), names.begin(),
                 [](const char* name) { return const_cast<char*>(name); });
  names[kAtomCount] = const_cast<char*>(instance.c_str());
  names[kAtomCount + 1] = const_cast<char*>(manager.c_str());
  std::array<::Atom, kAtomCount + 2> atoms{};
  XInternAtoms(dpy_.get(), names.data(), static_cast<int>(names.size()), False, atoms.data());
  std::copy_n(atoms.begin(), kAtomCount, atoms_.begin());
  instance_selection_ = atoms[kAtomCount];
  wm_selection_ = atoms[kAtomCount + 1];
  CreateWindow();
  SetWindowManagerHints();
}

X11Window::~X11Window() {
  Display* dpy = dpy_.get();
  if (dpy == nullptr) return;
  if (colours_allocated_) {
    for (XftColor& c : colours_) XftColorFree(dpy, visual_, colormap_, &c);
  }
  // The fonts and the draw go before the display closes; the server frees the rest with the
  // connection.
  draw_.reset();
  glyph_font_.reset();
  digits_font_.reset();
  phrase_font_.reset();
  if (gc_ != nullptr) XFreeGC(dpy, gc_);
  if (back_ != 0) XFreePixmap(dpy, back_);
  if (window_ != 0) XDestroyWindow(dpy, window_);
}

void X11Window::CreateWindow() {
  XSetWindowAttributes attrs{};
  // No background: the server never clears what the back buffer is about to cover.
  attrs.background_pixmap = None;
  attrs.border_pixel = 0;
  attrs.colormap = colormap_;
  attrs.event_mask =
      ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask;
  window_ = XCreateWindow(dpy_.get(), root_, 0, 0, static_cast<unsigned>(width_),
                          static_cast<unsigned>(height_), 0, depth_, InputOutput, visual_,
                          CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attrs);
}

void X11Window::SetWindowManagerHints() {
  Display* dpy = dpy_.get();
  static constexpr char kName[] = "brumo";
  static constexpr char kClass[] = "Brumo";

  // ICCCM: name, class, size (fixed: minimum = maximum), input, protocols, client machine.
  XTextProperty name{};
  name.value = reinterpret_cast<unsigned char*>(const_cast<char*>(kName));
  name.encoding = XA_STRING;
  name.format = 8;
  name.nitems = sizeof kName - 1;
  XSizeHints size{};
  size.flags = PMinSize | PMaxSize;
  size.min_width = size.max_width = width_;
  size.min_height = size.max_height = height_;
  XWMHints wm{};
  wm.flags = InputHint | StateHint;
  wm.input = True;
  wm.initial_state = NormalState;
  XClassHint class_hint{const_cast<char*>(kName), const_cast<char*>(kClass)};
  // Also sets WM_CLIENT_MACHINE, which _NET_WM_PID needs to mean anything.
  XSetWMProperties(dpy, window_, &name, &name, nullptr, 0, &size, &wm, &class_hint);
  XChangeProperty(dpy, window_, atoms_[kNetWmName], atoms_[kUtf8String], 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(kName), sizeof kName - 1);
  ::Atom protocols[] = {atoms_[kWmDeleteWindow]};
  XSetWMProtocols(dpy, window_, protocols, 1);

  // EWMH: process, type, icon, states.
  const long pid = static_cast<long>(getpid());
  XChangeProperty(dpy, window_, atoms_[kNetWmPid], XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  const long type = static_cast<long>(atoms_[kNetWmWindowTypeUtility]);
  XChangeProperty(dpy, window_, atoms_[kNetWmWindowType], XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&type), 1);

  // _NET_WM_ICON: width, height and ARGB pixels of each size, one CARDINAL (a long) each.
  std::vector<long> icon;
  for (const IconArt& art : kIcons) {
    icon.push_back(art.size);
    icon.push_back(art.size);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(art.size * art.size));
    IconPixels(art, pixels);
    icon.insert(icon.end(), pixels.begin(), pixels.end());
  }
  XChangeProperty(dpy, window_, atoms_[kNetWmIcon], XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(icon.data()),
                  static_cast<int>(icon.size()));

  // Motif: no decorations; the window draws its own frame.
  XChangeProperty(dpy, window_, atoms_[kMotifWmHints], atoms_[kMotifWmHints], 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(kMotifNoDecorations.data()),
                  static_cast<int>(kMotifNoDecorations.size()));
  SetNetWmState(false);
}

// Writes _NET_WM_STATE as a property: how a window that is not mapped yet asks for its states.
void X11Window::SetNetWmState(bool above) {
  const NetWmStateList states = NetWmStates(above);
  std::array<long, 3> values{};
  for (std::size_t i = 0; i < static_cast<std::size_t>(states.count); ++i) {
    values[i] = static_cast<long>(atoms_[states.atoms[i]]);
  }
  XChangeProperty(dpy_.get(), window_, atoms_[kNetWmState], XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values.data()), states.count);
}

X11Window::FontPtr X11Window::OpenFont(std::string_view family, std::string_view generic,
                                       double pixels, int weight, std::string* family_got) {
  Display* dpy = dpy_.get();
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
  FcPattern* match = XftFontMatch(dpy, screen_, pattern, &result);
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

void X11Window::OpenFonts() {
  Display* dpy = dpy_.get();
  phrase_font_ = OpenFont(kPhraseFont.family, kPhraseGeneric, PixelSize(kPhraseFont, dpi_),
                          kPhraseFont.weight, nullptr);

  // The default font: the largest size at which every pair of digits fits the minutes' box.
  const Box pair_box = DigitPairBox(layout_);
  const int digits_px = FitPixelSize(dpi_, [&](int px) {
    FontPtr font = OpenFont(kDefaultFamily, kDefaultGeneric, px, kDefaultFont.weight, nullptr);
    if (!font) return false;
    if (font->ascent + font->descent > pair_box.height) return false;
    char pair[2];
    for (char a = '0'; a <= '9'; ++a) {
      for (char b = '0'; b <= '9'; ++b) {
        pair[0] = a;
        pair[1] = b;
        XGlyphInfo ext{};
        XftTextExtentsUtf8(dpy, font.get(), reinterpret_cast<const FcChar8*>(pair), 2, &ext);
        if (ext.xOff > pair_box.width) return false;
      }
    }
    return true;
  });
  digits_font_ = OpenFont(kDefaultFamily, kDefaultGeneric, digits_px, kDefaultFont.weight, nullptr);

  // fontconfig answers any family with its closest font; only a real Marlett has the cross at "r".
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

// Loads every glyph the labels can show, once: Xft loads a glyph (rendering it and sending it to
// the server) the first time it is drawn, and that must not happen on a tick.
void X11Window::LoadGlyphs() {
  Display* dpy = dpy_.get();
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

void X11Window::CreateBackBuffer() {
  Display* dpy = dpy_.get();
  back_ = XCreatePixmap(dpy, window_, static_cast<unsigned>(width_), static_cast<unsigned>(height_),
                        static_cast<unsigned>(depth_));
  XGCValues values{};
  values.graphics_exposures = False;
  gc_ = XCreateGC(dpy, back_, GCGraphicsExposures, &values);
  draw_.reset(XftDrawCreate(dpy, back_, visual_, colormap_));
  picture_ = draw_ ? XftDrawPicture(draw_.get()) : 0;
  if (picture_ == 0) {
    throw FatalError("the X server cannot draw the clock: it has no RENDER extension",
                     kExitStartFailed);
  }
  const Rgb text_colours[] = {kFallbackFace, kRed, kBlue, kBlack};
  for (int i = 0; i < kColourCount; ++i) {
    const XRenderColor c = RenderColour(text_colours[i]);
    XftColorAllocValue(dpy, visual_, colormap_, &c, &colours_[static_cast<std::size_t>(i)]);
  }
  colours_allocated_ = true;
  face_render_ = RenderColour(kFallbackFace);
}

void X11Window::Map() {
  XMapWindow(dpy_.get(), window_);
  mapped_ = true;
  XFlush(dpy_.get());
}

// --- Shell -------------------------------------------------------------------------------------

// One copy per display screen: the running copy owns the selection _BRUMO_S<screen>. The server
// makes the look-and-take atomic under a grab, drops the ownership by itself when the owner's
// connection closes, however the program ended, and only clients allowed onto the user's own
// display can hold it; so no lock file can go stale or be squatted by another local user.
bool X11Window::AnotherCopyRunning() {
  Display* dpy = dpy_.get();
  XGrabServer(dpy);
  if (XGetSelectionOwner(dpy, instance_selection_) == None) {
    XSetSelectionOwner(dpy, instance_selection_, window_, CurrentTime);
  }
  XUngrabServer(dpy);
  return XGetSelectionOwner(dpy, instance_selection_) != window_;
}

void X11Window::OnTop(NativeHandle handle, bool flag) {
  if (!mapped_) {
    // Before the first map the property itself is the request (EWMH), so the window is topmost
    // from its first frame.
    SetNetWmState(flag);
    return;
  }
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = static_cast<::Window>(handle);
  ev.xclient.message_type = atoms_[kNetWmState];
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = flag ? kNetWmStateAdd : kNetWmStateRemove;
  ev.xclient.data.l[1] = static_cast<long>(atoms_[kNetWmStateAbove]);
  ev.xclient.data.l[2] = 0;
  ev.xclient.data.l[3] = kSourceApplication;
  XSendEvent(dpy_.get(), root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  flush_ = true;
}

// Whether a window manager runs and does interactive moves on request (_NET_WM_MOVERESIZE).
// A manager that ended may leave its _NET_SUPPORTED behind, but never its WM_Sn selection.
bool X11Window::WindowManagerMoves() {
  Display* dpy = dpy_.get();
  if (XGetSelectionOwner(dpy, wm_selection_) == None) return false;
  ::Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(dpy, root_, atoms_[kNetSupported], 0, 4096, False, XA_ATOM, &type, &format,
                         &count, &after, &data) == Success &&
      data != nullptr) {
    if (type == XA_ATOM && format == 32) {
      const auto* atoms = reinterpret_cast<const ::Atom*>(data);
      found = std::find(atoms, atoms + count, atoms_[kNetWmMoveResize]) != atoms + count;
    }
    XFree(data);
  }
  return found;
}

void X11Window::Sposta() {
  Display* dpy = dpy_.get();
  if (WindowManagerMoves()) {
    // Give up the press's implicit grab so that the window manager can take the pointer.
    XUngrabPointer(dpy, press_.time);
    SendMoveResize(kMoveResizeMove);
    handed_move_ = {true, press_.button};
    XFlush(dpy);
    return;
  }
  // No window manager to hand the move to: keep the press's grab and follow the pointer until
  // the button comes up.
  int x = 0, y = 0;
  ::Window child = 0;
  XTranslateCoordinates(dpy, window_, root_, 0, 0, &x, &y, &child);
  own_move_ = {true, press_.button, press_.x_root, press_.y_root, x, y};
}

// Sends the window manager a _NET_WM_MOVERESIZE request for the press being handled.
void X11Window::SendMoveResize(long direction) {
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = window_;
  ev.xclient.message_type = atoms_[kNetWmMoveResize];
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = press_.x_root;
  ev.xclient.data.l[1] = press_.y_root;
  ev.xclient.data.l[2] = direction;
  ev.xclient.data.l[3] = static_cast<long>(press_.button);
  ev.xclient.data.l[4] = kSourceApplication;
  XSendEvent(dpy_.get(), root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
}

void X11Window::Repaint(LabelMask labels) {
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
  XRenderFillRectangles(dpy_.get(), PictOpSrc, picture_, &face_render_, changed.data(), n);

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
  CopyToWindow(left, top, right - left, bottom - top);
  flush_ = true;
}

// --- Drawing -----------------------------------------------------------------------------------

XRectangle X11Window::WindowRect(const Box& b) const {
  return {static_cast<short>(b.left + layout_.frame), static_cast<short>(b.top + layout_.frame),
          static_cast<unsigned short>(b.width), static_cast<unsigned short>(b.height)};
}

XftFont* X11Window::FontOf(LabelId id) const {
  if (id == kScritta) return phrase_font_.get();
  if (id == kEsci) return glyph_font_.get();
  return digits_font_.get();
}

void X11Window::SetClip(std::span<const XRectangle> rects) {
  const std::span<const XRectangle> now(clip_.data(),
                                        static_cast<std::size_t>(std::max(clip_count_, 0)));
  if (clip_count_ >= 0 && SameRects(now, rects)) return;
  std::copy(rects.begin(), rects.end(), clip_.begin());
  clip_count_ = static_cast<int>(rects.size());
  XRenderSetPictureClipRectangles(dpy_.get(), picture_, 0, 0, clip_.data(), clip_count_);
}

// Draws one label into the back buffer, within the clip already set: opaque labels fill their box
// with the face first. Records where the text put ink.
void X11Window::DrawLabel(LabelId id) {
  Display* dpy = dpy_.get();
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
  // Labels put their text at the top of the box, aligned across it.
  const int x = TextLeft(layout_.boxes[id], spec.align, ext.xOff) + layout_.frame;
  const int baseline = box.y + font->ascent;
  XftDrawStringUtf8(draw_.get(), &colour, font, x, baseline, utf8, len);
  ink_[id] = {static_cast<short>(x - ext.x), static_cast<short>(baseline - ext.y), ext.width,
              ext.height};
}

void X11Window::PaintAll() {
  Display* dpy = dpy_.get();
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
  CopyToWindow(0, 0, width_, height_);
}

void X11Window::CopyToWindow(int x, int y, int width, int height) {
  if (!mapped_ || width <= 0 || height <= 0) return;
  XCopyArea(dpy_.get(), back_, window_, gc_, x, y, static_cast<unsigned>(width),
            static_cast<unsigned>(height), x, y);
}

// --- Events ------------------------------------------------------------------------------------

int X11Window::Run() {
  if (!clock_.Load()) return 0;
  OpenFonts();
  LoadGlyphs();
  CreateBackBuffer();
  PaintAll();
  Map();

  Display* dpy = dpy_.get();
  std::array<pollfd, 2> fds{{{ConnectionNumber(dpy), POLLIN, 0}, {signals_.fd(), POLLIN, 0}}};
  std::int64_t due = MonotonicNow() + kTickNanoseconds;
  while (running_) {
    // Events already in Xlib's queue first: the socket will not say so again. Xlib reads them
    // in while it waits for a reply, and while it flushes.
    if (QLength(dpy) > 0) DispatchQueued();
    const std::int64_t now = MonotonicNow();
    if (now >= due && running_) {
      clock_.Tick();
      due = NextTickDue(now, due);
    }
    if (flush_ && running_) {
      XFlush(dpy);
      flush_ = false;
    }
    if (!running_) break;
    if (QLength(dpy) > 0) continue;
    const int ready = poll(fds.data(), fds.size(), PollTimeoutMs(MonotonicNow(), due));
    if (ready < 0 && errno != EINTR) {
      throw FatalError(std::string("cannot wait for events: ") + std::strerror(errno),
                       kExitStartFailed);
    }
    if (ready > 0 && (fds[1].revents & POLLIN) && signals_.Drain()) Close();
    // Reads what arrived, or meets the closed connection, which ends the program.
    if (ready > 0 && fds[0].revents != 0) XEventsQueued(dpy, QueuedAfterReading);
  }
  return 0;
}

void X11Window::DispatchQueued() {
  Display* dpy = dpy_.get();
  while (running_ && QLength(dpy) > 0) {
    XEvent ev;
    XNextEvent(dpy, &ev);
    Dispatch(ev);
  }
}

void X11Window::Dispatch(XEvent& ev) {
  switch (ev.type) {
    case Expose:
      CopyToWindow(ev.xexpose.x, ev.xexpose.y, ev.xexpose.width, ev.xexpose.height);
      flush_ = true;
      break;
    case ButtonPress:
      OnButtonPress(ev.xbutton);
      break;
    case ButtonRelease:
      OnButtonRelease(ev.xbutton);
      break;
    case MotionNotify:
      OnMotion(ev.xmotion);
      break;
    case KeyPress:
      OnKeyPress(ev.xkey);
      break;
    case ClientMessage:
      OnClientMessage(ev.xclient);
      break;
    case SelectionRequest:
      RefuseSelectionRequest(ev.xselectionrequest);
      break;
    case MappingNotify:
      XRefreshKeyboardMapping(&ev.xmapping);
      break;
    default:
      break;
  }
}

void X11Window::OnButtonPress(const XButtonEvent& ev) {
  const std::optional<MouseButton> button = ButtonFromX(ev.button);
  if (!button || own_move_.active) return;
  press_ = {ev.x_root, ev.y_root, ev.button, ev.time};
  handed_move_.pending = false;
  clock_.Press(ev.x - layout_.frame, ev.y - layout_.frame, *button, MaskFromState(ev.state));
}

void X11Window::OnButtonRelease(const XButtonEvent& ev) {
  const std::optional<MouseButton> button = ButtonFromX(ev.button);
  if (!button) return;
  if (own_move_.active) {
    if (ev.button == own_move_.button) own_move_.active = false;
    return;
  }
  if (handed_move_.pending && ev.button == handed_move_.button) {
    // A click too quick for the window manager: its move would wait for a release that has
    // already happened, and drag the window after the pointer until the next click.
    handed_move_.pending = false;
    SendMoveResize(kMoveResizeCancel);
    flush_ = true;
  }
  clock_.Release(ev.x - layout_.frame, ev.y - layout_.frame, *button, MaskFromState(ev.state));
}

void X11Window::OnMotion(const XMotionEvent& ev) {
  if (!own_move_.active) return;
  XMoveWindow(dpy_.get(), window_, own_move_.window_x + ev.x_root - own_move_.pointer_x,
              own_move_.window_y + ev.y_root - own_move_.pointer_y);
  flush_ = true;
}

void X11Window::OnKeyPress(XKeyEvent& ev) {
  // Index 0: the key's own symbol, whatever the modifiers held.
  const KeySym sym = XLookupKeysym(&ev, 0);
  clock_.Key(KeyCodeFromKeysym(sym), MaskFromState(ev.state));
}

void X11Window::OnClientMessage(const XClientMessageEvent& ev) {
  if (ev.message_type == atoms_[kWmProtocols] && ev.format == 32 &&
      static_cast<::Atom>(ev.data.l[0]) == atoms_[kWmDeleteWindow]) {
    Close();
  }
}

// The instance selection holds no data: any request to convert it is answered with a refusal
// (ICCCM), so that the asking client does not wait for ever.
void X11Window::RefuseSelectionRequest(const XSelectionRequestEvent& ev) {
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = ev.requestor;
  reply.xselection.selection = ev.selection;
  reply.xselection.target = ev.target;
  reply.xselection.property = None;
  reply.xselection.time = ev.time;
  XSendEvent(dpy_.get(), ev.requestor, False, NoEventMask, &reply);
  flush_ = true;
}

}  // namespace brumo::x11
