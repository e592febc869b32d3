#include "window/win32/clock_shell.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <string_view>

namespace brumo::win32 {
namespace {

constexpr wchar_t kClassName[] = L"brumo";
// One copy per user session: a second start finds this mutex and ends at once.
constexpr wchar_t kInstanceMutexName[] = L"Local\\brumo.clock.single-instance";
constexpr UINT_PTR kTimerId = 1;
constexpr WORD kIconId = 1;  // the icon in the resource script

// A thin dialog frame and no caption; a tool window stays out of the task bar.
constexpr DWORD kStyle = WS_POPUP | WS_DLGFRAME;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;

static_assert(VK_F4 == kKeyF4, "key codes are Windows virtual-key codes");

// Shift 1, Ctrl 2, Alt 4, read from the keyboard state of the message being handled.
int ModifierMask() {
  int mask = 0;
  if (GetKeyState(VK_SHIFT) < 0) mask |= kShiftMask;
  if (GetKeyState(VK_CONTROL) < 0) mask |= kCtrlMask;
  if (GetKeyState(VK_MENU) < 0) mask |= kAltMask;
  return mask;
}

MouseButton ButtonOf(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      return MouseButton::kLeft;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return MouseButton::kMiddle;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return MouseButton::kRight;
    default:
      return MouseButton::kOther;
  }
}

// Reports a platform failure that stops the program and gives its exit code. A GUI program has
// no console, and the clock shows no message boxes: the text goes to a debugger, if one listens.
int Fail(const wchar_t* what) {
  const DWORD error = GetLastError();
  wchar_t message[128];
  wsprintfW(message, L"brumo: %s failed, error %lu\n", what, error);
  OutputDebugStringW(message);
  return 1;
}

bool SameFont(const FontSpec& a, const FontSpec& b) {
  return a.family == b.family && a.points == b.points && a.weight == b.weight &&
         a.charset == b.charset;
}

RECT RectOf(const Box& box) {
  return {box.left, box.top, box.right(), box.bottom()};
}

// Converts UTF-8 into at most `capacity` UTF-16 units; gives how many were written.
int ToUtf16(std::string_view text, wchar_t* out, int capacity) {
  if (text.empty()) return 0;
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out, capacity);
  return n > 0 ? n : 0;
}

// A function of user32 that older Windows may lack, or null. GetProcAddress gives every function
// one type; a pointer to void () converts to any other function pointer.
template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

DpiFunctions LookUpDpiFunctions() {
  DpiFunctions f;
  f.dpi_for_window = User32Function<decltype(f.dpi_for_window)>("GetDpiForWindow");
  f.adjust_rect_for_dpi =
      User32Function<decltype(f.adjust_rect_for_dpi)>("AdjustWindowRectExForDpi");
  return f;
}

// The system's DPI: the manifest declares the program DPI aware, so this is the real one.
int SystemDpi() {
  ScreenDc screen;
  const int dpi = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : kDesignDpi;
}

// The font the system uses for dialogs and messages; the stock GUI font where it cannot say.
LOGFONTW SystemDialogFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    return metrics.lfMessageFont;
  }
  LOGFONTW font{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  return font;
}

// A font of the layout, `pixels` high. The window's default font takes the system's dialog face.
LOGFONTW LayoutFont(const FontSpec& spec, int pixels) {
  LOGFONTW font{};
  if (spec.family.empty()) {
    const LOGFONTW dialog = SystemDialogFont();
    font.lfCharSet = dialog.lfCharSet;
    std::copy(std::begin(dialog.lfFaceName), std::end(dialog.lfFaceName), font.lfFaceName);
  } else {
    font.lfCharSet = static_cast<BYTE>(spec.charset);
    ToUtf16(spec.family, font.lfFaceName, LF_FACESIZE - 1);
  }
  font.lfHeight = -static_cast<LONG>(pixels);
  font.lfWeight = spec.weight;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  return font;
}

