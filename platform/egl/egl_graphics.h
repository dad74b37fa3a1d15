// The graphics system for a desktop: OpenGL devices on EGL presenting into
// the SDL window system's X11 windows.
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

}  // namespace platform
