// The graphics system without any display: OpenGL through EGL (Mesa's
// surfaceless platform for HAL, its software device for REF) drawing into
// offscreen framebuffers, whose pixels read_pixels() returns.
#pragma once

#include <cstdint>

#include "platform/egl/egl_graphics.h"
#include "platform/graphics_device.h"

namespace platform {

// Creates offscreen graphics systems whose one adapter has a desktop of
// `desktop_width` x `desktop_height` (static storage; never null; a second
// call changes the size for systems created afterwards). A windowed device
// whose back-buffer size is left 0 takes the desktop's size.
GraphicsSystemFactory* make_headless_graphics_system_factory(uint32_t desktop_width, uint32_t desktop_height);

// Copies the back buffer of a device made by an OpenGL graphics system
// (offscreen or windowed): `width` x `height` must be its size; rows from
// the top, bytes red, green, blue, alpha. kInvalidCall for other devices.
Result read_pixels(GraphicsDevice* device, uint8_t* rgba, uint32_t width, uint32_t height);

// Frames presented by such a device so far (0 for other devices).
uint64_t frames_presented(GraphicsDevice* device);

}  // namespace platform
