// The clock as a native Wayland client: a layer surface on the top layer of an output, drawn with
// fcft and pixman into shared-memory buffers, driven by the Linux shells' epoll loop over the
// compositor's socket, the close signals and the time-zone watch, forwarding its events to the
// window's rules (ClockWindow).
#pragma once

#include <pixman.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "display/time_row.h"
#include "window/clock_window.h"
#include "window/linux/clock_loop.h"
#include "window/linux/drawing.h"
#include "window/wayland/text_raster.h"
#include "window/wayland/wayland_rules.h"

struct wl_registry;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct wp_viewporter;
struct wp_viewport;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zwp_relative_pointer_manager_v1;
struct zwp_relative_pointer_v1;

namespace brumo::wayland {

// The compositor named by WAYLAND_DISPLAY, and whether it offers layer surfaces: for the choice
// of shell, before any window is made. False where it cannot be reached.
bool CompositorOffersLayerShell();

class WaylandWindow final : public Shell, private LoopClient {
 public:
  // Connects to the compositor named by WAYLAND_DISPLAY and learns what it offers.
  // Throws FatalError.
  WaylandWindow();
  ~WaylandWindow() override;
  WaylandWindow(const WaylandWindow&) = delete;
  WaylandWindow& operator=(const WaylandWindow&) = delete;

  // Runs the load handler, shows the surface and handles its events until it is closed.
  // Returns the program's exit status: 0 also when another copy was already running.
  int Run();

  // Shell
  bool AnotherCopyRunning() override;
  ClockReading ReadClock() override { return loop_.Reading(); }
  NativeHandle Handle() const override { return reinterpret_cast<NativeHandle>(surface_); }
  void OnTop(NativeHandle handle, bool flag) override;
  void Sposta() override;
  void Close() override { loop_.Stop(); }
  void Repaint(LabelMask labels) override;

  // What the clock knows of an output: its integer scale and its size in logical pixels.
  struct Output {
    WaylandWindow* window = nullptr;
    wl_output* output = nullptr;
    zxdg_output_v1* xdg_output = nullptr;
    std::uint32_t name = 0;
    int scale = 1;
    int mode_width = 0, mode_height = 0;  // pixels
    bool turned = false;                  // rotated by a quarter turn
    int logical_width = 0, logical_height = 0;
    bool entered = false;  // the surface is on it

    // The logical size: xdg-output's where offered, else the mode's pixels by the scale.
    Point Size() const {
      if (logical_width > 0 && logical_height > 0) return {logical_width, logical_height};
      const int w = turned ? mode_height : mode_width;
      const int h = turned ? mode_width : mode_height;
      return {w / std::max(scale, 1), h / std::max(scale, 1)};
    }
  };

  // The compositor's events, through the listeners.
  void OnGlobal(wl_registry* registry, std::uint32_t name, const char* interface,
                std::uint32_t version);
  void OnGlobalRemove(std::uint32_t name);
  void OnConfigure(std::uint32_t serial, std::uint32_t width, std::uint32_t height);
  void OnOutputsChanged();
  void OnSurfaceEnter(wl_output* output, bool entered);
  void OnPreferredScale(std::uint32_t scale120);
  void OnSeatCapabilities(std::uint32_t caps);
  void OnPointerEnter(bool inside, wl_fixed_t x, wl_fixed_t y);
  void OnPointerMotion(wl_fixed_t x, wl_fixed_t y);
  void OnPointerButton(std::uint32_t button, bool pressed);
  void OnRelativeMotion(wl_fixed_t dx, wl_fixed_t dy);
  void OnKeymap(std::uint32_t format, int fd, std::uint32_t size);
  void OnKey(std::uint32_t key, bool pressed);
  void OnModifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                   std::uint32_t group);
  void OnBufferRelease(wl_buffer* buffer);
  void OnMoveApplied();

 private:
  // LoopClient
  int ConnectionFd() const override { return wl_display_get_fd(display_); }
  void HandleEvents() override;
  void OnNewSecond() override { clock_.Tick(); }
  bool ReadyToWait() override;
  void AfterWait(bool readable) override;
  void AfterTick() override;
  bool WatchConnection() const override { return !quiet_; }

  struct Deleter {
    void operator()(xkb_context* p) const { xkb_context_unref(p); }
    void operator()(xkb_keymap* p) const { xkb_keymap_unref(p); }
    void operator()(fcft_font* p) const { brumo_font_close(p); }
  };
  template <class T>
  using Owned = std::unique_ptr<T, Deleter>;

  // One shared-memory buffer the size of the surface's pixels; two of them, drawn in turn.
  struct Buffer {
    wl_buffer* buffer = nullptr;
    pixman_image_t* image = nullptr;
    std::uint32_t* pixels = nullptr;
    bool busy = false;  // the compositor holds it
    Box stale{};        // what changed since it was last drawn, to take from the other one
  };

