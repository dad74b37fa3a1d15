// The graphics system: adapters (displays), their display modes, device
// capabilities, the format and multisample checks, and device creation.
// Reference counted like the devices it creates.
#pragma once

#include <cstdint>

#include "platform/graphics_device.h"
#include "platform/graphics_types.h"
#include "platform/result.h"

namespace platform {

class GraphicsSystem {
public:
    virtual uint32_t get_adapter_count() = 0;
    virtual Result get_adapter_identifier(uint32_t adapter, uint32_t flags, AdapterIdentifier& id) = 0;
    virtual uint32_t get_adapter_mode_count(uint32_t adapter) = 0;
    virtual Result enum_adapter_modes(uint32_t adapter, uint32_t mode, DisplayMode& out) = 0;
    // The adapter's current (desktop) mode.
    virtual Result get_adapter_display_mode(uint32_t adapter, DisplayMode& out) = 0;
    virtual Result check_device_type(uint32_t adapter, DeviceType type, Format display_format,
                                     Format back_buffer_format, bool windowed) = 0;
    virtual Result check_device_format(uint32_t adapter, DeviceType type, Format adapter_format,
                                       uint32_t usage, uint32_t resource_type, Format check_format) = 0;
    virtual Result check_device_multisample_type(uint32_t adapter, DeviceType type, Format surface_format,
                                                 bool windowed, uint32_t multisample_type) = 0;
    virtual Result check_depth_stencil_match(uint32_t adapter, DeviceType type, Format adapter_format,
                                             Format render_target_format, Format depth_format) = 0;
    virtual Result get_device_caps(uint32_t adapter, DeviceType type, DeviceCaps& caps) = 0;
    virtual Result create_device(uint32_t adapter, DeviceType type, NativeWindow focus_window,
                                 uint32_t behaviour, PresentParams& params, GraphicsDevice** device) = 0;
    virtual uint32_t release() = 0;  // remaining references

protected:
    virtual ~GraphicsSystem() = default;
};

}  // namespace platform
