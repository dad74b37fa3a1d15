#include "platform/egl/egl_graphics_system.h"

#include <malloc.h>

#include <cstdio>
#include <new>

#include "platform/egl/egl_context_target.h"
#include "platform/gl/gl_device.h"
#include "platform/gl/gl_device_rules.h"
#include "platform/sdl/sdl_displays.h"
#include "platform/sdl/sdl_video.h"

namespace platform::egl {
namespace {

constexpr struct {
    uint32_t width, height;
} kOffscreenSizes[] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1280, 1024}, {1600, 900}, {1920, 1080}};

// A software driver takes megabytes of heap for every frame's binned
// primitives and frees them when the frame is drawn. The C library would
// hand that memory back to the kernel each time and take fresh, zeroed
// pages for the next frame; keeping up to 64 MB of freed heap avoids it.
void keep_freed_heap() {
#ifdef __GLIBC__
    static const bool done = [] {
        mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
        return true;
    }();
    (void)done;
#endif
}

}  // namespace

EglGraphicsSystem* EglGraphicsSystem::create_windowed() {
    if (!sdl_video_ready() || sdl_display_count() == 0) return nullptr;
    keep_freed_heap();
    auto* system = new (std::nothrow) EglGraphicsSystem(false);
    if (system == nullptr) return nullptr;
    if (!system->open_device_kinds()) {
        system->release();
        return nullptr;
    }
    return system;
}

EglGraphicsSystem* EglGraphicsSystem::create_offscreen(uint32_t desktop_width, uint32_t desktop_height) {
    if (desktop_width == 0 || desktop_height == 0) return nullptr;
    keep_freed_heap();
    auto* system = new (std::nothrow) EglGraphicsSystem(true);
    if (system == nullptr) return nullptr;
    system->offscreen_desktop_ = DisplayMode{desktop_width, desktop_height, 60, kFormatX8R8G8B8};
    bool desktop_listed = false;
    for (const auto& size : kOffscreenSizes) {
        system->offscreen_modes_[system->offscreen_mode_count_++] = DisplayMode{size.width, size.height, 60, kFormatX8R8G8B8};
        desktop_listed = desktop_listed || (size.width == desktop_width && size.height == desktop_height);
    }
    if (!desktop_listed) system->offscreen_modes_[system->offscreen_mode_count_++] = system->offscreen_desktop_;
    if (!system->open_device_kinds()) {
        system->release();
        return nullptr;
    }
    return system;
}

bool EglGraphicsSystem::open_device_kinds() {
    const EglTarget windows =
        video_session() == sdl::VideoSession::wayland ? EglTarget::WaylandWindows : EglTarget::X11Windows;
    const EglTarget target = offscreen_ ? EglTarget::Offscreen : windows;
    hal_.available = hal_.connection.open(target, false) && hal_.connection.probe(hal_.probe);
    if (!hal_.available) hal_.connection.close();
    ref_.available = ref_.connection.open(target, true) && ref_.connection.probe(ref_.probe);
    if (!ref_.available) ref_.connection.close();
    return hal_.available || ref_.available;
}

uint32_t EglGraphicsSystem::release() {
    if (references_ == 0) return 0;
    const uint32_t remaining = --references_;
    if (remaining == 0) {
        hal_.connection.close();
        ref_.connection.close();
        delete this;
    }
    return remaining;
}

EglGraphicsSystem::DeviceKind* EglGraphicsSystem::kind(DeviceType type) {
    DeviceKind* found = type == kDeviceHal ? &hal_ : (type == kDeviceRef ? &ref_ : nullptr);
    return found != nullptr && found->available ? found : nullptr;
}

bool EglGraphicsSystem::valid_adapter(uint32_t adapter) { return adapter < get_adapter_count(); }

uint32_t EglGraphicsSystem::get_adapter_count() { return offscreen_ ? 1 : sdl_display_count(); }

Result EglGraphicsSystem::get_adapter_identifier(uint32_t adapter, uint32_t, AdapterIdentifier& id) {
    if (!valid_adapter(adapter)) return kInvalidCall;
    id = AdapterIdentifier{};
    const GlProbe& probe = hal_.available ? hal_.probe : ref_.probe;
    std::snprintf(id.driver, sizeof id.driver, "%s", probe.version);
    if (offscreen_ || get_adapter_count() == 1) {
        std::snprintf(id.description, sizeof id.description, "%s", probe.renderer);
    } else {
        std::snprintf(id.description, sizeof id.description, "%s on %s", probe.renderer, sdl_display_name(adapter));
    }
    return kOk;
}

uint32_t EglGraphicsSystem::get_adapter_mode_count(uint32_t adapter) {
    if (!valid_adapter(adapter)) return 0;
    return offscreen_ ? offscreen_mode_count_ : sdl_display_mode_count(adapter);
}

Result EglGraphicsSystem::enum_adapter_modes(uint32_t adapter, uint32_t mode, DisplayMode& out) {
    if (!valid_adapter(adapter) || mode >= get_adapter_mode_count(adapter)) return kInvalidCall;
    if (offscreen_) {
        out = offscreen_modes_[mode];
        return kOk;
    }
    return sdl_display_mode(adapter, mode, out) ? kOk : kInvalidCall;
}

