#include "platform/wayland/wayland_background.h"

#include <poll.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

#include "platform/wayland/wayland_surface_table.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

namespace platform::wayland {
namespace {

constexpr uint32_t kOutputVersion = 4;  // 2 brings the scale, 4 the name
constexpr uint32_t kCompositorVersion = 4;
constexpr uint32_t kLayerShellVersion = 1;         // all that is used is in the first version
constexpr NativeWindow kFirstWindow = 0x7A000001;  // far from SDL's window ids

struct Output {
    uint32_t global = 0;  // the registry's name; 0: a free slot
    wl_output* output = nullptr;
    char name[kMonitorNameSize] = {};
    int32_t scale = 1;
    bool described = false;  // the first done came
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    NativeWindow window = 0;
    uint32_t width = 0;  // points, from configure
    uint32_t height = 0;
    bool configured = false;
    bool closing = false;        // the compositor closed the surface, or the output went
    bool removed = false;        // the output went
    bool gone_reported = false;  // list() no longer told the surface: its device is gone
};

class WaylandBackground final : public BackgroundSurfaces {
public:
    bool start(wl_display* display, const char* only_output);
    uint32_t list(BackgroundSurface* surfaces, uint32_t capacity) override;
    bool wait(uint32_t milliseconds) override;
    bool find(NativeWindow window, TableSurface& found) const;

    void add_global(wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    void remove_global(uint32_t name);
    void output_done(Output& output);
    void configure(Output& output, uint32_t serial, uint32_t width, uint32_t height);
    void close_surface(Output& output);

private:
    void destroy_closed();

    wl_display* display_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    zwlr_layer_shell_v1* layer_shell_ = nullptr;
    char only_output_[kMonitorNameSize] = {};
    Output outputs_[kMaxBackgroundSurfaces];
    NativeWindow next_window_ = kFirstWindow;
};

WaylandBackground g_background;

// ---- listeners ----

void on_global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    static_cast<WaylandBackground*>(data)->add_global(registry, name, interface, version);
}
void on_global_remove(void* data, wl_registry*, uint32_t name) {
    static_cast<WaylandBackground*>(data)->remove_global(name);
}
const wl_registry_listener kRegistryListener{on_global, on_global_remove};

void on_geometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*, int32_t) {}
void on_mode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
void on_done(void* data, wl_output*) { g_background.output_done(*static_cast<Output*>(data)); }
void on_scale(void* data, wl_output*, int32_t factor) { static_cast<Output*>(data)->scale = factor > 0 ? factor : 1; }
void on_name(void* data, wl_output*, const char* name) {
    std::snprintf(static_cast<Output*>(data)->name, kMonitorNameSize, "%s", name != nullptr ? name : "");
}
void on_description(void*, wl_output*, const char*) {}
const wl_output_listener kOutputListener{on_geometry, on_mode, on_done, on_scale, on_name, on_description};

void on_configure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height) {
    g_background.configure(*static_cast<Output*>(data), serial, width, height);
}
void on_closed(void* data, zwlr_layer_surface_v1*) { g_background.close_surface(*static_cast<Output*>(data)); }
const zwlr_layer_surface_v1_listener kLayerListener{on_configure, on_closed};

// ---- the background ----

bool WaylandBackground::start(wl_display* display, const char* only_output) {
    display_ = display;
    if (only_output != nullptr) std::snprintf(only_output_, sizeof only_output_, "%s", only_output);
    wl_registry* registry = wl_display_get_registry(display);
    if (registry == nullptr) return false;
    wl_registry_add_listener(registry, &kRegistryListener, this);
    // Globals, then the outputs' names and scales.
    if (wl_display_roundtrip(display) < 0 || wl_display_roundtrip(display) < 0) return false;
    return compositor_ != nullptr && layer_shell_ != nullptr;
}

void WaylandBackground::add_global(wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && compositor_ == nullptr) {
        // Version 3 and later: surfaces take a buffer scale.
        const uint32_t bound = version < kCompositorVersion ? version : kCompositorVersion;
        compositor_ = static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, bound));
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0 && layer_shell_ == nullptr) {
        layer_shell_ = static_cast<zwlr_layer_shell_v1*>(
            wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, kLayerShellVersion));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        for (Output& output : outputs_) {
            if (output.global != 0) continue;
            output = Output{};
            output.global = name;
            const uint32_t bound = version < kOutputVersion ? version : kOutputVersion;
            output.output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, bound));
            wl_output_add_listener(output.output, &kOutputListener, &output);
            return;
        }
    }
}

