#include "platform/win32/wgl_graphics_system.h"

#include <cstdio>
#include <new>

#include "platform/gl/gl_device.h"
#include "platform/gl/gl_device_rules.h"
#include "platform/win32/wgl_context_target.h"

namespace platform::win32 {
namespace {

constexpr uint32_t kVersion = 220;

class WglFactory final : public GraphicsSystemFactory {
public:
    GraphicsSystem* create(uint32_t version) override {
        if (version != kVersion) return nullptr;
        return WglGraphicsSystem::create();
    }
};

}  // namespace

GraphicsSystemFactory* make_wgl_graphics_system_factory() {
    static WglFactory factory;
    return &factory;
}

WglGraphicsSystem* WglGraphicsSystem::create() {
    auto* system = new (std::nothrow) WglGraphicsSystem();
    if (system == nullptr) return nullptr;
    system->adapter_count_ = enumerate_adapters(system->adapters_, kAdapterCapacity);
    if (system->adapter_count_ == 0 || !probe_wgl(system->probe_, system->wgl_)) {
        system->release();
        return nullptr;
    }
    return system;
}

uint32_t WglGraphicsSystem::release() {
    if (references_ == 0) return 0;
    const uint32_t remaining = --references_;
    if (remaining == 0) delete this;
    return remaining;
}

bool WglGraphicsSystem::usable(uint32_t adapter, DeviceType type) const {
    return adapter < adapter_count_ && type == kDeviceHal;
}

Result WglGraphicsSystem::get_adapter_identifier(uint32_t adapter, uint32_t, AdapterIdentifier& id) {
    if (adapter >= adapter_count_) return kInvalidCall;
    id = AdapterIdentifier{};
    std::snprintf(id.driver, sizeof id.driver, "%s", probe_.version);
    if (adapter_count_ == 1) {
        std::snprintf(id.description, sizeof id.description, "%s", probe_.renderer);
    } else {
        std::snprintf(id.description, sizeof id.description, "%s on %s", probe_.renderer,
                      adapters_[adapter].device_name);
    }
    return kOk;
}

uint32_t WglGraphicsSystem::get_adapter_mode_count(uint32_t adapter) {
    return adapter < adapter_count_ ? adapters_[adapter].mode_count : 0;
}

Result WglGraphicsSystem::enum_adapter_modes(uint32_t adapter, uint32_t mode, DisplayMode& out) {
    if (adapter >= adapter_count_ || mode >= adapters_[adapter].mode_count) return kInvalidCall;
    out = adapters_[adapter].modes[mode];
    return kOk;
}

Result WglGraphicsSystem::get_adapter_display_mode(uint32_t adapter, DisplayMode& out) {
    if (adapter >= adapter_count_) return kInvalidCall;
    out = adapters_[adapter].desktop;
    return kOk;
}

bool WglGraphicsSystem::has_mode(uint32_t adapter, uint32_t width, uint32_t height, Format format) const {
    const WglAdapter& a = adapters_[adapter];
    for (uint32_t i = 0; i < a.mode_count; ++i) {
        const DisplayMode& mode = a.modes[i];
        if (mode.format == format && (width == 0 || (mode.width == width && mode.height == height))) return true;
    }
    return false;
}

Result WglGraphicsSystem::check_device_type(uint32_t adapter, DeviceType type, Format display_format,
                                            Format back_buffer_format, bool windowed) {
    if (adapter >= adapter_count_) return kInvalidCall;
    if (!usable(adapter, type) || !gl::back_buffer_fits_display(display_format, back_buffer_format)) {
        return kNotAvailable;
    }
    if (windowed) return adapters_[adapter].desktop.format == display_format ? kOk : kNotAvailable;
    return has_mode(adapter, 0, 0, display_format) ? kOk : kNotAvailable;
}

Result WglGraphicsSystem::check_device_format(uint32_t adapter, DeviceType type, Format adapter_format,
                                              uint32_t usage, uint32_t resource_type, Format check_format) {
    if (adapter >= adapter_count_) return kInvalidCall;
    if (!usable(adapter, type)) return kNotAvailable;
    return gl::check_format_rule(adapter_format, usage, resource_type, check_format);
}

Result WglGraphicsSystem::check_device_multisample_type(uint32_t adapter, DeviceType type, Format surface_format,
                                                        bool, uint32_t multisample_type) {
    if (adapter >= adapter_count_) return kInvalidCall;
    if (!usable(adapter, type)) return kNotAvailable;
    return gl::check_multisample_rule(surface_format, multisample_type, probe_.multisample_types);
}

Result WglGraphicsSystem::check_depth_stencil_match(uint32_t adapter, DeviceType type, Format adapter_format,
                                                    Format render_target_format, Format depth_format) {
    if (adapter >= adapter_count_) return kInvalidCall;
    if (!usable(adapter, type)) return kNotAvailable;
    return gl::check_depth_stencil_rule(adapter_format, render_target_format, depth_format);
}

Result WglGraphicsSystem::get_device_caps(uint32_t adapter, DeviceType type, DeviceCaps& caps) {
    if (adapter >= adapter_count_) return kInvalidCall;
    if (!usable(adapter, type)) return kNotAvailable;
    caps = gl::device_caps(adapter, type, probe_.max_texture_size);
    return kOk;
}

Result WglGraphicsSystem::create_device(uint32_t adapter, DeviceType type, NativeWindow focus_window,
                                        uint32_t behaviour, PresentParams& params, GraphicsDevice** device) {
    if (device == nullptr) return kInvalidCall;
    *device = nullptr;
    if (adapter >= adapter_count_) return kInvalidCall;
    if (!usable(adapter, type)) return kNotAvailable;
    if (!gl::behaviour_accepted(behaviour)) return kInvalidCall;
    const NativeWindow window = params.device_window != 0 ? params.device_window : focus_window;
    if (window == 0) return kInvalidCall;
    if (params.windowed == 0 &&
        !has_mode(adapter, params.back_buffer_width, params.back_buffer_height, params.back_buffer_format)) {
        return kInvalidCall;
    }

    gl::DeviceSetup setup{};
    setup.system = this;
    get_device_caps(adapter, type, setup.caps);
    setup.limits = gl::GlLimits{probe_.multisample_types, probe_.clip_control};
    setup.desktop_format = adapters_[adapter].desktop.format != kFormatUnknown ? adapters_[adapter].desktop.format
                                                                              : kFormatX8R8G8B8;
    setup.target = new (std::nothrow) WglContextTarget(wgl_, window, adapters_[adapter].device_name);
    if (setup.target == nullptr) return kOutOfMemory;
    gl::GlDevice* created = nullptr;
    const Result result = gl::GlDevice::create(setup, params, &created);
    if (failed(result)) return result;
    *device = created;
    return kOk;
}

}  // namespace platform::win32