Result EglGraphicsSystem::get_adapter_display_mode(uint32_t adapter, DisplayMode& out) {
    if (!valid_adapter(adapter)) return kInvalidCall;
    if (offscreen_) {
        out = offscreen_desktop_;
        return kOk;
    }
    return sdl_desktop_mode(adapter, out) ? kOk : kInvalidCall;
}

bool EglGraphicsSystem::has_mode(uint32_t adapter, uint32_t width, uint32_t height, Format format) {
    const uint32_t count = get_adapter_mode_count(adapter);
    for (uint32_t i = 0; i < count; ++i) {
        DisplayMode mode{};
        if (succeeded(enum_adapter_modes(adapter, i, mode)) && mode.format == format &&
            (width == 0 || (mode.width == width && mode.height == height))) {
            return true;
        }
    }
    return false;
}

Result EglGraphicsSystem::check_device_type(uint32_t adapter, DeviceType type, Format display_format,
                                            Format back_buffer_format, bool windowed) {
    if (!valid_adapter(adapter)) return kInvalidCall;
    if (kind(type) == nullptr || !gl::back_buffer_fits_display(display_format, back_buffer_format)) {
        return kNotAvailable;
    }
    if (windowed) {
        DisplayMode desktop{};
        if (failed(get_adapter_display_mode(adapter, desktop)) || desktop.format != display_format) return kNotAvailable;
        return kOk;
    }
    return has_mode(adapter, 0, 0, display_format) ? kOk : kNotAvailable;
}

Result EglGraphicsSystem::check_device_format(uint32_t adapter, DeviceType type, Format adapter_format, uint32_t usage,
                                              uint32_t resource_type, Format check_format) {
    if (!valid_adapter(adapter)) return kInvalidCall;
    if (kind(type) == nullptr) return kNotAvailable;
    return gl::check_format_rule(adapter_format, usage, resource_type, check_format);
}

Result EglGraphicsSystem::check_device_multisample_type(uint32_t adapter, DeviceType type, Format surface_format, bool,
                                                        uint32_t multisample_type) {
    if (!valid_adapter(adapter)) return kInvalidCall;
    const DeviceKind* k = kind(type);
    if (k == nullptr) return kNotAvailable;
    return gl::check_multisample_rule(surface_format, multisample_type, k->probe.multisample_types);
}

Result EglGraphicsSystem::check_depth_stencil_match(uint32_t adapter, DeviceType type, Format adapter_format,
                                                    Format render_target_format, Format depth_format) {
    if (!valid_adapter(adapter)) return kInvalidCall;
    if (kind(type) == nullptr) return kNotAvailable;
    return gl::check_depth_stencil_rule(adapter_format, render_target_format, depth_format);
}

Result EglGraphicsSystem::get_device_caps(uint32_t adapter, DeviceType type, DeviceCaps& caps) {
    if (!valid_adapter(adapter)) return kInvalidCall;
    const DeviceKind* k = kind(type);
    if (k == nullptr) return kNotAvailable;
    caps = gl::device_caps(adapter, type, k->probe.max_texture_size);
    return kOk;
}

Result EglGraphicsSystem::create_device(uint32_t adapter, DeviceType type, NativeWindow focus_window,
                                        uint32_t behaviour, PresentParams& params, GraphicsDevice** device) {
    if (device == nullptr) return kInvalidCall;
    *device = nullptr;
    if (!valid_adapter(adapter)) return kInvalidCall;
    DeviceKind* k = kind(type);
    if (k == nullptr) return kNotAvailable;
    if (!gl::behaviour_accepted(behaviour)) return kInvalidCall;

    gl::DeviceSetup setup{};
    setup.system = this;
    get_device_caps(adapter, type, setup.caps);
    setup.limits = gl::GlLimits{k->probe.multisample_types, k->probe.clip_control};
    NativeWindow window = 0;
    DisplayMode desktop{};
    get_adapter_display_mode(adapter, desktop);
    setup.desktop_format = desktop.format != kFormatUnknown ? desktop.format : kFormatX8R8G8B8;
    if (offscreen_) {
        // Offscreen there is no window to take a size from: the desktop's.
        if (params.windowed != 0 && params.back_buffer_width == 0) params.back_buffer_width = desktop.width;
        if (params.windowed != 0 && params.back_buffer_height == 0) params.back_buffer_height = desktop.height;
    } else {
        window = params.device_window != 0 ? params.device_window : focus_window;
        if (window == 0) return kInvalidCall;
        if (params.windowed == 0 &&
            !has_mode(adapter, params.back_buffer_width, params.back_buffer_height, params.back_buffer_format)) {
            return kInvalidCall;
        }
    }
    setup.target = new (std::nothrow) EglContextTarget(k->connection, window);
    if (setup.target == nullptr) return kOutOfMemory;
    gl::GlDevice* created = nullptr;
    const Result result = gl::GlDevice::create(setup, params, &created);
    if (failed(result)) return result;
    *device = created;
    return kOk;
}

}  // namespace platform::egl
