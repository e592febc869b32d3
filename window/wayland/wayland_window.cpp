#include "window/wayland/wayland_window.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/tick_schedule.h"
#include "fractional-scale-v1-client-protocol.h"
#include "relative-pointer-unstable-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "window/linux/file_pages.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

namespace brumo::wayland {

namespace {

WaylandWindow* Self(void* data) {
  return static_cast<WaylandWindow*>(data);
}

const wl_registry_listener kRegistryListener{
    .global =
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
           std::uint32_t version) { Self(data)->OnGlobal(registry, name, interface, version); },
    .global_remove = [](void* data, wl_registry*,
                        std::uint32_t name) { Self(data)->OnGlobalRemove(name); },
};

using Output = WaylandWindow::Output;
Output* OutputData(void* data) {
  return static_cast<Output*>(data);
}

const wl_output_listener kOutputListener{
    .geometry = [](void* data, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                   std::int32_t, const char*, const char*,
                   std::int32_t transform) { OutputData(data)->turned = transform % 2 == 1; },
    .mode =
        [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
           std::int32_t) {
          if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
          OutputData(data)->mode_width = width;
          OutputData(data)->mode_height = height;
        },
    .done = [](void* data, wl_output*) { OutputData(data)->window->OnOutputsChanged(); },
    .scale = [](void* data, wl_output*,
                std::int32_t factor) { OutputData(data)->scale = std::max(factor, 1); },
    .name = [](void*, wl_output*, const char*) {},
    .description = [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener kXdgOutputListener{
    .logical_position = [](void*, zxdg_output_v1*, std::int32_t, std::int32_t) {},
    .logical_size =
        [](void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
          OutputData(data)->logical_width = width;
          OutputData(data)->logical_height = height;
        },
    .done = [](void* data, zxdg_output_v1*) { OutputData(data)->window->OnOutputsChanged(); },
    .name = [](void*, zxdg_output_v1*, const char*) {},
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

const wl_surface_listener kSurfaceListener{
    .enter = [](void* data, wl_surface*,
                wl_output* output) { Self(data)->OnSurfaceEnter(output, true); },
    .leave = [](void* data, wl_surface*,
                wl_output* output) { Self(data)->OnSurfaceEnter(output, false); },
};

const zwlr_layer_surface_v1_listener kLayerSurfaceListener{
    .configure = [](void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t width,
                    std::uint32_t height) { Self(data)->OnConfigure(serial, width, height); },
    .closed = [](void* data, zwlr_layer_surface_v1*) { Self(data)->Close(); },
};

const wp_fractional_scale_v1_listener kFractionalListener{
    .preferred_scale = [](void* data, wp_fractional_scale_v1*,
                          std::uint32_t scale) { Self(data)->OnPreferredScale(scale); },
};

const wl_seat_listener kSeatListener{
    .capabilities = [](void* data, wl_seat*,
                       std::uint32_t caps) { Self(data)->OnSeatCapabilities(caps); },
    .name = [](void*, wl_seat*, const char*) {},
};

// The lowest of the version the compositor offers and the one the clock speaks.
std::uint32_t Version(std::uint32_t offered, std::uint32_t spoken) {
  return std::min(offered, spoken);
}

[[noreturn]] void ConnectionLost() {
  throw FatalError("lost the connection to the Wayland compositor", kExitNoDisplay);
}

}  // namespace

bool CompositorOffersLayerShell() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return false;
  bool offered = false;
  wl_registry* registry = wl_display_get_registry(display);
  const wl_registry_listener listener{
      .global =
          [](void* data, wl_registry*, std::uint32_t, const char* interface, std::uint32_t) {
            if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
              *static_cast<bool*>(data) = true;
            }
          },
      .global_remove = [](void*, wl_registry*, std::uint32_t) {},
  };
  wl_registry_add_listener(registry, &listener, &offered);
  if (wl_display_roundtrip(display) < 0) offered = false;
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return offered;
}

// --- Creation ----------------------------------------------------------------------------------

WaylandWindow::WaylandWindow()
    : clock_(*this, kDesignDpi, UserDateSeparator().view()), layout_(clock_.Layout()) {
  Connect();
}

void WaylandWindow::Connect() {
  display_ = wl_display_connect(nullptr);
  if (display_ == nullptr) {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    throw FatalError(std::string("cannot connect to the Wayland display \"") +
                         (name != nullptr ? name : "") + "\": " + std::strerror(errno),
                     kExitNoDisplay);
  }
  registry_ = wl_display_get_registry(display_);
  wl_registry_add_listener(registry_, &kRegistryListener, this);
  // The globals, then what each output and the seat say of themselves.
  if (wl_display_roundtrip(display_) < 0 || wl_display_roundtrip(display_) < 0) ConnectionLost();
  if (compositor_ == nullptr || shm_ == nullptr || layer_shell_ == nullptr) {
    throw FatalError("the Wayland compositor offers no layer surfaces (zwlr_layer_shell_v1)",
                     kExitNoDisplay);
  }
}

void WaylandWindow::OnGlobal(wl_registry* registry, std::uint32_t name, const char* interface,
                             std::uint32_t version) {
  auto is = [interface](const wl_interface& i) { return std::strcmp(interface, i.name) == 0; };
  auto bind = [&](const wl_interface& i, std::uint32_t spoken) {
    return wl_registry_bind(registry, name, &i, Version(version, spoken));
  };
  if (is(wl_compositor_interface)) {
    // Version 4: damage in the buffer's own pixels.
    if (version >= 4) compositor_ = static_cast<wl_compositor*>(bind(wl_compositor_interface, 4));
  } else if (is(wl_shm_interface)) {
    shm_ = static_cast<wl_shm*>(bind(wl_shm_interface, 1));
  } else if (is(wl_seat_interface) && seat_ == nullptr) {
    seat_version_ = Version(version, 5);
    seat_ = static_cast<wl_seat*>(bind(wl_seat_interface, 5));
    wl_seat_add_listener(seat_, &kSeatListener, this);
  } else if (is(zwlr_layer_shell_v1_interface)) {
    layer_shell_version_ = Version(version, 4);
    layer_shell_ = static_cast<zwlr_layer_shell_v1*>(bind(zwlr_layer_shell_v1_interface, 4));
  } else if (is(wp_viewporter_interface)) {
    viewporter_ = static_cast<wp_viewporter*>(bind(wp_viewporter_interface, 1));
  } else if (is(wp_fractional_scale_manager_v1_interface)) {
    fractional_manager_ = static_cast<wp_fractional_scale_manager_v1*>(
        bind(wp_fractional_scale_manager_v1_interface, 1));
  } else if (is(zwp_relative_pointer_manager_v1_interface)) {
    relative_manager_ = static_cast<zwp_relative_pointer_manager_v1*>(
        bind(zwp_relative_pointer_manager_v1_interface, 1));
  } else if (is(zxdg_output_manager_v1_interface)) {
    xdg_output_manager_ =
        static_cast<zxdg_output_manager_v1*>(bind(zxdg_output_manager_v1_interface, 2));
    for (const auto& o : outputs_) {
      if (o->xdg_output != nullptr) continue;
      o->xdg_output = zxdg_output_manager_v1_get_xdg_output(xdg_output_manager_, o->output);
      zxdg_output_v1_add_listener(o->xdg_output, &kXdgOutputListener, o.get());
    }
  } else if (is(wl_output_interface) && version >= 2) {
    auto o = std::make_unique<Output>();
    o->window = this;
    o->name = name;
    o->output = static_cast<wl_output*>(bind(wl_output_interface, 3));
    wl_output_add_listener(o->output, &kOutputListener, o.get());
    if (xdg_output_manager_ != nullptr) {
      o->xdg_output = zxdg_output_manager_v1_get_xdg_output(xdg_output_manager_, o->output);
      zxdg_output_v1_add_listener(o->xdg_output, &kXdgOutputListener, o.get());
    }
    outputs_.push_back(std::move(o));
  }
}

void WaylandWindow::OnGlobalRemove(std::uint32_t name) {
  const auto it = std::find_if(outputs_.begin(), outputs_.end(),
                               [name](const auto& o) { return o->name == name; });
  if (it == outputs_.end()) return;
  if ((*it)->xdg_output != nullptr) zxdg_output_v1_destroy((*it)->xdg_output);
  wl_output_destroy((*it)->output);
  outputs_.erase(it);
  OnOutputsChanged();
}

WaylandWindow::~WaylandWindow() {
  if (display_ == nullptr) return;
  ReleaseBuffers();
  for (pixman_image_t* c : colours_) {
    if (c != nullptr) pixman_image_unref(c);
  }
  glyph_font_.reset();
  digits_font_.reset();
  phrase_font_.reset();
  if (fcft_ready_) brumo_text_fini();
  if (relative_pointer_ != nullptr) zwp_relative_pointer_v1_destroy(relative_pointer_);
  if (pointer_ != nullptr) wl_pointer_destroy(pointer_);
  if (keyboard_ != nullptr) wl_keyboard_destroy(keyboard_);
  if (fractional_ != nullptr) wp_fractional_scale_v1_destroy(fractional_);
  if (viewport_ != nullptr) wp_viewport_destroy(viewport_);
  if (layer_surface_ != nullptr) zwlr_layer_surface_v1_destroy(layer_surface_);
  if (surface_ != nullptr) wl_surface_destroy(surface_);
  for (const auto& o : outputs_) {
    if (o->xdg_output != nullptr) zxdg_output_v1_destroy(o->xdg_output);
    wl_output_destroy(o->output);
  }
  if (xdg_output_manager_ != nullptr) zxdg_output_manager_v1_destroy(xdg_output_manager_);
  if (fractional_manager_ != nullptr) wp_fractional_scale_manager_v1_destroy(fractional_manager_);
  if (relative_manager_ != nullptr) zwp_relative_pointer_manager_v1_destroy(relative_manager_);
  if (viewporter_ != nullptr) wp_viewporter_destroy(viewporter_);
  if (layer_shell_ != nullptr) zwlr_layer_shell_v1_destroy(layer_shell_);
  if (seat_ != nullptr) wl_seat_destroy(seat_);
  if (shm_ != nullptr) wl_shm_destroy(shm_);
  if (compositor_ != nullptr) wl_compositor_destroy(compositor_);
  wl_registry_destroy(registry_);
  wl_display_flush(display_);
  wl_display_disconnect(display_);
  if (lock_fd_ >= 0) close(lock_fd_);
}

// The layer surface: on the top layer, anchored to the output's top-left corner with its margins
// as its position, exactly the layout's size, keeping no room free for itself, and given the
// keyboard when clicked. Committed without a buffer; the compositor answers with a configure.
void WaylandWindow::CreateSurface() {
  surface_ = wl_compositor_create_surface(compositor_);
  wl_surface_add_listener(surface_, &kSurfaceListener, this);
  if (viewporter_ != nullptr && fractional_manager_ != nullptr) {
    viewport_ = wp_viewporter_get_viewport(viewporter_, surface_);
    fractional_ =
        wp_fractional_scale_manager_v1_get_fractional_scale(fractional_manager_, surface_);
    wp_fractional_scale_v1_add_listener(fractional_, &kFractionalListener, this);
  }
  layer_surface_ = zwlr_layer_shell_v1_get_layer_surface(
      layer_shell_, surface_, nullptr,
      layer_top_ ? ZWLR_LAYER_SHELL_V1_LAYER_TOP : ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM, "brumo");
  zwlr_layer_surface_v1_add_listener(layer_surface_, &kLayerSurfaceListener, this);
  zwlr_layer_surface_v1_set_size(layer_surface_, kClientWidth + 2 * kFrameWidth,
                                 kClientHeight + 2 * kFrameWidth);
  zwlr_layer_surface_v1_set_anchor(
      layer_surface_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
  zwlr_layer_surface_v1_set_exclusive_zone(layer_surface_, 0);
  zwlr_layer_surface_v1_set_margin(layer_surface_, margins_.y, 0, 0, margins_.x);
  // Before version 4 a surface could only take the keyboard for good; it then takes none.
  if (layer_shell_version_ >= 4) {
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        layer_surface_, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_ON_DEMAND);
  }
  wl_surface_commit(surface_);
}

void WaylandWindow::OnConfigure(std::uint32_t serial, std::uint32_t /*width*/,
                                std::uint32_t /*height*/) {
  // The size is the clock's own; whatever the compositor suggests, it keeps it.
  zwlr_layer_surface_v1_ack_configure(layer_surface_, serial);
  if (configured_) {
    wl_surface_commit(surface_);
    return;
  }
  configured_ = true;
  FollowScale();
}

// --- Shell -------------------------------------------------------------------------------------

// One copy per Wayland display: the running copy holds a lock on a file in the user's runtime
// directory named after the display. The kernel makes the test-and-take atomic and drops the
// lock when the process ends, however it ends; the directory is the user's alone.
bool WaylandWindow::AnotherCopyRunning() {
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  const char* name = std::getenv("WAYLAND_DISPLAY");
  const std::string path = LockFilePath(dir != nullptr ? dir : "",
                                        name != nullptr && *name != '\0' ? name : "wayland-0");
  if (path.empty()) {
    throw FatalError("XDG_RUNTIME_DIR is not set: nowhere to keep one copy per display",
                     kExitStartFailed);
  }
  lock_fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock_fd_ < 0) {
    throw FatalError("cannot open " + path + ": " + std::strerror(errno), kExitStartFailed);
  }
  if (flock(lock_fd_, LOCK_EX | LOCK_NB) == 0) return false;
  if (errno == EWOULDBLOCK) return true;
  throw FatalError("cannot lock " + path + ": " + std::strerror(errno), kExitStartFailed);
}

