// The graphics system for a desktop: OpenGL devices on EGL presenting into
// the SDL window system's X11 windows or Wayland surfaces.
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

namespace egl {
// The power state of `inner`, with the display dark while every Wayland
// surface of the process goes unseen: the compositor has not asked for a
// frame for a while (see egl_wayland_window.h). `inner` must outlive it.
PowerStatus* make_unseen_surfaces_power_status(PowerStatus* inner);
}  // namespace egl

}  // namespace platform
