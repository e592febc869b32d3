#include "window/clock_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brumo {
namespace {

// A shell that records what the rules asked of it, in order.
class FakeShell : public Shell {
 public:
  bool another_copy = false;
  ClockReading now{2026, 3, 14, 14, 47, 58};
  std::vector<std::string> calls;
  LabelMask repainted = 0;

  bool AnotherCopyRunning() override {
    calls.push_back("instance?");
    return another_copy;
  }
  ClockReading ReadClock() override {
    calls.push_back("clock");
    return now;
  }
  NativeHandle Handle() const override { return 0x2a; }
  void OnTop(NativeHandle handle, bool flag) override {
    calls.push_back("OnTop(" + std::to_string(handle) + "," + (flag ? "true" : "false") + ")");
  }
  void Sposta() override { calls.push_back("Sposta"); }
  void Close() override { calls.push_back("Close"); }
  void Repaint(LabelMask labels) override {
    calls.push_back("Repaint");
    repainted |= labels;
  }
  int Count(const std::string& what) const {
    int n = 0;
    for (const auto& c : calls) n += c == what;
    return n;
  }
};

class ClockWindowTest : public ::testing::Test {
 protected:
  FakeShell shell;
  ClockWindow window{shell, 96, "/"};
};

TEST_F(ClockWindowTest, LoadChecksForACopyThenBuildsFillsAndRaisesTheWindow) {
  ASSERT_TRUE(window.Load());
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"instance?", "clock", "OnTop(42,true)"}));
  EXPECT_EQ(window.Texts()[kScritta], "Le tre meno un quarto");
  EXPECT_EQ(window.Texts()[kOra], "14");
  EXPECT_EQ(window.Texts()[kData], "14/03/2026");
  EXPECT_EQ(window.Tables().Ore()[24], "Mezzanotte");
}

TEST_F(ClockWindowTest, ASecondCopyEndsWithNothingBuiltOrShown) {
  shell.another_copy = true;
  EXPECT_FALSE(window.Load());
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"instance?"}));
  EXPECT_EQ(window.Texts()[kScritta], "");
  EXPECT_EQ(window.Tables().Ore()[0], "");
}

TEST_F(ClockWindowTest, TicksReadTheClockOnceAndRepaintOnlyOnChange) {
  window.Load();
  shell.calls.clear();
  window.Tick();  // same second as the load
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"clock"}));
  shell.now.second = 59;
  window.Tick();
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"clock", "clock", "Repaint"}));
  EXPECT_EQ(shell.repainted, Bit(kSec));
  EXPECT_EQ(window.Texts()[kSec], "59");
}

TEST_F(ClockWindowTest, ANewDateSeparatorShowsAtTheNextTick) {
  window.Load();
  window.SetDateSeparator("-");
  window.Tick();
  EXPECT_EQ(window.Texts()[kData], "14-03-2026");
  EXPECT_EQ(shell.repainted, Bit(kData));
}

TEST_F(ClockWindowTest, APressOfAnyButtonAnywhereButTheGlyphMovesTheWindow) {
  window.Load();
  const struct {
    int x, y;
  } points[] = {{100, 10}, {0, 0},   {259, 5},  {270, 5},  {280, 5}, {294, 5},
                {287, 5},  {300, 5}, {290, 20}, {323, 25}, {311, 3}, {316, 12}};
  for (auto p : points) {
    for (MouseButton b :
         {MouseButton::kLeft, MouseButton::kMiddle, MouseButton::kRight, MouseButton::kOther}) {
      for (int mask : {0, kShiftMask, kCtrlMask | kAltMask}) {
        shell.calls.clear();
        window.Press(p.x, p.y, b, mask);
        EXPECT_EQ(shell.calls, (std::vector<std::string>{"Sposta"})) << p.x << "," << p.y;
        window.Release(p.x, p.y, b, mask);
        EXPECT_EQ(shell.Count("Close"), 0);
      }
    }
  }
}

TEST_F(ClockWindowTest, TheGlyphClosesOnALeftClickAndNeverMoves) {
  window.Load();
  shell.calls.clear();
  window.Press(316, 7, MouseButton::kRight, 0);
  window.Release(316, 7, MouseButton::kRight, 0);
  window.Press(316, 7, MouseButton::kLeft, 0);
  window.Release(200, 7, MouseButton::kLeft, 0);  // released off the glyph: no click
  window.Release(316, 7, MouseButton::kLeft, 0);  // a release with no press on the glyph
  EXPECT_TRUE(shell.calls.empty());
  window.Press(312, 3, MouseButton::kLeft, 0);
  window.Release(320, 11, MouseButton::kLeft, 0);
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"Close"}));
}

TEST_F(ClockWindowTest, OnlyAltF4Closes) {
  window.Load();
  shell.calls.clear();
  for (int mask : {0, kShiftMask, kCtrlMask, kShiftMask | kAltMask, kCtrlMask | kAltMask,
                   kShiftMask | kCtrlMask | kAltMask})
    window.Key(kKeyF4, mask);
  window.Key(kKeyF4 - 1, kAltMask);  // Alt+F3
  window.Key('S', kAltMask);
  EXPECT_TRUE(shell.calls.empty());
  window.Key(kKeyF4, kAltMask);
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"Close"}));
}

TEST(ClockWindowDpi, HitTestingFollowsTheScaledLayout) {
  FakeShell shell;
  ClockWindow window(shell, 144, "/");
  window.Load();
  shell.calls.clear();
  window.Press(316, 7, MouseButton::kLeft, 0);  // the glyph's place at 96 dpi is the seconds' now
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"Sposta"}));
  shell.calls.clear();
  window.Press(474, 11, MouseButton::kLeft, 0);
  window.Release(474, 11, MouseButton::kLeft, 0);
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"Close"}));
  // Back at 96 dpi the glyph is where it was designed.
  window.SetDpi(96);
  EXPECT_EQ(window.Layout().client_width, 324);
  shell.calls.clear();
  window.Press(316, 7, MouseButton::kLeft, 0);
  window.Release(316, 7, MouseButton::kLeft, 0);
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"Close"}));
}

}  // namespace
}  // namespace brumo
