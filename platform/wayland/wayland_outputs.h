// The compositor's outputs as wl_output tells them: the connector's name,
// the current mode in pixels and the integer scale. Read on a short-lived
// connection of our own, in the order the compositor announced them (the
// order SDL lists its displays in).
#pragma once

#include <cstdint>

namespace platform::wayland {

inline constexpr uint32_t kMaxOutputs = 16;
inline constexpr uint32_t kOutputNameSize = 32;

struct OutputInfo {
    char name[kOutputNameSize];  // "HEADLESS-1", "DP-2"; empty before wl_output version 4
    int32_t pixel_width;         // the current mode, in the output's pixels
    int32_t pixel_height;
    int32_t scale;  // integer buffer scale; 1 when not told
};

// Reads up to `capacity` outputs into `outputs`; 0 without a compositor.
uint32_t read_outputs(OutputInfo* outputs, uint32_t capacity);

}  // namespace platform::wayland