void WaylandBackground::remove_global(uint32_t name) {
    for (Output& output : outputs_) {
        if (output.global != name) continue;
        output.removed = true;
        output.closing = true;
    }
}

// Every description ends with done: the first one makes the surface, a
// later one may bring another scale.
void WaylandBackground::output_done(Output& output) {
    output.described = true;
    if (output.surface != nullptr || output.closing || compositor_ == nullptr || layer_shell_ == nullptr) return;
    if (only_output_[0] != '\0' && std::strcmp(only_output_, output.name) != 0) return;
    output.surface = wl_compositor_create_surface(compositor_);
    if (output.surface == nullptr) return;
    // No input: an empty input region lets every click through.
    wl_region* nothing = wl_compositor_create_region(compositor_);
    wl_surface_set_input_region(output.surface, nothing);
    wl_region_destroy(nothing);
    output.layer = zwlr_layer_shell_v1_get_layer_surface(layer_shell_, output.surface, output.output,
                                                         ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND, "aquarium");
    zwlr_layer_surface_v1_add_listener(output.layer, &kLayerListener, &output);
    zwlr_layer_surface_v1_set_anchor(output.layer,
                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(output.layer, 0, 0);
    zwlr_layer_surface_v1_set_exclusive_zone(output.layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(output.layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    wl_surface_commit(output.surface);
    output.window = next_window_++;
}

void WaylandBackground::configure(Output& output, uint32_t serial, uint32_t width, uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(output.layer, serial);
    output.width = width;
    output.height = height;
    output.configured = width > 0 && height > 0;
}

// The surface goes only after list() has stopped telling it, once its
// device (and EGL's surface on it) is gone: a close may come while a
// device waits for a frame callback.
void WaylandBackground::close_surface(Output& output) { output.closing = true; }

void WaylandBackground::destroy_closed() {
    for (Output& output : outputs_) {
        if (output.global == 0 || !output.closing || (output.window != 0 && !output.gone_reported)) continue;
        if (output.layer != nullptr) zwlr_layer_surface_v1_destroy(output.layer);
        if (output.surface != nullptr) wl_surface_destroy(output.surface);
        output.layer = nullptr;
        output.surface = nullptr;
        output.window = 0;
        output.configured = false;
        if (output.removed) {
            wl_output_destroy(output.output);
            output = Output{};
        }
    }
}

uint32_t WaylandBackground::list(BackgroundSurface* surfaces, uint32_t capacity) {
    uint32_t count = 0;
    for (Output& output : outputs_) {
        if (output.window != 0 && output.closing) output.gone_reported = true;
        if (output.window == 0 || output.closing || !output.configured || count >= capacity) continue;
        BackgroundSurface& surface = surfaces[count++];
        surface.window = output.window;
        surface.width = output.width * static_cast<uint32_t>(output.scale);
        surface.height = output.height * static_cast<uint32_t>(output.scale);
        std::snprintf(surface.output, sizeof surface.output, "%s", output.name);
    }
    return count;
}

bool WaylandBackground::wait(uint32_t milliseconds) {
    destroy_closed();
    if (wl_display_dispatch_pending(display_) < 0) return false;
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) return false;
    }
    wl_display_flush(display_);
    pollfd connection{wl_display_get_fd(display_), POLLIN, 0};
    const int ready = poll(&connection, 1, static_cast<int>(milliseconds));
    if (ready > 0) {
        if (wl_display_read_events(display_) < 0) return false;
    } else {
        wl_display_cancel_read(display_);
    }
    if ((connection.revents & (POLLHUP | POLLERR)) != 0) return false;
    return wl_display_dispatch_pending(display_) >= 0;
}

bool WaylandBackground::find(NativeWindow window, TableSurface& found) const {
    if (window == 0) return false;
    for (const Output& output : outputs_) {
        if (output.window != window || output.surface == nullptr) continue;
        found = TableSurface{output.surface, output.width * static_cast<uint32_t>(output.scale),
                             output.height * static_cast<uint32_t>(output.scale), output.scale};
        return true;
    }
    return false;
}

}  // namespace

BackgroundSurfaces* make_background_surfaces(void* display, const char* only_output) {
    if (display == nullptr || !g_background.start(static_cast<wl_display*>(display), only_output)) return nullptr;
    return &g_background;
}

bool find_table_surface(NativeWindow window, TableSurface& found) { return g_background.find(window, found); }

}  // namespace platform::wayland
