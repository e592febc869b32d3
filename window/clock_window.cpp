#include "window/clock_window.h"

namespace brumo {

ClockWindow::ClockWindow(Shell& shell, int dpi, std::string_view date_separator)
    : shell_(shell), layout_(ScaleLayout(dpi)), separator_(date_separator) {}

bool ClockWindow::Load() {
  if (shell_.AnotherCopyRunning()) return false;
  phrases_.InitBrumo();
  // Fill the labels before the window is first shown; the first paint draws them all.
  RefreshTick(shell_.ReadClock(), phrases_, separator_.view(), texts_);
  shell_.OnTop(shell_.Handle(), true);
  return true;
}

void ClockWindow::Tick() {
  const LabelMask changed = RefreshTick(shell_.ReadClock(), phrases_, separator_.view(), texts_);
  if (changed != 0) shell_.Repaint(changed);
}

void ClockWindow::Press(int x, int y, MouseButton button, int /*mask*/) {
  if (HitTest(layout_, x, y) == kEsci) {
    // The glyph acts on its click, never on the press.
    close_armed_ = button == MouseButton::kLeft;
    return;
  }
  close_armed_ = false;
  shell_.Sposta();
}

void ClockWindow::Release(int x, int y, MouseButton button, int /*mask*/) {
  const bool click =
      close_armed_ && button == MouseButton::kLeft && HitTest(layout_, x, y) == kEsci;
  close_armed_ = false;
  if (click) shell_.Close();
}

void ClockWindow::Key(int key_code, int mask) {
  if (key_code == kKeyF4 && mask == kAltMask) shell_.Close();
}

}  // namespace brumo
