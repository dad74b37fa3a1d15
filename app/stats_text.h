// The two statistics lines the information text shows: the device
// description and the frame-rate line. Both fit the framework's 90-byte
// buffers; longer texts are cut.
#pragma once

#include <cstdint>

#include "app/render_app.h"

namespace app {

// "HAL", "REF" or "SW", the vertex-processing suffix of `behaviour`, and for
// HAL ": " and the adapter's description.
void format_device_stats(char (&out)[kStatsTextSize], platform::DeviceType type, uint32_t behaviour,
                         const char* adapter_description);

struct FrameStatsInput {
    float frames_per_second;
    uint32_t width;                  // back buffer, pixels
    uint32_t height;
    platform::Format display_format; // the adapter's current display mode
    bool show_depth_format;          // the automatic depth buffer is on
    platform::Format depth_format;
    uint32_t multisample_type;       // in use: 0 or 2..16
};

// "%.02f fps (%dx%dx%d)" with 32 bits for X8R8G8B8 and 16 otherwise, then the
// depth-format and multisample suffixes.
void format_frame_stats(char (&out)[kStatsTextSize], const FrameStatsInput& input);

}  // namespace app