void WaylandWindow::OnTop(NativeHandle /*handle: always this surface*/, bool flag) {
  layer_top_ = flag;
  if (layer_surface_ == nullptr || layer_shell_version_ < 2) return;
  zwlr_layer_surface_v1_set_layer(
      layer_surface_, flag ? ZWLR_LAYER_SHELL_V1_LAYER_TOP : ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM);
  wl_surface_commit(surface_);
}

// --- Scale -------------------------------------------------------------------------------------

WaylandWindow::Output* WaylandWindow::OutputOf(wl_output* output) {
  for (const auto& o : outputs_) {
    if (o->output == output) return o.get();
  }
  return nullptr;
}

void WaylandWindow::OnSurfaceEnter(wl_output* output, bool entered) {
  if (Output* o = OutputOf(output)) o->entered = entered;
  OnOutputsChanged();
}

void WaylandWindow::OnPreferredScale(std::uint32_t scale120) {
  preferred_scale120_ = static_cast<int>(scale120);
  OnOutputsChanged();
}

void WaylandWindow::OnOutputsChanged() {
  if (configured_) FollowScale();
}

// The scale to draw at: the compositor's fractional one where it says it; else the largest
// integer scale of the outputs the surface is on (of all outputs, before it is on one).
int WaylandWindow::CurrentScale120() const {
  if (fractional_ != nullptr && preferred_scale120_ > 0) return preferred_scale120_;
  int scale = 0;
  for (const auto& o : outputs_) {
    if (o->entered) scale = std::max(scale, o->scale);
  }
  if (scale == 0) {
    for (const auto& o : outputs_) scale = std::max(scale, o->scale);
  }
  return 120 * std::max(scale, 1);
}

