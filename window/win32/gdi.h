// Owners for the Windows handles the clock window keeps: each gives its handle back to the
// system when it goes, so nothing outlives the window.
#pragma once

#include <windows.h>

#include <utility>

namespace brumo::win32 {

// One handle of type H, released with Free when the owner goes or takes another.
template <typename H, typename Free>
class Owned {
 public:
  Owned() = default;
  explicit Owned(H handle) : handle_(handle) {}
  ~Owned() { reset(); }
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  H get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset(H handle = nullptr) {
    if (handle_ != nullptr) Free{}(handle_);
    handle_ = handle;
  }

 private:
  H handle_ = nullptr;
};

struct DeleteGdiObject {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct DeleteMemoryDc {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
struct CloseKernelHandle {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};

using Font = Owned<HFONT, DeleteGdiObject>;
using Bitmap = Owned<HBITMAP, DeleteGdiObject>;
using MemoryDc = Owned<HDC, DeleteMemoryDc>;
using KernelHandle = Owned<HANDLE, CloseKernelHandle>;

// The whole screen's device context, for as long as the scope lasts.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// An off-screen surface the size of the client area: a paint is drawn here and then copied to
// the window in one piece, so a label never flickers through the background.
class Canvas {
 public:
  Canvas() = default;
  ~Canvas() { Release(); }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  bool Create(int width, int height) {
    Release();
    ScreenDc screen;
    dc_.reset(CreateCompatibleDC(screen.get()));
    bitmap_.reset(CreateCompatibleBitmap(screen.get(), width, height));
    if (!dc_ || !bitmap_) return false;
    first_bitmap_ = SelectObject(dc_.get(), bitmap_.get());
    first_font_ = GetCurrentObject(dc_.get(), OBJ_FONT);
    SetBkMode(dc_.get(), TRANSPARENT);
    return true;
  }

  HDC dc() const { return dc_.get(); }
  explicit operator bool() const { return static_cast<bool>(dc_); }

 private:
  // Puts back what the DC came with, so that our bitmap and fonts can be deleted.
  void Release() {
    if (dc_) {
      if (first_bitmap_ != nullptr) SelectObject(dc_.get(), first_bitmap_);
      if (first_font_ != nullptr) SelectObject(dc_.get(), first_font_);
    }
    first_bitmap_ = first_font_ = nullptr;
    dc_.reset();
    bitmap_.reset();
  }

  MemoryDc dc_;
  Bitmap bitmap_;
  HGDIOBJ first_bitmap_ = nullptr;
  HGDIOBJ first_font_ = nullptr;
};

}  // namespace brumo::win32
