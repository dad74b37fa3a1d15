#include "app/stats_text.h"

#include <cstdio>
#include <cstring>

namespace app {

namespace {

// Appends `text`, cutting it at the end of the buffer.
void append(char (&out)[kStatsTextSize], const char* text) {
    const size_t used = std::strlen(out);
    std::snprintf(out + used, sizeof out - used, "%s", text);
}

const char* device_type_name(platform::DeviceType type) {
    switch (type) {
        case platform::kDeviceHal: return "HAL";
        case platform::kDeviceRef: return "REF";
        case platform::kDeviceSw: return "SW";
        default: return "";
    }
}

const char* vertex_processing_suffix(platform::DeviceType type, uint32_t behaviour) {
    const bool hal = type == platform::kDeviceHal;
    const bool hardware = (behaviour & platform::kCreateHardwareVertexProcessing) != 0;
    if (hardware && (behaviour & platform::kCreatePureDevice) != 0) {
        return hal ? " (pure hw vp)" : " (simulated pure hw vp)";
    }
    if (hardware) return hal ? " (hw vp)" : " (simulated hw vp)";
    if ((behaviour & platform::kCreateMixedVertexProcessing) != 0) {
        return hal ? " (mixed vp)" : " (simulated mixed vp)";
    }
    if ((behaviour & platform::kCreateSoftwareVertexProcessing) != 0) return " (sw vp)";
    return "";
}

const char* depth_format_suffix(platform::Format depth_format) {
    switch (depth_format) {
        case platform::kFormatD16: return " (D16)";
        case platform::kFormatD15S1: return " (D15S1)";
        case platform::kFormatD24S8: return " (D24S8)";
        case platform::kFormatD24X8: return " (D24X8)";
        case platform::kFormatD24X4S4: return " (D24X4S4)";
        case platform::kFormatD32: return " (D32)";
        default: return "";
    }
}

}  // namespace

void format_device_stats(char (&out)[kStatsTextSize], platform::DeviceType type, uint32_t behaviour,
                         const char* adapter_description) {
    out[0] = '\0';
    append(out, device_type_name(type));
    append(out, vertex_processing_suffix(type, behaviour));
    if (type == platform::kDeviceHal) {
        append(out, ": ");
        append(out, adapter_description != nullptr ? adapter_description : "");
    }
}

void format_frame_stats(char (&out)[kStatsTextSize], const FrameStatsInput& input) {
    const int bits = input.display_format == platform::kFormatX8R8G8B8 ? 32 : 16;
    std::snprintf(out, sizeof out, "%.02f fps (%dx%dx%d)", static_cast<double>(input.frames_per_second),
                  static_cast<int>(input.width), static_cast<int>(input.height), bits);
    if (input.show_depth_format) append(out, depth_format_suffix(input.depth_format));
    if (input.multisample_type >= 2 && input.multisample_type <= 16) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, " (%ux Multisample)", input.multisample_type);
        append(out, suffix);
    }
}

}  // namespace app
