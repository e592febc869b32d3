// The refresh tick's timer, set by each tick for the next one: on the tenths of the wall clock's
// second, so that the seconds change just after the true second.
#pragma once

#include <windows.h>

#include <cstdint>

#include "display/tick_schedule.h"
#include "window/win32/gdi.h"

namespace brumo::win32 {

// Not named by older headers: a waitable timer that keeps to its due time within about a
// millisecond instead of waiting for the next timer interrupt. Windows before 10 1803 refuses
// the flag (ERROR_INVALID_PARAMETER).
inline constexpr DWORD kHighResolutionTimer = 0x2;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION

// Where Windows has a high-resolution waitable timer, the message loop waits on it. Elsewhere, and
// while a modal loop of Windows' own runs the messages (the window being moved), a window timer
// ticks instead: Windows wakes it at the first timer interrupt after its time, up to 15.6 ms late
// at the default interrupt rate. The interrupt rate is left alone (timeBeginPeriod would raise it
// for every program on the machine, and their power use with it).
class TickTimer {
 public:
  TickTimer()
      : waitable_(CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer,
                                         TIMER_MODIFY_STATE | SYNCHRONIZE)) {}
  ~TickTimer() { Stop(); }
  TickTimer(const TickTimer&) = delete;
  TickTimer& operator=(const TickTimer&) = delete;

  bool HighResolution() const { return static_cast<bool>(waitable_); }

  // What the message loop waits on for the tick: null while window timers tick.
  HANDLE Waitable() const { return modal_ ? nullptr : waitable_.get(); }

  // The next tick `nanoseconds` from now: the waitable timer's signal, or WM_TIMER `id` to
  // `window`. False when neither can be set, and the clock would stand still.
  bool Set(HWND window, UINT_PTR id, std::int64_t nanoseconds) {
    window_ = window;
    id_ = id;
    if (Waitable() != nullptr) {
      LARGE_INTEGER due;
      due.QuadPart = -((nanoseconds + 99) / 100);  // relative, in 100 ns units, never early
      if (SetWaitableTimer(waitable_.get(), &due, 0, nullptr, nullptr, FALSE)) return true;
      waitable_.reset();  // from now on the window timer, which may still work
    }
    timer_set_ =
        SetTimer(window, id, static_cast<UINT>(PollTimeoutMs(0, nanoseconds)), nullptr) != 0;
    return timer_set_;
  }

  // Windows' own modal loop (moving the window) runs between WM_ENTERSIZEMOVE and
  // WM_EXITSIZEMOVE; it dispatches WM_TIMER but never waits on the waitable timer. The caller
  // sets the next tick afresh after each change.
  void SetModal(bool modal) {
    Stop();
    modal_ = modal;
  }

  void Stop() {
    if (waitable_) CancelWaitableTimer(waitable_.get());
    if (timer_set_) KillTimer(window_, id_);
    timer_set_ = false;
  }

 private:
  KernelHandle waitable_;
  bool modal_ = false;
  bool timer_set_ = false;
  HWND window_ = nullptr;
  UINT_PTR id_ = 0;
};

}  // namespace brumo::win32
