// The clock window's rules, free of any window system: what happens on load, on each tick of
// the timer, on a mouse press or release and on a key. A platform shell implements Shell and
// forwards its events here.
#pragma once

#include <cstdint>
#include <string_view>

#include "phrase/clock_reading.h"
#include "display/date_format.h"
#include "display/layout.h"
#include "display/refresh.h"
#include "phrase/phrase.h"

namespace brumo {

// The window's native handle (an X11 Window or a Win32 HWND).
using NativeHandle = std::uintptr_t;

// Modifier mask of a key press: exactly these three keys count; lock keys are no modifiers.
inline constexpr int kShiftMask = 1;
inline constexpr int kCtrlMask = 2;
inline constexpr int kAltMask = 4;
inline constexpr int kKeyF4 = 115;  // the key code of F4

enum class MouseButton { kLeft, kMiddle, kRight, kOther };

// What the rules ask of the platform.
class Shell {
 public:
  virtual ~Shell() = default;
  // Whether another copy of the program is already running.
  virtual bool AnotherCopyRunning() = 0;
  virtual ClockReading ReadClock() = 0;
  virtual NativeHandle Handle() const = 0;
  // Keeps the window above all others (flag true) or not, without moving or resizing it.
  virtual void OnTop(NativeHandle handle, bool flag) = 0;
  // Hands the current button press to the window manager's interactive move.
  virtual void Sposta() = 0;
  // Closes the window, which ends the program.
  virtual void Close() = 0;
  // Redraws the given labels (and whatever they overlap).
  virtual void Repaint(LabelMask labels) = 0;
};

class ClockWindow {
 public:
  ClockWindow(Shell& shell, int dpi, std::string_view date_separator);

  // The load handler, run before the window is first shown: false when another copy is running
  // and the program must end at once, with nothing built and nothing to show.
  bool Load();

  // The timer T: one clock reading, and a repaint of the labels whose text changed, if any.
  void Tick();

  // A mouse button went down or up at a client-area point (pixels at the window's dpi).
  void Press(int x, int y, MouseButton button, int mask);
  void Release(int x, int y, MouseButton button, int mask);

  void Key(int key_code, int mask);

  // Lays the window out again at a new resolution: the desktop's scale, or the monitor's, changed.
  void SetDpi(int dpi) { layout_ = ScaleLayout(dpi); }

  // Takes a new date separator (the user changed the regional settings); shows it at the next tick.
  void SetDateSeparator(std::string_view separator) { separator_.assign(separator); }

  const LabelTexts& Texts() const { return texts_; }
  const ScaledLayout& Layout() const { return layout_; }
  const Phrases& Tables() const { return phrases_; }

 private:
  Shell& shell_;
  ScaledLayout layout_;
  DateSeparator separator_;
  Phrases phrases_;
  LabelTexts texts_;
  bool close_armed_ = false;  // the left button went down on the close glyph
};

}  // namespace brumo
