// Starting SDL's video on the user's display. When its first X connection
// fails for a moment (a busy server), SDL quietly settles on a driver that
// has no display at all ("offscreen", whose one mode is 0 x 0), and every
// later step fails in a confusing way. Only a driver that shows our windows
// on the display is accepted: x11, since every window of the program is an
// X11 window (previews and modules draw into other programs' X11 windows).
// A failed start is tried once more after a short pause.
#pragma once

#include <cstddef>

namespace platform::sdl {

// The steps of a start, so that the rule can be tried without SDL.
struct VideoStartSteps {
    bool (*start)();            // starts the video subsystem; false on failure
    const char* (*driver)();    // the running driver's name
    void (*stop)();             // stops the video subsystem
    void (*pause)();            // waits before the second try
    const char* (*error)();     // the last failure's text
};

inline constexpr int kVideoStartTries = 2;

// True when `name` is a driver that shows our windows on the display.
bool is_display_driver(const char* name);

// Starts the video on a display driver, trying kVideoStartTries times; on
// failure nothing is left running and `problem` tells why.
bool start_video_on_display(const VideoStartSteps& steps, char* problem, size_t problem_size);

}  // namespace platform::sdl
