// Keeps a presenting loop at the display's refresh rate. When the buffer
// swap already waits for the display (vsync) it adds nothing; otherwise it
// sleeps until the next frame is due, so a frame loop never spins a core.
// A minimum frame interval longer than the display's slows it further.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform::gl {

class FramePacer {
public:
    // Call right after each swap: `refresh_hz` 0 means unknown (60 Hz),
    // `swap_seconds` is how long the swap itself took, `minimum_seconds`
    // the least time from one frame to the next (0: the display's pace).
    void frame_presented(uint32_t refresh_hz, double swap_seconds, double minimum_seconds = 0.0);

    // Seconds slept by the last call (for the record; tests read it).
    double last_sleep() const { return last_sleep_; }

private:
    timespec deadline_{};
    bool started_ = false;
    double swap_average_ = 0.0;
    double last_sleep_ = 0.0;
};

double monotonic_seconds();

// The process's minimum frame interval for windows, in seconds (see
// set_minimum_frame_interval in gl_graphics.h).
double minimum_frame_seconds();

}  // namespace platform::gl
