// Counts heap allocations around the refresh tick: it must make none, whatever it writes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "display/local_clock.h"
#include "display/refresh.h"
#include "window/clock_window.h"

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace brumo {
namespace {

long AllocationsDuring(auto&& f) {
  const long before = g_allocations.load();
  f();
  return g_allocations.load() - before;
}

TEST(Allocations, NoneInADayOfTicks) {
  Phrases phrases;
  phrases.InitBrumo();
  LabelTexts labels;
  const long n = AllocationsDuring([&] {
    for (int s = 0; s < 24 * 3600; s += 1) {
      ClockReading r{2026, 12, 31, s / 3600, s / 60 % 60, s % 60};
      RefreshTick(r, phrases, ". ", labels);
      RefreshTick(r, phrases, ". ", labels);
    }
  });
  EXPECT_EQ(n, 0);
}

TEST(Allocations, NoneWhenTheRealClockIsRead) {
  LocalClock clock;
  clock.Now();  // the first reading may load the time zone
  const long n = AllocationsDuring([&] {
    for (int i = 0; i < 1000; ++i) clock.Now();
  });
  EXPECT_EQ(n, 0);
}

class QuietShell : public Shell {
 public:
  bool AnotherCopyRunning() override { return false; }
  ClockReading ReadClock() override { return clock.Now(); }
  NativeHandle Handle() const override { return 1; }
  void OnTop(NativeHandle, bool) override {}
  void Sposta() override {}
  void Close() override {}
  void Repaint(LabelMask) override {}
  LocalClock clock;
};

TEST(Allocations, NoneInTheWindowsTickOrItsInput) {
  QuietShell shell;
  ClockWindow window(shell, 96, "/");
  window.Load();
  const long n = AllocationsDuring([&] {
    for (int i = 0; i < 1000; ++i) {
      window.Tick();
      window.Press(100, 10, MouseButton::kLeft, 0);
      window.Key(kKeyF4, 0);
    }
  });
  EXPECT_EQ(n, 0);
}

}  // namespace
}  // namespace brumo
