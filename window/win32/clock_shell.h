// The Windows shell of the clock: one WS_POPUP tool window drawn with GDI, whose events go to
// the platform-free ClockWindow and whose requests (topmost, move, close) go to USER.
#pragma once

#include <windows.h>

// Messages of newer Windows, which older headers may not name.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

#include <array>

#include "display/local_clock.h"
#include "display/time_row.h"
#include "window/clock_window.h"
#include "window/win32/gdi.h"
#include "window/win32/tick_timer.h"

namespace brumo::win32 {

// Functions of newer Windows, looked up when the shell starts: null where the system lacks them,
// so that the one executable also runs on Windows 7.
struct DpiFunctions {
  UINT(WINAPI* dpi_for_window)(HWND) = nullptr;                                  // Windows 10 1607
  BOOL(WINAPI* adjust_rect_for_dpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;  // Windows 10 1607
};

// Whether the user has a high-contrast theme on (SPI_GETHIGHCONTRAST).
bool HighContrastOn();
using HighContrastQuery = bool (*)();

class ClockShell final : public Shell {
 public:
  // `high_contrast` says whether a high-contrast theme is on, as the system does by default.
  explicit ClockShell(HINSTANCE instance, HighContrastQuery high_contrast = &HighContrastOn);
  ~ClockShell() override;
  ClockShell(const ClockShell&) = delete;
  ClockShell& operator=(const ClockShell&) = delete;

  // Creates the window, runs the load handler, shows the window and runs its event loop until
  // it closes. Gives the program's exit code: 0 also when another copy is running.
  int Run();

  bool AnotherCopyRunning() override;
  ClockReading ReadClock() override;
  NativeHandle Handle() const override;
  void OnTop(NativeHandle handle, bool flag) override;
  void Sposta() override;
  void Close() override;
  void Repaint(LabelMask labels) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);

  // Fonts and the off-screen canvas, made once the load handler has let the program run, and
  // again at each change of DPI.
  bool PrepareDrawing();
  // The window's size around the layout's client area at `dpi`.
  RECT OuterRect(int dpi) const;
  // Lays the window out at `dpi`, the new one of its monitor.
  void TakeDpi(int dpi);
  // Refreshes the labels from a reading of the clock, and sets the next tick from that reading.
  void Tick();
  // The texts' colours for the theme now in use; the whole window is to be drawn again.
  void TakeColors();
  void Paint();
  void DrawLabel(HDC dc, const LabelSpec& spec) const;

  HINSTANCE instance_;
  HWND window_ = nullptr;
  DpiFunctions dpi_functions_;
  int dpi_;
  int exit_code_ = 0;
  bool repaint_pending_ = false;  // a text changed since the last tick
  HighContrastQuery high_contrast_;
  std::array<Rgb, kLabelCount> colors_{};
  LocalClock clock_;
  ClockWindow clock_window_;
  KernelHandle instance_mutex_;
  // The fonts are declared before the canvas, so the canvas lets go of them before they go.
  std::array<Font, kLabelCount> fonts_;  // as many as the layout has different fonts
  std::array<HFONT, kLabelCount> label_fonts_{};
  TextShifts shifts_{};  // where the time row's texts go, for the default font
  Canvas canvas_;
  TickTimer tick_timer_;
};

}  // namespace brumo::win32
