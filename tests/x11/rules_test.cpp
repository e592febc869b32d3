// GoogleTest comes first: <X11/X.h> defines None, a name GoogleTest uses.
#include <gtest/gtest.h>

#include "window/linux/drawing.h"
#include "window/x11/x11_hints.h"
#include "window/x11/x11_input.h"

#include <algorithm>
#include <set>
#include <string>
#include <utility>

namespace brumo::x11 {
namespace {

// --- What a key or button press means to the window ------------------------------------------

TEST(X11Input, OnlyShiftControlAndAltMakeTheMask) {
  EXPECT_EQ(MaskFromState(0), 0);
  EXPECT_EQ(MaskFromState(Mod1Mask), kAltMask);
  EXPECT_EQ(MaskFromState(ShiftMask | Mod1Mask), kShiftMask | kAltMask);
  EXPECT_EQ(MaskFromState(ControlMask | Mod1Mask), kCtrlMask | kAltMask);
  EXPECT_EQ(MaskFromState(ShiftMask | ControlMask), kShiftMask | kCtrlMask);
  // NumLock (Mod2) and CapsLock (Lock) held with Alt still make exactly Alt.
  EXPECT_EQ(MaskFromState(Mod1Mask | Mod2Mask), kAltMask);
  EXPECT_EQ(MaskFromState(Mod1Mask | LockMask | Mod2Mask), kAltMask);
  // Super, AltGr and the pointer buttons are no modifiers of the window.
  EXPECT_EQ(MaskFromState(Mod4Mask | Mod5Mask | Mod3Mask | Button1Mask), 0);
}

TEST(X11Input, F4IsTheCloseKeyCodeAndNoOtherKeyIs) {
  EXPECT_EQ(KeyCodeFromKeysym(XK_F4), kKeyF4);
  EXPECT_EQ(KeyCodeFromKeysym(XK_F1), 112);
  EXPECT_EQ(KeyCodeFromKeysym(XK_F12), 123);
  for (unsigned long sym : {XK_F3, XK_F5, XK_4, XK_KP_4, XK_KP_F4, XK_Escape, XK_Alt_L, XK_s}) {
    EXPECT_NE(KeyCodeFromKeysym(sym), kKeyF4) << sym;
  }
  EXPECT_EQ(KeyCodeFromKeysym(XK_a), 'A');
  EXPECT_EQ(KeyCodeFromKeysym(XK_Z), 'Z');
  EXPECT_EQ(KeyCodeFromKeysym(XK_7), '7');
  EXPECT_EQ(KeyCodeFromKeysym(XK_Escape), 0);
}

TEST(X11Input, EveryButtonPressesButTheWheelDoesNot) {
  EXPECT_EQ(ButtonFromX(Button1), MouseButton::kLeft);
  EXPECT_EQ(ButtonFromX(Button2), MouseButton::kMiddle);
  EXPECT_EQ(ButtonFromX(Button3), MouseButton::kRight);
  EXPECT_EQ(ButtonFromX(8), MouseButton::kOther);
  EXPECT_EQ(ButtonFromX(9), MouseButton::kOther);
  for (unsigned int wheel : {4u, 5u, 6u, 7u}) EXPECT_FALSE(ButtonFromX(wheel).has_value()) << wheel;
}

// --- Moves handed to the window manager -------------------------------------------------------

TEST(X11HandOff, TheClockMovesItselfOnlyWhereTheManagerLeftTheHeldButton) {
  constexpr std::int64_t grace = kHandOffGraceNs;
  // Released: over, whatever else happened.
  EXPECT_EQ(NextHandOffStep({false, false, false, grace}), HandOffStep::kOver);
  EXPECT_EQ(NextHandOffStep({false, true, true, 0}), HandOffStep::kOver);
  // The manager moved the window or took the pointer: its move, however long it took.
  EXPECT_EQ(NextHandOffStep({true, true, false, 0}), HandOffStep::kManagerMoves);
  EXPECT_EQ(NextHandOffStep({true, false, true, 10 * grace}), HandOffStep::kManagerMoves);
  // Neither: the manager has its time, then the clock moves itself.
  EXPECT_EQ(NextHandOffStep({true, false, false, grace - 1}), HandOffStep::kWait);
  EXPECT_EQ(NextHandOffStep({true, false, false, grace}), HandOffStep::kMoveSelf);
}

TEST(X11HandOff, ALeaveTakesThePointerOnlyOnAGrabOrWithThePointerInside) {
  EXPECT_TRUE(PointerTakenByLeave(NotifyGrab, 500, 500, 330, 32));
  EXPECT_TRUE(PointerTakenByLeave(NotifyNormal, 60, 15, 330, 32));
  EXPECT_TRUE(PointerTakenByLeave(NotifyNormal, 0, 31, 330, 32));
  for (auto [x, y] : {std::pair{330, 15}, {60, 32}, {-1, 15}, {60, -1}, {200, 300}}) {
    EXPECT_FALSE(PointerTakenByLeave(NotifyNormal, x, y, 330, 32)) << x << "," << y;
  }
  EXPECT_FALSE(PointerTakenByLeave(NotifyUngrab, 400, 15, 330, 32));
}

// --- What the window manager is asked ----------------------------------------------------------

TEST(X11Hints, EveryAtomHasItsOwnName) {
  std::set<std::string> names;
  for (const char* name : kAtomNames) {
    ASSERT_NE(name, nullptr);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kAtomCount));
  EXPECT_STREQ(kAtomNames[kNetWmMoveResize], "_NET_WM_MOVERESIZE");
  EXPECT_STREQ(kAtomNames[kNetWmStateAbove], "_NET_WM_STATE_ABOVE");
  EXPECT_STREQ(kAtomNames[kMotifWmHints], "_MOTIF_WM_HINTS");
}

TEST(X11Hints, TheWindowIsNeverInTheTaskBarAndAboveOnlyWhenTopmost) {
  const NetWmStateList top = NetWmStates(true);
  const NetWmStateList normal = NetWmStates(false);
  auto has = [](const NetWmStateList& l, AtomId a) {
    return std::find(l.atoms.begin(), l.atoms.begin() + l.count, a) != l.atoms.begin() + l.count;
  };
  for (const NetWmStateList* l : {&top, &normal}) {
    EXPECT_TRUE(has(*l, kNetWmStateSkipTaskbar));
    EXPECT_TRUE(has(*l, kNetWmStateSkipPager));
    EXPECT_TRUE(has(*l, kNetWmStateSticky));
  }
  EXPECT_TRUE(has(top, kNetWmStateAbove));
  EXPECT_FALSE(has(normal, kNetWmStateAbove));
  EXPECT_EQ(top.count, 4);
  EXPECT_EQ(normal.count, 3);
}

TEST(X11Hints, TheLaunchFeedbackEndsForTheLaunchersIdAlone) {
  using namespace std::literals;
  EXPECT_EQ(StartupRemoveMessage("panel-1-host-brumo_TIME42").view(),
            "remove: ID=panel-1-host-brumo_TIME42\0"s);
  // Separators and quotes stay inside the value.
  EXPECT_EQ(StartupRemoveMessage("a b\"c\\").view(), "remove: ID=a\\ b\\\"c\\\\\0"s);
  // Nothing is sent for an ID that is no ID.
  const std::string too_long(300, 'x');
  for (std::string_view bad : {""sv, "a\nNAME=x"sv, std::string_view(too_long)}) {
    EXPECT_TRUE(StartupRemoveMessage(bad).empty()) << bad;
  }
}

TEST(X11Hints, NoDecorationsButMovingStaysAllowed) {
  // flags: only MWM_HINTS_DECORATIONS, so the functions field (moving) is left to the manager.
  EXPECT_EQ(kMotifNoDecorations[0], 2);
  EXPECT_EQ(kMotifNoDecorations[2], 0);
}

TEST(X11Hints, EachScreenHasItsOwnInstanceSelection) {
  EXPECT_EQ(InstanceSelectionName(0).view(), "_BRUMO_S0");
  EXPECT_EQ(InstanceSelectionName(1).view(), "_BRUMO_S1");
  EXPECT_EQ(InstanceSelectionName(12).view(), "_BRUMO_S12");
  EXPECT_EQ(WindowManagerSelectionName(0).view(), "WM_S0");
  EXPECT_EQ(WindowManagerSelectionName(3).view(), "WM_S3");
}

TEST(X11Hints, XftDpiIsReadAsTheDesktopWritesIt) {
  EXPECT_EQ(DpiFromResource("96"), 96);
  EXPECT_EQ(DpiFromResource("144"), 144);
  EXPECT_EQ(DpiFromResource(" 120.4"), 120);
  EXPECT_EQ(DpiFromResource("143.6"), 144);
  // Whatever is not a usable resolution leaves the design's 96.
  for (const char* bad : {"", "dpi", "-96", "0", "0.2", "nan", "1e9"}) {
    EXPECT_EQ(DpiFromResource(bad), 96) << bad;
  }
  EXPECT_EQ(DpiFromResource(nullptr), 96);
}

// --- Fonts ---------------------------------------------------------------------------------------

TEST(X11Fonts, PixelSizesFollowTheResolution) {
  EXPECT_DOUBLE_EQ(PixelSize(kPhraseFont, 96), 21.0);
  EXPECT_DOUBLE_EQ(PixelSize(kPhraseFont, 144), 31.5);
  EXPECT_DOUBLE_EQ(PixelSize(kGlyphFont, 96), 9.0);
  EXPECT_DOUBLE_EQ(PixelSize(kDefaultFont, 96), 11.0);
}

// --- Drawing -------------------------------------------------------------------------------------

// The colour of the frame's pixel at x, y: the last box listed that covers it.
Rgb FramePixel(const std::vector<FilledBox>& frame, int x, int y) {
  Rgb out{0, 0, 0};
  for (const FilledBox& f : frame) {
    if (f.box.Contains(x, y)) out = f.color;
  }
  return out;
}

TEST(X11Drawing, TheFrameIsARaisedDialogEdge) {
  const std::vector<FilledBox> f = RaisedFrame(330, 32, 3, 96);
  EXPECT_EQ(FramePixel(f, 0, 0), kEdgeLight);
  EXPECT_EQ(FramePixel(f, 100, 0), kEdgeLight);
  EXPECT_EQ(FramePixel(f, 0, 20), kEdgeLight);
  EXPECT_EQ(FramePixel(f, 1, 1), kEdgeHighlight);
  EXPECT_EQ(FramePixel(f, 329, 31), kEdgeDarkShadow);
  EXPECT_EQ(FramePixel(f, 100, 31), kEdgeDarkShadow);
  EXPECT_EQ(FramePixel(f, 329, 0), kEdgeDarkShadow);  // the dark edges own the far corners
  EXPECT_EQ(FramePixel(f, 0, 31), kEdgeDarkShadow);
  EXPECT_EQ(FramePixel(f, 328, 30), kEdgeShadow);
  EXPECT_EQ(FramePixel(f, 2, 2), kFallbackFace);  // the third pixel is face
  EXPECT_EQ(FramePixel(f, 327, 29), kFallbackFace);
  EXPECT_EQ(FramePixel(f, 160, 15), kFallbackFace);
}

TEST(X11Drawing, TheFrameScalesItsBands) {
  // 144 dpi: a 5 px frame of two 2 px bands and one pixel of face.
  const std::vector<FilledBox> f = RaisedFrame(496, 49, 5, 144);
  EXPECT_EQ(FramePixel(f, 1, 1), kEdgeLight);
  EXPECT_EQ(FramePixel(f, 3, 3), kEdgeHighlight);
  EXPECT_EQ(FramePixel(f, 4, 4), kFallbackFace);
  EXPECT_EQ(FramePixel(f, 494, 47), kEdgeDarkShadow);
  EXPECT_EQ(FramePixel(f, 492, 45), kEdgeShadow);
  // A one-pixel frame is a single outer band.
  const std::vector<FilledBox> thin = RaisedFrame(100, 10, 1, 96);
  EXPECT_EQ(FramePixel(thin, 0, 0), kEdgeLight);
  EXPECT_EQ(FramePixel(thin, 1, 1), kFallbackFace);
}

// The cross as rows of '#' and '.', for comparing with a picture.
std::vector<std::string> Picture(const std::vector<Box>& boxes, const Box& area) {
  std::vector<std::string> rows(static_cast<std::size_t>(area.height),
                                std::string(static_cast<std::size_t>(area.width), '.'));
  for (const Box& b : boxes) {
    for (int y = b.top; y < b.bottom(); ++y) {
      for (int x = b.left; x < b.right(); ++x) {
        EXPECT_TRUE(area.Contains(x, y)) << x << "," << y << " outside the glyph's box";
        if (area.Contains(x, y))
          rows[static_cast<std::size_t>(y - area.top)][static_cast<std::size_t>(x - area.left)] =
              '#';
      }
    }
  }
  return rows;
}

TEST(X11Drawing, TheDrawnCrossIsTheCloseSymbol) {
  const ScaledLayout l = ScaleLayout(96);
  EXPECT_EQ(Picture(CloseCross(l.boxes[kEsci], 96), l.boxes[kEsci]), (std::vector<std::string>{
                                                                         ".........",
                                                                         "##....##.",
                                                                         ".##..##..",
                                                                         "..####...",
                                                                         "...##....",
                                                                         "..####...",
                                                                         ".##..##..",
                                                                         "##....##.",
                                                                         ".........",
                                                                     }));
}

TEST(X11Drawing, TheCrossScalesAndStaysInItsBox) {
  for (int dpi : {72, 120, 144, 192, 288}) {
    const ScaledLayout l = ScaleLayout(dpi);
    const Box& box = l.boxes[kEsci];
    const std::vector<std::string> rows = Picture(CloseCross(box, dpi), box);
    // Symmetric left to right and top to bottom, and both diagonals inked at the ends.
    const int w = ScaleToDpi(8, dpi);
    const int top = ScaleToDpi(1, dpi);
    const int h = ScaleToDpi(7, dpi);
    for (int y = 0; y < h; ++y) {
      const std::string& row = rows[static_cast<std::size_t>(top + y)];
      const std::string& mirror = rows[static_cast<std::size_t>(top + h - 1 - y)];
      EXPECT_EQ(row, mirror) << dpi << " row " << y;
      for (int x = 0; x < w; ++x) {
        EXPECT_EQ(row[static_cast<std::size_t>(x)], row[static_cast<std::size_t>(w - 1 - x)])
            << dpi;
      }
    }
    EXPECT_EQ(rows[static_cast<std::size_t>(top)][0], '#') << dpi;
    EXPECT_EQ(rows[static_cast<std::size_t>(top)][static_cast<std::size_t>(w - 1)], '#') << dpi;
    EXPECT_EQ(rows[static_cast<std::size_t>(top)][static_cast<std::size_t>(w / 2)], '.') << dpi;
  }
}

}  // namespace
}  // namespace brumo::x11
