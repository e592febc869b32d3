#include "window/win32/clock_shell.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <iterator>
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

// Where a text `width` pixels wide starts in a box, by the label's alignment. A centred text
// wider than its box loses its overflow evenly, an odd pixel on the right, where a glyph's advance
// ends in blank space: so two digits of the dialog font, 12 pixels of advance, keep every pixel
// of their ink in an 11-pixel label.
int TextLeft(const Box& box, int width, Align align) {
  switch (align) {
    case Align::kLeft:
      return box.left;
    case Align::kCenter:
      return box.left + (box.width - width) / 2;  // rounds toward zero either way
    case Align::kRight:
      return box.right() - width;
  }
  return box.left;
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

// A font of the layout, in pixels at `dpi`. The window's default font takes the system's dialog
// face at the layout's size, which keeps two digits within their 11-pixel label.
LOGFONTW LayoutFont(const FontSpec& spec, int dpi) {
  LOGFONTW font{};
  if (spec.family.empty()) {
    const LOGFONTW dialog = SystemDialogFont();
    font.lfCharSet = dialog.lfCharSet;
    std::copy(std::begin(dialog.lfFaceName), std::end(dialog.lfFaceName), font.lfFaceName);
  } else {
    font.lfCharSet = static_cast<BYTE>(spec.charset);
    ToUtf16(spec.family, font.lfFaceName, LF_FACESIZE - 1);
  }
  font.lfHeight = -static_cast<LONG>(std::lround(FontPixels(spec.points, dpi)));
  font.lfWeight = spec.weight;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  return font;
}

}  // namespace

ClockShell::ClockShell(HINSTANCE instance)
    : instance_(instance),
      dpi_(SystemDpi()),
      clock_window_(*this, dpi_, UserDateSeparator().view()) {}

ClockShell::~ClockShell() {
  timer_.Stop();
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
  const ScaledLayout& layout = clock_window_.Layout();
  RECT outer{0, 0, layout.client_width, layout.client_height};
  AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);

  // Created hidden: nothing shows before the load handler has run.
  if (CreateWindowExW(kExStyle, kClassName, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                      outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                      instance_, this) == nullptr) {
    return Fail(L"CreateWindowExW");
  }
  if (!clock_window_.Load()) return 0;  // another copy is running
  if (!PrepareDrawing()) return Fail(L"Creating the fonts or the canvas");
  timer_.Start(window_, kTimerId, kTimerMilliseconds);
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
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

void ClockShell::Repaint(LabelMask labels) {
  const ScaledLayout& layout = clock_window_.Layout();
  const LabelMask boxes = WithOverlapping(layout, labels);
  for (int id = 0; id < kLabelCount; ++id) {
    if ((boxes & Bit(LabelId(id))) == 0) continue;
    const RECT box = RectOf(layout.boxes[id]);
    InvalidateRect(window_, &box, FALSE);
  }
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
      if (wparam == kTimerId) clock_window_.Tick();
      return 0;

    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_SYSCOLORCHANGE:
      InvalidateRect(window_, nullptr, FALSE);
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

    case WM_TIMECHANGE:
      clock_window_.Tick();
      return 0;
    case WM_SETTINGCHANGE:
      clock_window_.SetDateSeparator(UserDateSeparator().view());
      clock_window_.Tick();
      return 0;

    case WM_DESTROY:
      timer_.Stop();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

bool ClockShell::PrepareDrawing() {
  // One font for each font the layout names; labels of the same font share it.
  std::size_t made = 0;
  for (const LabelSpec& spec : kLayout) {
    HFONT font = nullptr;
    for (const LabelSpec& earlier : kLayout) {
      if (earlier.id == spec.id) break;
      if (SameFont(earlier.font, spec.font)) font = label_fonts_[earlier.id];
    }
    if (font == nullptr) {
      const LOGFONTW wanted = LayoutFont(spec.font, dpi_);
      fonts_[made].reset(CreateFontIndirectW(&wanted));
      font = fonts_[made++].get();
      if (font == nullptr) return false;
    }
    label_fonts_[spec.id] = font;
  }
  const ScaledLayout& layout = clock_window_.Layout();
  return canvas_.Create(layout.client_width, layout.client_height);
}

void ClockShell::DrawLabel(HDC dc, const LabelSpec& spec) const {
  const Box& box = clock_window_.Layout().boxes[spec.id];
  const RECT rect = RectOf(box);
  if (spec.opaque) FillRect(dc, &rect, GetSysColorBrush(COLOR_3DFACE));
  // A UTF-16 text never has more units than its UTF-8 form has bytes.
  wchar_t text[LabelText::capacity()];
  const int length = ToUtf16(clock_window_.Texts()[spec.id], text, LabelText::capacity());
  if (length == 0) return;
  SelectObject(dc, label_fonts_[spec.id]);
  SetTextColor(dc, RGB(spec.color.r, spec.color.g, spec.color.b));
  SIZE size{};
  GetTextExtentPoint32W(dc, text, length, &size);
  // Like any label, the text is cut at the box's edges.
  ExtTextOutW(dc, TextLeft(box, size.cx, spec.align), box.top, ETO_CLIPPED, &rect, text,
              static_cast<UINT>(length), nullptr);
}

// Draws the part of the window that needs it on the canvas, then copies that part to the screen.
void ClockShell::Paint() {
  PAINTSTRUCT paint;
  HDC screen = BeginPaint(window_, &paint);
  if (screen == nullptr) return;
  const RECT& area = paint.rcPaint;
  if (canvas_ && area.right > area.left && area.bottom > area.top) {
    HDC dc = canvas_.dc();
    FillRect(dc, &area, GetSysColorBrush(COLOR_3DFACE));
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
