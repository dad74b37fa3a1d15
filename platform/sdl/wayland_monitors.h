// Monitors and full screen on a Wayland session, where the monitors are
// SDL's displays (the compositor's outputs) and a client cannot place its
// windows. Only for platform/sdl.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace platform::sdl {

struct WindowRecord;

// SDL's displays as monitors, in the compositor's layout, each as large as
// its pixels (see sdl_displays.h); an output of scale 2 asks for twice the
// pixels per inch. Answers how many were filled; 0 before video starts.
uint32_t read_wayland_monitors(MonitorInfo* monitors, uint32_t capacity);

// A window without a frame put exactly over an output becomes full screen
// on that output (in SDL, the display its position falls on). False when
// `bounds` is not such a placement; the window is then placed as usual.
bool place_over_output(WindowRecord& record, const Rect& bounds);

}  // namespace platform::sdl