  // A move the clock runs itself: the margins follow the pointer until `button` comes up.
  struct Move {
    bool active = false;
    std::uint32_t button = 0;
    Point margins_at_press{};
    Point pointer_at_press{};           // on the output, logical pixels
    double travel_x = 0, travel_y = 0;  // the pointer's travel, from its relative motion
  };

  // Start-up.
  void Connect();
  void CreateSurface();
  void ReleaseBuffers();
  void MakeBuffers();

  // Fonts and drawing.
  void MakeDrawing();
  void OpenFonts();
  void LoadGlyphs();
  void PaintAll();
  void DrawLabel(LabelId id, const Box& clip);
  int DrawText(fcft_font* font, std::string_view text, int x, int baseline, Rgb colour,
               const Box& clip, Box* ink);
  void Fill(const Box& box, Rgb colour);
  Box Pixels(const Box& client_box) const;  // a client-area box in the buffer's pixels
  fcft_font* FontOf(LabelId id) const;
  pixman_image_t* ColourOf(Rgb colour) const;
  void Present(const Box& damage);

  // Scale and outputs.
  int CurrentScale120() const;
  void FollowScale();
  Output* OutputOf(wl_output* output);

  // Input.
  Point ClientPoint() const;  // the pointer in the client area's pixels
  void StepMove();
  void CommitMargins(Point margins);

  // Declared in the order they are made; destroyed in reverse, the connection last of all.
  ClockLoop loop_;
  int lock_fd_ = -1;
  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_compositor* compositor_ = nullptr;
  wl_shm* shm_ = nullptr;
  wl_seat* seat_ = nullptr;
  std::uint32_t seat_version_ = 0;
  zwlr_layer_shell_v1* layer_shell_ = nullptr;
  std::uint32_t layer_shell_version_ = 0;
  wp_viewporter* viewporter_ = nullptr;
  wp_fractional_scale_manager_v1* fractional_manager_ = nullptr;
  zxdg_output_manager_v1* xdg_output_manager_ = nullptr;
  zwp_relative_pointer_manager_v1* relative_manager_ = nullptr;
  std::vector<std::unique_ptr<Output>> outputs_;

  wl_surface* surface_ = nullptr;
  zwlr_layer_surface_v1* layer_surface_ = nullptr;
  wp_viewport* viewport_ = nullptr;
  wp_fractional_scale_v1* fractional_ = nullptr;
  wl_pointer* pointer_ = nullptr;
  zwp_relative_pointer_v1* relative_pointer_ = nullptr;
  wl_keyboard* keyboard_ = nullptr;
  // The keymap, read once into what the clock needs of it: each key's code on its first level
  // (whatever the modifiers held), and the modifier bits of Shift, Control and Alt.
  std::array<std::uint8_t, 256> key_codes_{};
  bool have_keymap_ = false;
  std::uint32_t shift_mask_ = 0, ctrl_mask_ = 0, alt_mask_ = 0;

  ClockWindow clock_;
  const ScaledLayout& layout_;
  int dpi_ = kDesignDpi;
  int scale120_ = 120;          // the scale drawn at, in 120ths
  int preferred_scale120_ = 0;  // the fractional scale the compositor asks for, if any
  int buffer_scale_ = 1;        // the integer scale set on the surface
  int width_ = 0, height_ = 0;  // the buffers' pixels, frame included
  int stride_ = 0;
  wl_shm_pool* pool_ = nullptr;
  void* pool_data_ = nullptr;
  std::size_t pool_size_ = 0;
  std::array<Buffer, 2> buffers_{};
  int front_ = -1;         // the buffer last committed
  LabelMask waiting_ = 0;  // labels to draw once a buffer is free
  bool configured_ = false;
  bool fcft_ready_ = false;
  bool layer_top_ = true;  // OnTop: the top layer, above ordinary windows

  // Fonts, their colours, and where the time row's texts go.
  Owned<fcft_font> phrase_font_;
  Owned<fcft_font> digits_font_;
  Owned<fcft_font> glyph_font_;               // only when a font named exactly Marlett is installed
  std::array<pixman_image_t*, 3> colours_{};  // red, blue, black
  std::vector<Box> cross_;                    // the drawn close cross, where there is no Marlett
  TextShifts shifts_{};
  std::array<Box, kLabelCount> ink_{};

  // The pointer and the margins.
  wl_fixed_t pointer_x_ = 0, pointer_y_ = 0;
  int modifiers_ = 0;
  Point margins_{};          // the margins last committed
  Point applied_margins_{};  // the margins the compositor's pointer events are relative to
  std::array<Point, 16> in_flight_{};  // committed margins whose commit is not yet known applied
  int in_flight_head_ = 0, in_flight_count_ = 0;
  Move move_;
  bool pointer_inside_ = false;  // the pointer is on the surface
  // A new second was committed on this tick: until the next one the clock does not wake for
  // what the compositor sends (the buffer's release, a moment later), unless the pointer is on it.
  bool committed_ = false;
  bool quiet_ = false;
  bool events_read_ = true;  // read from the connection, and not yet handled
};

}  // namespace brumo::wayland
