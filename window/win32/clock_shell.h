// The Windows shell of the clock: one WS_POPUP tool window drawn with GDI, whose events go to
// the platform-free ClockWindow and whose requests (topmost, move, close) go to USER.
#pragma once

#include <windows.h>

#include <array>

#include "display/local_clock.h"
#include "window/clock_window.h"
#include "window/win32/gdi.h"

namespace brumo::win32 {

class ClockShell final : public Shell {
 public:
  explicit ClockShell(HINSTANCE instance);
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

  // Fonts and the off-screen canvas, made once the load handler has let the program run.
  bool PrepareDrawing();
  void Paint();
  void DrawLabel(HDC dc, const LabelSpec& spec) const;

  HINSTANCE instance_;
  HWND window_ = nullptr;
  int dpi_;
  LocalClock clock_;
  ClockWindow clock_window_;
  KernelHandle instance_mutex_;
  // The fonts are declared before the canvas, so the canvas lets go of them before they go.
  std::array<Font, kLabelCount> fonts_;  // as many as the layout has different fonts
  std::array<HFONT, kLabelCount> label_fonts_{};
  Canvas canvas_;
  Timer timer_;
};

}  // namespace brumo::win32
