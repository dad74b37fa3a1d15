#include "platform/win32/wgl_graphics_system.h"

#include <cstdio>
#include <new>

#include "platform/gl/gl_device.h"
#include "platform/gl/gl_formats.h"
#include "platform/win32/wgl_context_target.h"

namespace platform::win32 {
namespace {

constexpr uint32_t kVersion = 220;
constexpr uint32_t kMiscCapsMaskZ = 0x2;
constexpr uint32_t kMiscCapsCullNone = 0x10;
constexpr uint32_t kMiscCapsCullClockwise = 0x20;
constexpr uint32_t kMiscCapsCullCounterClockwise = 0x40;
constexpr Format kIndex32 = 102;
constexpr uint32_t kResourceTexture = 3;
constexpr uint32_t kUsageRenderTarget = 0x1;

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
    if (!usable(adapter, type) || !gl::is_display_format(display_format)) return kNotAvailable;
    const bool matching = back_buffer_format == display_format ||
                          (display_format == kFormatX8R8G8B8 && back_buffer_format == kFormatA8R8G8B8) ||
                          (display_format == kFormatX1R5G5B5 && back_buffer_format == kFormatA1R5G5B5);
    if (!matching) return kNotAvailable;
    if (windowed) return adapters_[adapter].desktop.format == display_format ? kOk : kNotAvailable;
    return has_mode(adapter, 0, 0, display_format) ? kOk : kNotAvailable;
}

Result WglGraphicsSystem::check_device_format(uint32_t adapter, DeviceType type, Format adapter_format,
                                              uint32_t usage, uint32_t resource_type, Format check_format) {
    if (adapter >= adapter_count_) return kInvalidCall;
    if (!usable(adapter, type) || !gl::is_display_format(adapter_format)) return kNotAvailable;
    if ((usage & kUsageDepthStencil) != 0) {
        return resource_type == kResourceSurface && gl::depth_renderbuffer_format(check_format) != 0 ? kOk
                                                                                                    : kNotAvailable;
    }
    if ((usage & kUsageRenderTarget) != 0) return gl::is_render_target_format(check_format) ? kOk : kNotAvailable;
    if (resource_type == kResourceTexture || resource_type == kResourceSurface) {
        return gl::texture_format(check_format).supported ? kOk : kNotAvailable;
    }
    return check_format == kFormatIndex16 || check_format == kIndex32 ? kOk : kNotAvailable;
}

Result WglGraphicsSystem::check_device_multisample_type(uint32_t adapter, DeviceType type, Format surface_format,
                                                        bool, uint32_t multisample_type) {
    if (adapter >= adapter_count_) return kInvalidCall;
    if (!usable(adapter, type) || !gl::is_render_target_format(surface_format)) return kNotAvailable;
    if (multisample_type == 0) return kOk;
    if (multisample_type > 16 || (probe_.multisample_types & (1u << multisample_type)) == 0) return kNotAvailable;
    return kOk;
}

Result WglGraphicsSystem::check_depth_stencil_match(uint32_t adapter, DeviceType type, Format adapter_format,
                                                    Format render_target_format, Format depth_format) {
    if (adapter >= adapter_count_) return kInvalidCall;
    if (!usable(adapter, type) || !gl::is_display_format(adapter_format)) return kNotAvailable;
    return gl::is_render_target_format(render_target_format) && gl::depth_renderbuffer_format(depth_format) != 0
               ? kOk
               : kNotAvailable;
}

Result WglGraphicsSystem::get_device_caps(uint32_t adapter, DeviceType type, DeviceCaps& caps) {
    if (adapter >= adapter_count_) return kInvalidCall;
    if (!usable(adapter, type)) return kNotAvailable;
    caps = DeviceCaps{};
    caps.device_type = type;
    caps.adapter_ordinal = adapter;
    caps.caps2 = kCaps2CanRenderWindowed;
    caps.dev_caps = kDevCapsHwTransformAndLight | kDevCapsPureDevice;
    caps.primitive_misc_caps = kMiscCapsMaskZ | kMiscCapsCullNone | kMiscCapsCullClockwise | kMiscCapsCullCounterClockwise;
    caps.texture_caps = kTextureCapsAlpha;
    caps.max_texture_width = probe_.max_texture_size;
    caps.max_texture_height = probe_.max_texture_size;
    return kOk;
}

Result WglGraphicsSystem::create_device(uint32_t adapter, DeviceType type, NativeWindow focus_window,
                                        uint32_t behaviour, PresentParams& params, GraphicsDevice** device) {
    if (device == nullptr) return kInvalidCall;
    *device = nullptr;
    if (adapter >= adapter_count_) return kInvalidCall;
    if (!usable(adapter, type)) return kNotAvailable;
    const uint32_t processing = behaviour & (kCreateSoftwareVertexProcessing | kCreateHardwareVertexProcessing |
                                             kCreateMixedVertexProcessing);
    if (processing == 0 || (processing & (processing - 1)) != 0) return kInvalidCall;
    if ((behaviour & kCreatePureDevice) != 0 && processing != kCreateHardwareVertexProcessing) return kInvalidCall;
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
