// The answers every graphics system over the OpenGL device gives to the
// capability checks, whatever the window system: which formats a device
// draws into, reads from and tests depth with, which multisample types it
// takes, its capability record and the creation flags it accepts. Each
// system first answers for the adapter and device type (kInvalidCall for an
// adapter it does not have, kNotAvailable for a device type it does not
// offer) and leaves the rest to these.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"
#include "platform/result.h"

namespace platform::gl {

// A display format the device can present into, with a back buffer format
// that fits it: the same, or the same with an alpha channel.
bool back_buffer_fits_display(Format display_format, Format back_buffer_format);

// check_device_format: depth-stencil surfaces, render targets, textures and
// surfaces, and else index buffers.
Result check_format_rule(Format adapter_format, uint32_t usage, uint32_t resource_type, Format check_format);

// check_device_multisample_type; `offered_types`: bit n set when n samples
// per pixel are offered.
Result check_multisample_rule(Format surface_format, uint32_t multisample_type, uint32_t offered_types);

// check_depth_stencil_match.
Result check_depth_stencil_rule(Format adapter_format, Format render_target_format, Format depth_format);

// The capability record of a device: shaders transform and light; only the
// driver's own device (kDeviceHal) is a pure device.
DeviceCaps device_caps(uint32_t adapter, DeviceType type, uint32_t max_texture_size);

// Creation flags name exactly one kind of vertex processing, and a pure
// device only with hardware vertex processing.
bool behaviour_accepted(uint32_t behaviour);

}  // namespace platform::gl
