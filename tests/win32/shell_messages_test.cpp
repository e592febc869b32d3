// The Windows shell's own window, run in this process under Wine: the messages Windows sends every
// top-level window when the system time or the user's regional settings change make the clock
// show the change at once, not at its next timer tick; and the ones it sends when the window's
// DPI changes (Wine sends none by itself) lay the clock out afresh. The checks run inside the
// shell's own message loop, on its thread: between a message sent there and the look that follows
// it no timer message can be handled, so whatever changed came from that message alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "display/layout.h"
#include "window/win32/clock_shell.h"

namespace brumo::win32 {
namespace {

constexpr wchar_t kDriverClass[] = L"brumo test driver";
constexpr UINT kRunCheck = WM_APP + 1;

using Check = std::function<void(HWND clock)>;

HWND ClockWindowOfThisThread() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM out) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (std::wstring(name) != L"brumo") return TRUE;
        *reinterpret_cast<HWND*>(out) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// A message-only window whose one message, posted before the shell's loop starts, runs the check
// on the clock's window from within that loop and then closes the clock.
LRESULT CALLBACK DriverProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  if (message != kRunCheck) return DefWindowProcW(window, message, wparam, lparam);
  const auto* check = reinterpret_cast<const Check*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  HWND clock = ClockWindowOfThisThread();
  if (clock == nullptr) {
    ADD_FAILURE() << "the shell's loop runs but it has no window";
    PostQuitMessage(1);
    return 0;
  }
  (*check)(clock);
  PostMessageW(clock, WM_CLOSE, 0, 0);
  return 0;
}

// Runs the real shell, as brumo.exe does, with `check` run once its loop has started.
void RunShellWith(const Check& check, HighContrastQuery high_contrast = &HighContrastOn) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW driver_class{};
  driver_class.lpfnWndProc = &DriverProc;
  driver_class.hInstance = instance;
  driver_class.lpszClassName = kDriverClass;
  ASSERT_NE(RegisterClassW(&driver_class), 0) << GetLastError();
  bool ran = false;
  const Check counted = [&](HWND clock) {
    ran = true;
    check(clock);
  };
  HWND driver = CreateWindowExW(0, kDriverClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                instance, const_cast<Check*>(&counted));
  ASSERT_NE(driver, nullptr) << GetLastError();
  PostMessageW(driver, kRunCheck, 0, 0);
  {
    ClockShell shell(instance, high_contrast);
    EXPECT_EQ(shell.Run(), 0);
  }
  DestroyWindow(driver);
  UnregisterClassW(kDriverClass, instance);
  EXPECT_TRUE(ran) << "the shell ended before its loop handled the posted message";
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

Box LabelBox(LabelId id) {
  return ScaleLayout(ScreenDpi()).boxes[id];
}

// The pixels of a client-area box as the window shows them now, as 0xRRGGBB, top row first.
std::vector<std::uint32_t> Shown(HWND window, const Box& box) {
  std::vector<std::uint32_t> out;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = box.width;
  info.bmiHeader.biHeight = -box.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC window_dc = GetDC(window);
  HDC dc = CreateCompatibleDC(window_dc);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, box.width, box.height, window_dc, box.left, box.top, SRCCOPY);
  GdiFlush();
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  out.assign(pixels, pixels + box.width * box.height);
  for (std::uint32_t& pixel : out) pixel &= 0xFFFFFF;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(window, window_dc);
  return out;
}

int BluePixels(const std::vector<std::uint32_t>& pixels) {
  int n = 0;
  for (std::uint32_t pixel : pixels) n += pixel == 0x0000FF ? 1 : 0;
  return n;
}

// How many rows of a box's pixels hold blue: the height of its text.
int BlueRows(const std::vector<std::uint32_t>& pixels, int width) {
  int rows = 0;
  for (std::size_t row = 0; row * width < pixels.size(); ++row) {
    const auto begin = pixels.begin() + static_cast<std::ptrdiff_t>(row * width);
    rows += std::find(begin, begin + width, 0x0000FFu) != begin + width ? 1 : 0;
  }
  return rows;
}

bool NothingToPaint(HWND window) {
  return GetUpdateRect(window, nullptr, FALSE) == FALSE;
}

// Waits, handling no message at all, until the local time's second has moved on from the one it
// is now; the clock has not ticked since, so the seconds it shows are stale.
bool WaitForTheNextSecond() {
  SYSTEMTIME start;
  GetLocalTime(&start);
  for (int i = 0; i < 6000; ++i) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (now.wSecond != start.wSecond) return true;
    Sleep(10);
  }
  return false;
}

TEST(ShellMessages, TheTimeChangingShowsAtOnce) {
  RunShellWith([](HWND clock) {
    const Box seconds = LabelBox(kSec);
    UpdateWindow(clock);
    const std::vector<std::uint32_t> before = Shown(clock, seconds);
    ASSERT_GT(BluePixels(before), 5) << "the seconds label shows no blue text";
    ASSERT_TRUE(WaitForTheNextSecond()) << "the local time stood still for a minute";
    ASSERT_TRUE(NothingToPaint(clock)) << "something else asked for a repaint first";

    SendMessageW(clock, WM_TIMECHANGE, 0, 0);

    // Drawn at once, or at least asked for.
    UpdateWindow(clock);
    const std::vector<std::uint32_t> after = Shown(clock, seconds);
    EXPECT_GT(BluePixels(after), 5);
    EXPECT_NE(after, before) << "WM_TIMECHANGE left the stale seconds for the next timer tick";
  });
}

