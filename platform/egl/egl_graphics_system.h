// The graphics system on OpenGL through EGL. Two device types: HAL is the
// system's OpenGL driver, REF is Mesa's software rasteriser (llvmpipe) on
// its own EGL display, so falling back to it really changes the renderer.
//
// Windowed: the adapters are SDL's displays with their modes, and devices
// present into X11 windows. Offscreen: one adapter with a desktop of a
// chosen size; devices draw into framebuffer objects that read_pixels()
// returns (see egl_headless_graphics.h).
#pragma once

#include <cstdint>

#include "platform/egl/egl_connection.h"
#include "platform/gl/gl_context_target.h"
#include "platform/graphics_system.h"

namespace platform::egl {

class EglGraphicsSystem final : public GraphicsSystem, public gl::GlDeviceOwner {
public:
    // Null when there is no display or neither device type can draw.
    static EglGraphicsSystem* create_windowed();
    static EglGraphicsSystem* create_offscreen(uint32_t desktop_width, uint32_t desktop_height);

    uint32_t get_adapter_count() override;
    Result get_adapter_identifier(uint32_t adapter, uint32_t flags, AdapterIdentifier& id) override;
    uint32_t get_adapter_mode_count(uint32_t adapter) override;
    Result enum_adapter_modes(uint32_t adapter, uint32_t mode, DisplayMode& out) override;
    Result get_adapter_display_mode(uint32_t adapter, DisplayMode& out) override;
    Result check_device_type(uint32_t adapter, DeviceType type, Format display_format, Format back_buffer_format,
                             bool windowed) override;
    Result check_device_format(uint32_t adapter, DeviceType type, Format adapter_format, uint32_t usage,
                               uint32_t resource_type, Format check_format) override;
    Result check_device_multisample_type(uint32_t adapter, DeviceType type, Format surface_format, bool windowed,
                                         uint32_t multisample_type) override;
    Result check_depth_stencil_match(uint32_t adapter, DeviceType type, Format adapter_format,
                                     Format render_target_format, Format depth_format) override;
    Result get_device_caps(uint32_t adapter, DeviceType type, DeviceCaps& caps) override;
    Result create_device(uint32_t adapter, DeviceType type, NativeWindow focus_window, uint32_t behaviour,
                         PresentParams& params, GraphicsDevice** device) override;
    uint32_t release() override;

    void add_ref() override { ++references_; }
    bool offscreen() const { return offscreen_; }

private:
    struct DeviceKind {
        bool available;
        GlProbe probe;
        EglConnection connection;
    };

    explicit EglGraphicsSystem(bool offscreen) : offscreen_(offscreen) {}
    ~EglGraphicsSystem() override = default;
    bool open_device_kinds();
    DeviceKind* kind(DeviceType type);
    bool valid_adapter(uint32_t adapter);
    bool has_mode(uint32_t adapter, uint32_t width, uint32_t height, Format format);

    bool offscreen_;
    uint32_t references_ = 1;
    DeviceKind hal_{};
    DeviceKind ref_{};
    static constexpr uint32_t kOffscreenModeCapacity = 12;
    DisplayMode offscreen_modes_[kOffscreenModeCapacity] = {};
    uint32_t offscreen_mode_count_ = 0;
    DisplayMode offscreen_desktop_{};
};

}  // namespace platform::egl
