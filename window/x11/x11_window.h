// The clock window on an X11 display: one managed top-level window, its hints and what the
// window manager does with it, and its input, forwarded to the window's rules (ClockWindow). The
// connection (Connection) and the drawing (Painter) are objects of their own; the loop is the
// one both Linux shells run (ClockLoop).
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <array>
#include <cstdint>
#include <string>

#include "window/clock_window.h"
#include "window/linux/clock_loop.h"
#include "window/x11/x11_connection.h"
#include "window/x11/x11_painter.h"
#include "window/x11/x11_hints.h"
#include "window/x11/x11_input.h"

namespace brumo::x11 {

class X11Window final : public Shell, private LoopClient {
 public:
  // Connects to the display named by DISPLAY and creates the window, hidden.
  // Throws FatalError.
  X11Window();
  ~X11Window() override = default;
  X11Window(const X11Window&) = delete;
  X11Window& operator=(const X11Window&) = delete;

  // Runs the load handler, shows the window and handles its events until it is closed.
  // Returns the program's exit status: 0 also when another copy was already running.
  int Run();

  // Shell
  bool AnotherCopyRunning() override;
  // The reading the event loop took for the tick that asks.
  ClockReading ReadClock() override { return loop_.Reading(); }
  NativeHandle Handle() const override { return static_cast<NativeHandle>(window_.id); }
  void OnTop(NativeHandle handle, bool flag) override;
  void Sposta() override;
  void Close() override { loop_.Stop(); }
  void Repaint(LabelMask labels) override { painter_.Repaint(labels); }

 private:
  // LoopClient
  int ConnectionFd() const override { return conn_.fd(); }
  void HandleEvents() override;
  void OnNewSecond() override { clock_.Tick(); }
  void AfterTick() override;
  bool ReadyToWait() override { return conn_.Send(); }
  void AfterWait(bool readable) override {
    if (readable) conn_.Read();
  }

  // The top-level window, destroyed with its owner.
  struct OwnedWindow {
    Display* dpy = nullptr;
    ::Window id = 0;
    OwnedWindow(Display* d, ::Window w) : dpy(d), id(w) {}
    ~OwnedWindow() { XDestroyWindow(dpy, id); }
    OwnedWindow(const OwnedWindow&) = delete;
    OwnedWindow& operator=(const OwnedWindow&) = delete;
  };
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

  ::Window CreateWindow();
  void SetWindowManagerHints();
  void SetNetWmState(bool above);
  XSizeHints SizeHints() const;
  void Map();

  // Following the desktop's scale: Xft.dpi in the root window's resources.
  static int WatchedXftDpi(Display* dpy, ::Window root);
  void OnRootPropertyChange(const XPropertyEvent& ev);
  void FollowDpi(int dpi);

  // Events.
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
  ClockLoop loop_;
  Connection conn_;
  int dpi_ = kDesignDpi;
  ClockWindow clock_;
  const ScaledLayout& layout_;
  OwnedWindow window_;
  Painter painter_;

  bool mapped_ = false;
  bool topmost_ = false;            // OnTop asked to keep the window above the others
  bool shown_once_ = false;         // the first MapNotify has been handled
  bool raise_self_ = false;         // the manager does not keep the window above: it raises itself
  ::Window parent_ = 0;             // the manager's frame around the window, or the root
  Time server_time_ = CurrentTime;  // the latest server time an event carried
  std::string startup_id_;          // the launcher's startup notification ID, if any
  Press press_;
  HandedMove handed_move_;
  OwnMove own_move_;
};

}  // namespace brumo::x11
