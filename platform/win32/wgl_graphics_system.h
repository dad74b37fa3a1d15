// The graphics system on Windows: the adapters are the displays attached to
// the desktop (EnumDisplayDevicesA), their modes those EnumDisplaySettingsA
// lists in 16 and 32 bits per pixel, and devices are the shared OpenGL
// device code on WGL contexts in our windows. The driver's OpenGL (the
// "HAL" device) is the only device type: Windows has no software OpenGL 3.3
// renderer to offer as the reference device.
#pragma once

#include <cstdint>

#include "platform/gl/gl_context_target.h"
#include "platform/graphics_system.h"
#include "platform/platform.h"
#include "platform/win32/wgl_entry_points.h"

namespace platform::win32 {

// Creates the graphics system (static storage; never null); its create()
// returns null for another version or when no OpenGL 3.3 context can be made.
GraphicsSystemFactory* make_wgl_graphics_system_factory();

struct WglAdapter {
    char device_name[32];     // \\.\DISPLAYn
    char device_string[128];  // the display adapter's name
    DisplayMode desktop;      // current mode
    static constexpr uint32_t kModeCapacity = 256;
    DisplayMode modes[kModeCapacity];
    uint32_t mode_count;
};

struct WglProbe {
    char renderer[128];
    char version[128];
    uint32_t max_texture_size;
    uint32_t multisample_types;  // bit n: n samples per pixel offered
    bool clip_control;
};

class WglGraphicsSystem final : public GraphicsSystem, public gl::GlDeviceOwner {
public:
    static WglGraphicsSystem* create();

    uint32_t get_adapter_count() override { return adapter_count_; }
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

private:
    WglGraphicsSystem() = default;
    ~WglGraphicsSystem() = default;
    bool usable(uint32_t adapter, DeviceType type) const;
    bool has_mode(uint32_t adapter, uint32_t width, uint32_t height, Format format) const;

    uint32_t references_ = 1;
    static constexpr uint32_t kAdapterCapacity = 10;
    WglAdapter adapters_[kAdapterCapacity] = {};
    uint32_t adapter_count_ = 0;
    WglProbe probe_{};
    WglEntryPoints wgl_{};
};

// A display device attached to the desktop.
struct DesktopDisplay {
    char device_name[32];     // \\.\DISPLAYn
    char device_string[128];  // the display adapter's name
};
inline constexpr uint32_t kMaxDesktopDisplays = 16;

// The displays attached to the desktop, the primary first and the others in
// the system's order: the order of the adapters and of the monitors.
// Returns how many were written.
uint32_t list_desktop_displays(DesktopDisplay* displays, uint32_t capacity);

// Fills `adapters` with the displays attached to the desktop that have a
// mode of 16 or 32 bits per pixel, in list_desktop_displays' order; returns
// how many.
uint32_t enumerate_adapters(WglAdapter* adapters, uint32_t capacity);

// Reads the driver's limits and the WGL extension functions from a
// short-lived context on a hidden window; false when no OpenGL 3.3 core
// context can be made.
bool probe_wgl(WglProbe& probe, WglEntryPoints& wgl);

}  // namespace platform::win32
