// The graphics system for a desktop: OpenGL devices presenting into the
// SDL windows of the window system.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace platform {

// The version number the program asks the graphics system for.
inline constexpr uint32_t kGraphicsSystemVersion = 220;

// Creates windowed graphics systems (static storage; never null). Its
// create() returns null for another version, without a display, or when
// no OpenGL driver can be used.
GraphicsSystemFactory* make_gl_graphics_system_factory();

// Frames presented into windows follow each other no sooner than this
// (XScreenSaver's -delay); 0, the default, leaves the pace to the display.
void set_minimum_frame_interval(uint32_t microseconds);

}  // namespace platform