// The digits and the colon of `font` as GDI draws them in `dc`: each glyph's black box, from its
// ABC widths; fonts that have none (not TrueType) give their advances alone.
std::optional<DigitFace> MeasureDigits(HDC dc, HFONT font) {
  const HGDIOBJ before = SelectObject(dc, font);
  DigitFace face;
  TEXTMETRICW metrics{};
  ABC abc[11] = {};
  bool ok = GetTextMetricsW(dc, &metrics) != FALSE;
  face.height = static_cast<int>(metrics.tmHeight);
  if (ok &&
      (!GetCharABCWidthsW(dc, L'0', L'9', abc) || !GetCharABCWidthsW(dc, L':', L':', abc + 10))) {
    INT widths[11] = {};
    ok = GetCharWidth32W(dc, L'0', L'9', widths) && GetCharWidth32W(dc, L':', L':', widths + 10);
    for (int i = 0; i < 11; ++i) abc[i] = {0, static_cast<UINT>(widths[i]), 0};
  }
  SelectObject(dc, before);
  if (!ok) return std::nullopt;
  auto ink = [](const ABC& g) {
    return GlyphInk{g.abcA + static_cast<int>(g.abcB) + g.abcC, g.abcA,
                    g.abcA + static_cast<int>(g.abcB)};
  };
  for (std::size_t d = 0; d < 10; ++d) face.digits[d] = ink(abc[d]);
  face.colon = ink(abc[10]);
  return face;
}

Rgb RgbOf(COLORREF color) {
  return {GetRValue(color), GetGValue(color), GetBValue(color)};
}

}  // namespace

bool HighContrastOn() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

ClockShell::ClockShell(HINSTANCE instance, HighContrastQuery high_contrast)
    : instance_(instance),
      dpi_functions_(LookUpDpiFunctions()),
      dpi_(SystemDpi()),
      high_contrast_(high_contrast),
      clock_window_(*this, dpi_, UserDateSeparator().view()) {}

ClockShell::~ClockShell() {
  tick_timer_.Stop();
  if (window_ != nullptr) DestroyWindow(window_);
  UnregisterClassW(kClassName, instance_);
}

