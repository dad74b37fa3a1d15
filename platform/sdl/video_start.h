// Starting SDL's video on the user's display. When its first X connection
// fails for a moment (a busy server), SDL quietly settles on a driver that
// has no display at all ("offscreen", whose one mode is 0 x 0), and every
// later step fails in a confusing way. Only the driver of the session the
// program chose (video_session.h) is accepted: x11 or wayland. A failed
// start is tried once more after a short pause.
#pragma once

#include <cstddef>

namespace platform::sdl {

// The steps of a start, so that the rule can be tried without SDL.
struct VideoStartSteps {
    bool (*start)();          // starts the video subsystem; false on failure
    const char* (*driver)();  // the running driver's name
    void (*stop)();           // stops the video subsystem
    void (*pause)();          // waits before the second try
    const char* (*error)();   // the last failure's text
};

inline constexpr int kVideoStartTries = 2;

// Starts the video on the driver named `wanted`, trying kVideoStartTries
// times; on failure nothing is left running and `problem` tells why.
bool start_video_on_display(const VideoStartSteps& steps, const char* wanted, char* problem, size_t problem_size);

}  // namespace platform::sdl