TEST(ShellMessages, ANewDateSeparatorShowsAtOnce) {
  if (std::getenv("BRUMO_PRIVATE_PREFIX") == nullptr) {
    GTEST_SKIP() << "changes the user's regional settings: runs in a Wine prefix of its own";
  }
  wchar_t was[8] = {};
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDATE, was, 8);
  const wchar_t* other = std::wstring(was) == L"-" ? L"." : L"-";
  RunShellWith([&](HWND clock) {
    const Box date = LabelBox(kData);
    UpdateWindow(clock);
    const std::vector<std::uint32_t> before = Shown(clock, date);
    ASSERT_GT(BluePixels(before), 5) << "the date label shows no blue text";
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, other));
    ASSERT_TRUE(NothingToPaint(clock)) << "something else asked for a repaint first";

    SendMessageW(clock, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"));

    UpdateWindow(clock);
    EXPECT_NE(Shown(clock, date), before) << "WM_SETTINGCHANGE left the old separator on the date";
  });
  SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, was);
}

// A high-contrast theme with a black face, as Windows' dark ones have, turned on while the clock
// runs: the close glyph and the digits take the theme's text colour, where the designed black
// and blue would vanish or barely show. Wine has no high-contrast mode: the shell is told one is
// on.
TEST(ShellMessages, AHighContrastThemeIsFollowed) {
  if (std::getenv("BRUMO_PRIVATE_PREFIX") == nullptr) {
    GTEST_SKIP() << "changes the system's colours: runs in a Wine prefix of its own";
  }
  const INT elements[] = {COLOR_BTNFACE, COLOR_BTNTEXT};
  const COLORREF was[] = {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT)};
  const COLORREF theme[] = {RGB(0, 0, 0), RGB(255, 255, 255)};
  RunShellWith(
      [&](HWND clock) {
        // Sends every top-level window WM_SYSCOLORCHANGE.
        ASSERT_TRUE(SetSysColors(2, elements, theme)) << GetLastError();
        UpdateWindow(clock);
        for (const LabelId id : {kEsci, kSec}) {
          const std::vector<std::uint32_t> pixels = Shown(clock, LabelBox(id));
          EXPECT_GT(std::count(pixels.begin(), pixels.end(), 0xFFFFFFu), 5)
              << kLayout[id].name << " does not stand out from the black face";
        }
      },
      [] { return true; });
  SetSysColors(2, elements, was);
}

// Windows moves a per-monitor aware window to a monitor of another scale: it asks for the size
// there, then suggests a rectangle of that size in WM_DPICHANGED.
TEST(ShellMessages, ANewDpiLaysTheClockOutInTheRectangleWindowsSuggests) {
  RunShellWith([](HWND clock) {
    const int dpi = ScreenDpi();
    const int other = dpi * 3 / 2;
    const ScaledLayout now = ScaleLayout(dpi);
    const ScaledLayout then = ScaleLayout(other);
    const Box client{0, 0, now.client_width, now.client_height};
    UpdateWindow(clock);
    const std::vector<std::uint32_t> before = Shown(clock, client);
    const int digits_tall = BlueRows(Shown(clock, now.boxes[kSec]), now.boxes[kSec].width);
    RECT was{};
    GetWindowRect(clock, &was);

    SIZE size{};
    ASSERT_TRUE(SendMessageW(clock, WM_GETDPISCALEDSIZE, other, reinterpret_cast<LPARAM>(&size)));
    RECT suggested{was.left + 40, was.top + 30, was.left + 40 + size.cx, was.top + 30 + size.cy};
    SendMessageW(clock, WM_DPICHANGED, MAKEWPARAM(other, other),
                 reinterpret_cast<LPARAM>(&suggested));

    RECT taken{}, inside{};
    GetWindowRect(clock, &taken);
    GetClientRect(clock, &inside);
    EXPECT_TRUE(EqualRect(&taken, &suggested)) << "the window is not where Windows said";
    EXPECT_EQ(inside.right, then.client_width);
    EXPECT_EQ(inside.bottom, then.client_height);
    UpdateWindow(clock);
    // The seconds are drawn in their box at the new scale, which lies beyond the old window, in
    // digits refitted to it.
    const int taller = BlueRows(Shown(clock, then.boxes[kSec]), then.boxes[kSec].width);
    EXPECT_GE(taller * 4, digits_tall * 5)
        << "digits " << digits_tall << " then " << taller << " rows tall at " << other << " dpi";

    // Back again: the window where it was, as it was.
    SendMessageW(clock, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&was));
    GetWindowRect(clock, &taken);
    EXPECT_TRUE(EqualRect(&taken, &was));
    UpdateWindow(clock);
    EXPECT_EQ(Shown(clock, client), before)
        << "the clock looks otherwise back at " << dpi << " dpi";
  });
}

}  // namespace
}  // namespace brumo::win32
