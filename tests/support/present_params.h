// What the tests ask of an OpenGL device drawing in a window or offscreen:
// one back buffer, discarded at each present, with the automatic depth
// buffer. Fields are named at the call: windowed_params({.width = 64,
// .height = 64, .depth = platform::kFormatD24S8}).
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"

namespace test_support {

struct WindowedBackBuffer {
    platform::NativeWindow window = 0;                    // 0: offscreen
    uint32_t width = 0, height = 0;                       // pixels; 0: the window's size
    platform::Format format = platform::kFormatX8R8G8B8;  // kFormatUnknown: the desktop's
    platform::Format depth = platform::kFormatD16;
    uint32_t samples = 0;  // multisample type
};

inline platform::PresentParams windowed_params(const WindowedBackBuffer& wanted) {
    platform::PresentParams params{};
    params.back_buffer_width = wanted.width;
    params.back_buffer_height = wanted.height;
    params.back_buffer_format = wanted.format;
    params.back_buffer_count = 1;
    params.multisample_type = wanted.samples;
    params.swap_effect = platform::kSwapEffectDiscard;
    params.device_window = wanted.window;
    params.windowed = 1;
    params.enable_auto_depth_stencil = 1;
    params.auto_depth_stencil_format = wanted.depth;
    return params;
}

}  // namespace test_support
