#include "platform/gl/frame_pacer.h"

#include <cerrno>

#include "platform/gl/gl_graphics.h"

namespace platform::gl {
namespace {

double to_seconds(const timespec& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9; }

timespec from_seconds(double seconds) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(seconds);
    t.tv_nsec = static_cast<long>((seconds - static_cast<double>(t.tv_sec)) * 1e9);
    if (t.tv_nsec >= 1'000'000'000L) {
        t.tv_sec += 1;
        t.tv_nsec -= 1'000'000'000L;
    }
    return t;
}

}  // namespace

double g_minimum_frame_seconds = 0.0;  // set once at start-up, before any device

double minimum_frame_seconds() { return g_minimum_frame_seconds; }

double monotonic_seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return to_seconds(now);
}

void FramePacer::frame_presented(uint32_t refresh_hz, double swap_seconds, double minimum_seconds) {
    const double display_period = 1.0 / static_cast<double>(refresh_hz != 0 ? refresh_hz : 60);
    const double period = minimum_seconds > display_period ? minimum_seconds : display_period;
    // A swap that takes at least half a frame on average is waiting for
    // the display; the display then sets the pace, unless a longer interval
    // was asked for.
    swap_average_ = swap_average_ * 0.9 + swap_seconds * 0.1;
    last_sleep_ = 0.0;
    const double now = monotonic_seconds();
    if (swap_average_ >= display_period * 0.5 && period == display_period) {
        started_ = false;
        return;
    }
    double deadline = to_seconds(deadline_);
    if (!started_ || now - deadline > period) deadline = now;  // fell behind: start a new cadence
    started_ = true;
    deadline += period;
    deadline_ = from_seconds(deadline);
    if (deadline <= now) return;
    last_sleep_ = deadline - now;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline_, nullptr) == EINTR) {
    }
}

}  // namespace platform::gl

namespace platform {

void set_minimum_frame_interval(uint32_t microseconds) {
    gl::g_minimum_frame_seconds = static_cast<double>(microseconds) * 1e-6;
}

}  // namespace platform
