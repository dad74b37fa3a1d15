// Runs the application object and its framework on the offscreen graphics
// system with a virtual clock of 1/60 s per frame, handing chosen frames'
// pixels to the caller.
#pragma once

#include <cstdint>

#include "platform/result.h"

namespace tools {

struct HeadlessRenderOptions {
    uint32_t seed;    // seeds the scene instead of the calendar time
    uint64_t frames;  // frames to run, at least 1
    uint32_t width;   // back buffer, pixels
    uint32_t height;  // back buffer, pixels
    uint64_t every;   // hand over every `every`-th frame; 0: only the last
    bool show_info;   // draw the information text (the settings' default)
    bool read_back = true;  // false: the sink gets null pixels (timing runs)
};

// Receives frame `frame` (1-based) as width x height RGBA pixels, rows from
// the top (null when the options ask for no read-back); returns false to
// stop the run.
using FrameSink = bool (*)(void* context, uint64_t frame, const uint8_t* rgba, uint32_t width, uint32_t height);

// Starts the program as a windowed run on a display of the picture's size,
// runs the frames and shuts it down. Answers the first failure (also a
// refusal of the sink, as kFail), else 0. Problems are written to standard error.
platform::Result run_headless_render(const HeadlessRenderOptions& options, FrameSink sink, void* context);

}  // namespace tools