int ClockShell::Run() {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &ClockShell::WindowProc;
  window_class.hInstance = instance_;
  window_class.hIcon = static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                 GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR | LR_SHARED));
  window_class.hIconSm = static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                 GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR | LR_SHARED));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kClassName;
  if (RegisterClassExW(&window_class) == 0) return Fail(L"RegisterClassExW");

  // The client area is the layout's; the frame goes around it.
  const RECT outer = OuterRect(dpi_);

  // Created hidden: nothing shows before the load handler has run.
  if (CreateWindowExW(kExStyle, kClassName, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                      outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                      instance_, this) == nullptr) {
    return Fail(L"CreateWindowExW");
  }
  // Per-monitor aware: the window takes the DPI of the monitor it was made on, which need not be
  // the system's.
  if (dpi_functions_.dpi_for_window != nullptr) {
    const int dpi = static_cast<int>(dpi_functions_.dpi_for_window(window_));
    if (dpi > 0 && dpi != dpi_) {
      TakeDpi(dpi);
      const RECT resized = OuterRect(dpi);
      SetWindowPos(window_, nullptr, 0, 0, resized.right - resized.left,
                   resized.bottom - resized.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if (!clock_window_.Load()) return 0;  // another copy is running
  if (!PrepareDrawing()) return Fail(L"Creating the fonts or the canvas");
  TakeColors();
  Tick();
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);

  // The messages, and the tick's waitable timer where it has one: a signalled timer comes first.
  // A window timer comes as WM_TIMER.
  MSG message;
  for (;;) {
    HANDLE timer = tick_timer_.Waitable();
    const DWORD woke = MsgWaitForMultipleObjectsEx(timer != nullptr ? 1 : 0, &timer, INFINITE,
                                                   QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_FAILED) return Fail(L"MsgWaitForMultipleObjectsEx");
    if (timer != nullptr && woke == WAIT_OBJECT_0) {
      Tick();
      continue;
    }
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return exit_code_;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

void ClockShell::Tick() {
  if (window_ == nullptr) return;
  clock_window_.Tick();
  // A changed text is drawn now, not once the loop finds nothing else to do; the next tick is
  // set after it. The tick just after each second is set by one that drew nothing.
  if (repaint_pending_) {
    repaint_pending_ = false;
    UpdateWindow(window_);
  }
  // Timed from after the reading, so never early for the tenth it aims at.
  if (window_ != nullptr && !tick_timer_.Set(window_, kTimerId, TickDelay(clock_.Subsecond()))) {
    exit_code_ = Fail(L"Setting the tick's timer");
    DestroyWindow(window_);
  }
}

RECT ClockShell::OuterRect(int dpi) const {
  const ScaledLayout layout = ScaleLayout(dpi);
  RECT outer{0, 0, layout.client_width, layout.client_height};
  if (dpi_functions_.adjust_rect_for_dpi != nullptr) {
    dpi_functions_.adjust_rect_for_dpi(&outer, kStyle, FALSE, kExStyle, static_cast<UINT>(dpi));
  } else {
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);  // the system's DPI, the only one
  }
  return outer;
}

void ClockShell::TakeDpi(int dpi) {
  dpi_ = dpi;
  clock_window_.SetDpi(dpi);
}

bool ClockShell::AnotherCopyRunning() {
  instance_mutex_.reset(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
  const DWORD error = GetLastError();
  // Access denied: the mutex exists and belongs to a copy running with other rights.
  return !instance_mutex_ || error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

ClockReading ClockShell::ReadClock() {
  return clock_.Now();
}

NativeHandle ClockShell::Handle() const {
  return reinterpret_cast<NativeHandle>(window_);
}

void ClockShell::OnTop(NativeHandle handle, bool flag) {
  SetWindowPos(reinterpret_cast<HWND>(handle), flag ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE);
}

void ClockShell::Sposta() {
  ReleaseCapture();
  SendMessageA(window_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void ClockShell::Close() {
  if (window_ != nullptr) DestroyWindow(window_);
}

// Only the changed labels' boxes: the paint draws every label that reaches into them whole, and
// copies no more than they cover.
void ClockShell::Repaint(LabelMask labels) {
  const ScaledLayout& layout = clock_window_.Layout();
  for (int id = 0; id < kLabelCount; ++id) {
    if ((labels & Bit(LabelId(id))) == 0) continue;
    const RECT box = RectOf(layout.boxes[id]);
    InvalidateRect(window_, &box, FALSE);
  }
  repaint_pending_ = true;
}

LRESULT CALLBACK ClockShell::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* shell =
        static_cast<ClockShell*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    shell->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(shell));
  }
  auto* shell = reinterpret_cast<ClockShell*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (shell == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    shell->window_ = nullptr;
    return DefWindowProcW(window, message, wparam, lparam);
  }
  return shell->OnMessage(message, wparam, lparam);
}

LRESULT ClockShell::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kTimerId) Tick();
      return 0;
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
      // Windows' own loop runs the messages while the window moves: a window timer ticks there.
      tick_timer_.SetModal(message == WM_ENTERSIZEMOVE);
      Tick();
      return 0;

    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_SYSCOLORCHANGE:
      TakeColors();
      return 0;

    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_XBUTTONDOWN:
      // Keep the pointer until the button comes up, so that a click on the close glyph is seen
      // whole; a press that moves the window gives the capture back first.
      SetCapture(window_);
      clock_window_.Press(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), ButtonOf(message),
                          ModifierMask());
      return message == WM_XBUTTONDOWN ? TRUE : 0;
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
    case WM_RBUTTONUP:
    case WM_XBUTTONUP:
      if (GetCapture() == window_) ReleaseCapture();
      clock_window_.Release(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), ButtonOf(message),
                            ModifierMask());
      return message == WM_XBUTTONUP ? TRUE : 0;

    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      clock_window_.Key(static_cast<int>(wparam), ModifierMask());
      // The default procedure would close on Alt+F4 whatever else is held: F4 is ours alone.
      if (wparam == VK_F4) return 0;
      break;

    // The clock set, or the machine woken: the new time at once, and the ticks on its tenths.
    case WM_TIMECHANGE:
      Tick();
      return 0;
    case WM_POWERBROADCAST:
      if (wparam == PBT_APMRESUMEAUTOMATIC) Tick();
      return TRUE;
    case WM_SETTINGCHANGE:
      // A high-contrast theme turned on or off, or the regional settings changed, among others.
      TakeColors();
      clock_window_.SetDateSeparator(UserDateSeparator().view());
      Tick();
      return 0;

    case WM_GETDPISCALEDSIZE: {
      // Asked before a change of DPI: the window's size there is the layout's, not this one
      // stretched, and it comes back as the rectangle of WM_DPICHANGED.
      const RECT outer = OuterRect(static_cast<int>(wparam));
      auto* size = reinterpret_cast<SIZE*>(lparam);
      size->cx = outer.right - outer.left;
      size->cy = outer.bottom - outer.top;
      return TRUE;
    }
    case WM_DPICHANGED: {
      // Moved to a monitor of another scale, or its scale changed: laid out afresh at the new
      // DPI, in the rectangle Windows suggests.
      TakeDpi(HIWORD(wparam));
      if (canvas_ && !PrepareDrawing()) {
        exit_code_ = Fail(L"Creating the fonts or the canvas");
        DestroyWindow(window_);
        return 0;
      }
      const RECT& to = *reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(window_, nullptr, to.left, to.top, to.right - to.left, to.bottom - to.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      InvalidateRect(window_, nullptr, FALSE);
      return 0;
    }

    case WM_DESTROY:
      tick_timer_.Stop();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

bool ClockShell::PrepareDrawing() {
  // The canvas first: the old one lets go of the fonts it holds before they are replaced.
  const ScaledLayout& layout = clock_window_.Layout();
  if (!canvas_.Create(layout.client_width, layout.client_height)) return false;
  HDC dc = canvas_.dc();

  // The default font: the largest size of the dialog face at which every pair of digits fits
  // the minutes' box.
  const Box pair_box = DigitPairBox(layout);
  const int digits_px = FitPixelSize(dpi_, [&](int px) {
    const LOGFONTW wanted = LayoutFont(kDefaultFont, px);
    const Font font(CreateFontIndirectW(&wanted));
    if (!font) return false;
    const std::optional<DigitFace> face = MeasureDigits(dc, font.get());
    return face && DigitPairsFit(*face, pair_box);
  });

  // One font for each font the layout names; labels of the same font share it.
  std::size_t made = 0;
  for (const LabelSpec& spec : kLayout) {
    HFONT font = nullptr;
    for (const LabelSpec& earlier : kLayout) {
      if (earlier.id == spec.id) break;
      if (SameFont(earlier.font, spec.font)) font = label_fonts_[earlier.id];
    }
    if (font == nullptr) {
      const int pixels = spec.font.family.empty()
                             ? digits_px
                             : static_cast<int>(std::lround(FontPixels(spec.font.points, dpi_)));
      const LOGFONTW wanted = LayoutFont(spec.font, pixels);
      fonts_[made].reset(CreateFontIndirectW(&wanted));
      font = fonts_[made++].get();
      if (font == nullptr) return false;
    }
    label_fonts_[spec.id] = font;
  }
  const std::optional<DigitFace> face = MeasureDigits(dc, label_fonts_[kMin]);
  shifts_ = face ? TimeRowShifts(layout, *face) : TextShifts{};
  return true;
}

void ClockShell::TakeColors() {
  colors_ = LabelColors(high_contrast_(), RgbOf(GetSysColor(COLOR_BTNTEXT)));
  if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
}

void ClockShell::DrawLabel(HDC dc, const LabelSpec& spec) const {
  const Box& box = clock_window_.Layout().boxes[spec.id];
  const RECT rect = RectOf(box);
  if (spec.opaque) FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
  // A UTF-16 text never has more units than its UTF-8 form has bytes.
  wchar_t text[LabelText::capacity()];
  const int length = ToUtf16(clock_window_.Texts()[spec.id], text, LabelText::capacity());
  if (length == 0) return;
  SelectObject(dc, label_fonts_[spec.id]);
  const Rgb color = colors_[spec.id];
  SetTextColor(dc, RGB(color.r, color.g, color.b));
  SIZE size{};
  GetTextExtentPoint32W(dc, text, length, &size);
  // Like any label, the text is cut at the box's edges. The time row's texts are moved across
  // so that the colons stand apart from the digits.
  ExtTextOutW(dc, TextLeft(box, spec.align, size.cx) + shifts_[spec.id], box.top, ETO_CLIPPED,
              &rect, text, static_cast<UINT>(length), nullptr);
}

// Draws the part of the window that needs it on the canvas, then copies that part to the screen.
void ClockShell::Paint() {
  PAINTSTRUCT paint;
  HDC screen = BeginPaint(window_, &paint);
  if (screen == nullptr) return;
  const RECT& area = paint.rcPaint;
  if (canvas_ && area.right > area.left && area.bottom > area.top) {
    HDC dc = canvas_.dc();
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    // Every label that reaches into the area is drawn whole over the fresh background; what falls
    // outside the area stays on the canvas and is never copied.
    const Box dirty{area.left, area.top, area.right - area.left, area.bottom - area.top};
    for (const LabelSpec& spec : kLayout) {
      if (clock_window_.Layout().boxes[spec.id].Intersects(dirty)) DrawLabel(dc, spec);
    }
    BitBlt(screen, area.left, area.top, dirty.width, dirty.height, dc, area.left, area.top,
           SRCCOPY);
  }
  EndPaint(window_, &paint);
}

}  // namespace brumo::win32
