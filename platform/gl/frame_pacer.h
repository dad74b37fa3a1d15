// Keeps a presenting loop at the display's refresh rate. When the buffer
// swap already waits for the display (vsync) it adds nothing; otherwise it
// sleeps until the next frame is due, so a frame loop never spins a core.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform::gl {

class FramePacer {
public:
    // Call right after each swap: `refresh_hz` 0 means unknown (60 Hz),
    // `swap_seconds` is how long the swap itself took.
    void frame_presented(uint32_t refresh_hz, double swap_seconds);

    // Seconds slept by the last call (for the record; tests read it).
    double last_sleep() const { return last_sleep_; }

private:
    timespec deadline_{};
    bool started_ = false;
    double swap_average_ = 0.0;
    double last_sleep_ = 0.0;
};

double monotonic_seconds();

}  // namespace platform::gl
