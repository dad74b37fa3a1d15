#include "platform/gl/gl_device_rules.h"

#include "platform/gl/surface_formats.h"

namespace platform::gl {
namespace {

constexpr uint32_t kMiscCapsMaskZ = 0x2;
constexpr uint32_t kMiscCapsCullNone = 0x10;
constexpr uint32_t kMiscCapsCullClockwise = 0x20;
constexpr uint32_t kMiscCapsCullCounterClockwise = 0x40;
constexpr uint32_t kResourceTexture = 3;
constexpr uint32_t kUsageRenderTarget = 0x1;
constexpr uint32_t kMaxMultisampleType = 16;

}  // namespace

bool back_buffer_fits_display(Format display_format, Format back_buffer_format) {
    if (!is_display_format(display_format)) return false;
    return back_buffer_format == display_format ||
           (display_format == kFormatX8R8G8B8 && back_buffer_format == kFormatA8R8G8B8) ||
           (display_format == kFormatX1R5G5B5 && back_buffer_format == kFormatA1R5G5B5);
}

Result check_format_rule(Format adapter_format, uint32_t usage, uint32_t resource_type, Format check_format) {
    if (!is_display_format(adapter_format)) return kNotAvailable;
    if ((usage & kUsageDepthStencil) != 0) {
        return resource_type == kResourceSurface && is_depth_format(check_format) ? kOk : kNotAvailable;
    }
    if ((usage & kUsageRenderTarget) != 0) return is_render_target_format(check_format) ? kOk : kNotAvailable;
    if (resource_type == kResourceTexture || resource_type == kResourceSurface) {
        return is_texture_format(check_format) ? kOk : kNotAvailable;
    }
    return index_size(check_format) != 0 ? kOk : kNotAvailable;
}

Result check_multisample_rule(Format surface_format, uint32_t multisample_type, uint32_t offered_types) {
    if (!is_render_target_format(surface_format)) return kNotAvailable;
    if (multisample_type == 0) return kOk;
    if (multisample_type > kMaxMultisampleType || (offered_types & (1u << multisample_type)) == 0) {
        return kNotAvailable;
    }
    return kOk;
}

Result check_depth_stencil_rule(Format adapter_format, Format render_target_format, Format depth_format) {
    if (!is_display_format(adapter_format)) return kNotAvailable;
    return is_render_target_format(render_target_format) && is_depth_format(depth_format) ? kOk : kNotAvailable;
}

DeviceCaps device_caps(uint32_t adapter, DeviceType type, uint32_t max_texture_size) {
    DeviceCaps caps{};
    caps.device_type = type;
    caps.adapter_ordinal = adapter;
    caps.caps2 = kCaps2CanRenderWindowed;
    caps.dev_caps = kDevCapsHwTransformAndLight | (type == kDeviceHal ? kDevCapsPureDevice : 0);
    caps.primitive_misc_caps = kMiscCapsMaskZ | kMiscCapsCullNone | kMiscCapsCullClockwise | kMiscCapsCullCounterClockwise;
    caps.texture_caps = kTextureCapsAlpha;
    caps.max_texture_width = max_texture_size;
    caps.max_texture_height = max_texture_size;
    return caps;
}

bool behaviour_accepted(uint32_t behaviour) {
    const uint32_t processing = behaviour & (kCreateSoftwareVertexProcessing | kCreateHardwareVertexProcessing |
                                             kCreateMixedVertexProcessing);
    if (processing == 0 || (processing & (processing - 1)) != 0) return false;
    return (behaviour & kCreatePureDevice) == 0 || processing == kCreateHardwareVertexProcessing;
}

}  // namespace platform::gl