// Lays the clock out for the scale it is shown at: the layout scaled through the core's one
// scaling (scale x 96 dpi), the fonts fitted afresh, new buffers, and one whole paint.
void WaylandWindow::FollowScale() {
  const int scale120 = CurrentScale120();
  if (front_ >= 0 && scale120 == scale120_) return;
  scale120_ = scale120;
  dpi_ = (kDesignDpi * scale120 + 60) / 120;
  clock_.SetDpi(dpi_);
  const bool fractional = fractional_ != nullptr && preferred_scale120_ > 0;
  // The buffer's pixels: at a fractional scale exactly the logical size's, so that the compositor
  // shows them one for one, not resampled into a pixel less (at 1.5 the layout is 496 x 49 and
  // the surface 495 x 48 pixels: its frame is drawn at that size, the client area within it).
  const int logical_width = kClientWidth + 2 * kFrameWidth;
  const int logical_height = kClientHeight + 2 * kFrameWidth;
  width_ = fractional ? (logical_width * scale120 + 60) / 120 : layout_.WindowWidth();
  height_ = fractional ? (logical_height * scale120 + 60) / 120 : layout_.WindowHeight();
  buffer_scale_ = fractional ? 1 : scale120 / 120;
  wl_surface_set_buffer_scale(surface_, buffer_scale_);
  if (viewport_ != nullptr) {
    // The logical size, whatever the buffer's pixels: the compositor scales them to it.
    wp_viewport_set_destination(viewport_, fractional ? logical_width : -1,
                                fractional ? logical_height : -1);
  }
  MakeDrawing();
  MakeBuffers();
  PaintAll();
}

