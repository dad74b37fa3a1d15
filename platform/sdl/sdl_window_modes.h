// What the graphics device needs of the SDL window system's windows: a
// window's client size, full screen in a display mode and back, the
// refresh rate of its display, and on Wayland the connection and surface
// the device draws on.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"
#include "platform/result.h"

namespace platform {

// Client size of one of our windows, or of a foreign X11 window.
bool sdl_window_client_size(NativeWindow window, uint32_t& width, uint32_t& height);
// Full screen on the window's display in `mode` (the desktop's own size
// keeps the desktop mode); kNotAvailable when the mode cannot be set.
Result sdl_set_full_screen(NativeWindow window, const DisplayMode& mode);
// Back to an ordinary window.
Result sdl_set_windowed(NativeWindow window);
// Refresh rate of the display the window is on; 0 when unknown.
uint32_t sdl_window_refresh_rate(NativeWindow window);

// On Wayland: SDL's connection to the compositor (a wl_display), null on
// X11 or without video.
void* sdl_wayland_display();
// On Wayland: the wl_surface of one of our windows; null otherwise.
void* sdl_wayland_surface(NativeWindow window);
// The size of one of our windows in its output's pixels, and the scale its
// buffers are drawn at (2: two pixels per point each way); false for any
// other window.
bool sdl_window_pixel_size(NativeWindow window, uint32_t& width, uint32_t& height, int32_t& scale);

}  // namespace platform
