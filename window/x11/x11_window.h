// The clock window on an X11 display: one managed top-level window drawn with Xft into a back
// buffer, driven by one epoll loop over the X connection, a signalfd and the time-zone watch,
// forwarding its events to the window's rules (ClockWindow).
#pragma once

#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrender.h>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "display/local_clock.h"
#include "display/time_row.h"
#include "window/clock_window.h"
#include "window/x11/x11_loop.h"
#include "window/x11/x11_rules.h"

namespace brumo::x11 {

class X11Window final : public Shell {
 public:
  // Connects to the display named by DISPLAY and creates the window, hidden.
  // Throws FatalError.
  X11Window();
  ~X11Window() override;
  X11Window(const X11Window&) = delete;
  X11Window& operator=(const X11Window&) = delete;

  // Runs the load handler, shows the window and handles its events until it is closed.
  // Returns the program's exit status: 0 also when another copy was already running.
  int Run();

  // Shell
  bool AnotherCopyRunning() override;
  // The reading the event loop took for the tick that asks.
  ClockReading ReadClock() override { return reading_; }
  NativeHandle Handle() const override { return static_cast<NativeHandle>(window_); }
  void OnTop(NativeHandle handle, bool flag) override;
  void Sposta() override;
  void Close() override { running_ = false; }
  void Repaint(LabelMask labels) override;

 private:
  struct DisplayCloser {
    void operator()(Display* dpy) const { XCloseDisplay(dpy); }
  };
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

  // The button press being handled, for the move that it may start: where the pointer and the
  // window were.
  struct Press {
    int x_root = 0, y_root = 0;
    int window_x = 0, window_y = 0;
    unsigned int button = 0;
    Time time = CurrentTime;
  };

  // A move handed to the window manager, until its button comes up: if the clock sees that
  // release, the manager never took the pointer and would start the move with no button down.
  // Until the manager shows that it took the move, the clock may find that it never will.
  struct HandedMove {
    bool pending = false;
    unsigned int button = 0;
    bool taken = false;      // the manager took the pointer or moved the window
    std::int64_t since = 0;  // when it was handed over, on the monotonic clock
  };

  // Where a move the program runs itself (no window manager to hand it to) started.
  struct OwnMove {
    bool active = false;
    unsigned int button = 0;
    int pointer_x = 0, pointer_y = 0;
    int window_x = 0, window_y = 0;
    bool grabbed = false;  // under a grab of the clock's own, not the press's
  };

  void CreateWindow();
  void SetWindowManagerHints();
  void SetNetWmState(bool above);
  XSizeHints SizeHints() const;
  void MakeDrawing();
  void OpenFonts();
  FontPtr OpenFont(std::string_view family, std::string_view generic, double pixels, int weight,
                   std::string* family_got);
  void LoadGlyphs();
  void KeepNoClosedFonts();
  static void ReleaseFontLookup();
  void CreateBackBuffer();
  void Map();

  // Following the desktop's scale: Xft.dpi in the root window's resources.
  static int WatchedXftDpi(Display* dpy, ::Window root);
  void OnRootPropertyChange(const XPropertyEvent& ev);
  void FollowDpi(int dpi);

  // Drawing into the back buffer and copying it to the window.
  void PaintAll();
  void DrawLabel(LabelId id);
  void SetClip(std::span<const XRectangle> rects);
  void CopyToWindow(int x, int y, int width, int height);
  XRectangle WindowRect(const Box& client_box) const;
  XftFont* FontOf(LabelId id) const;

  // Events.
  void ReadEvents();
  void DispatchQueued();
  void Dispatch(XEvent& ev);
  void OnButtonPress(const XButtonEvent& ev);
  void OnButtonRelease(const XButtonEvent& ev);
  void OnMotion(const XMotionEvent& ev);
  void OnLeave(const XCrossingEvent& ev);
  void OnKeyPress(XKeyEvent& ev);
  void OnClientMessage(const XClientMessageEvent& ev);
  void OnPropertyChange(const XPropertyEvent& ev);
  void RefuseSelectionRequest(const XSelectionRequestEvent& ev);
  void SendMoveResize(long direction);
  void WatchHandedMove();
  void StepHandedMove(unsigned int state, int window_x, int window_y, int x_root, int y_root);
  void FollowPointer(int x_root, int y_root);

  // The window manager and what it does with the window.
  bool ManagerSupports(AtomId atom);
  bool HasNetWmState(AtomId state);
  void SendClientMessage(AtomId type, std::array<long, 5> data);
  void OnMapped();
  void OnReparented(::Window parent);
  void KeepAboveCheck();
  void EndStartupFeedback();

  // Declared in the order they are made; destroyed in reverse, the display last of all.
  CloseSignals signals_;
  ZoneWatch zone_;
  EventWait wait_;
  std::unique_ptr<Display, DisplayCloser> dpy_;
  int screen_ = 0;
  ::Window root_ = 0;
  Visual* visual_ = nullptr;
  Colormap colormap_ = 0;
  int depth_ = 0;
  int dpi_ = kDesignDpi;
  std::array<::Atom, kAtomCount> atoms_{};
  ::Atom instance_selection_ = 0;
  ::Atom wm_selection_ = 0;
  ClockWindow clock_;
  const ScaledLayout& layout_;
  int width_ = 0, height_ = 0;  // the whole window, frame included

  ::Window window_ = 0;
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

  LocalClock local_clock_;
  ClockReading reading_;
  bool running_ = true;
  bool mapped_ = false;
  bool topmost_ = false;            // OnTop asked to keep the window above the others
  bool shown_once_ = false;         // the first MapNotify has been handled
  bool raise_self_ = false;         // the manager does not keep the window above: it raises itself
  ::Window parent_ = 0;             // the manager's frame around the window, or the root
  Time server_time_ = CurrentTime;  // the latest server time an event carried
  std::string startup_id_;          // the launcher's startup notification ID, if any
  bool flush_ = false;              // requests are waiting in Xlib's buffer
  // ReadCount when Xlib last took in all that had come from the server.
  std::uint64_t read_seen_ = 0;
  Press press_;
  HandedMove handed_move_;
  OwnMove own_move_;
};

}  // namespace brumo::x11