// --- Event loop --------------------------------------------------------------------------------

int WaylandWindow::Run() {
  loop_.ReadNow();
  if (!clock_.Load()) return 0;
  if (!brumo_text_init()) {
    throw FatalError("cannot set up the font rasterizer (fcft)", kExitStartFailed);
  }
  fcft_ready_ = true;
  CreateSurface();
  while (loop_.Running() && !configured_) {
    if (wl_display_dispatch(display_) < 0) ConnectionLost();
  }
  // The seat's keymap, which comes once the keyboard is bound, read during start-up too.
  if (wl_display_roundtrip(display_) < 0) ConnectionLost();
  // Start-up is over: the files' pages it touched leave the process, and what it freed goes back
  // to the system.
  ReleaseFilePages();
  malloc_trim(0);
  loop_.Run(*this);
  return 0;
}

// Whatever the last read brought, handled. The clock reads the connection on this thread alone,
// and only here and after a wait that found it readable: a wake that only ticks, with nothing
// read, leaves libwayland alone.
void WaylandWindow::HandleEvents() {
  if (!events_read_) return;
  events_read_ = false;
  if (wl_display_dispatch_pending(display_) < 0) ConnectionLost();
}

// What the handling and the tick sent, sent. With every event read so far handled, the wait
// cannot sleep on one that is queued already.
bool WaylandWindow::ReadyToWait() {
  if (wl_display_flush(display_) < 0 && errno != EAGAIN) ConnectionLost();
  return true;
}

// The compositor answers each commit with the buffer's release a moment later: left for the next
// tick to read, it costs no wake of its own. Where the pointer is on the clock, or a move is under
// way, every event is handled at once.
void WaylandWindow::AfterTick() {
  quiet_ = committed_ && !pointer_inside_ && !move_.active;
  committed_ = false;
}

void WaylandWindow::AfterWait(bool readable) {
  if (!readable) return;
  // Announced, as libwayland asks of a read; it refuses while events wait in the queue, which
  // HandleEvents has emptied.
  while (wl_display_prepare_read(display_) != 0) {
    if (wl_display_dispatch_pending(display_) < 0) ConnectionLost();
  }
  if (wl_display_read_events(display_) < 0) ConnectionLost();
  events_read_ = true;
}

}  // namespace brumo::wayland
