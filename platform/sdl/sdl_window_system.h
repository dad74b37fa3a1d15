// Windows and messages on SDL2. Window ids (NativeWindow) are X11 window
// ids when SDL runs on X11, so they can be handed to other programs and
// taken from them (a preview inside another program's window).
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"
#include "platform/result.h"
#include "platform/window_system.h"

namespace platform {

// The window system of the process (static storage; never null). SDL's
// video subsystem starts on first use; without a display every operation
// fails gracefully (no window is created, no message arrives).
WindowSystem* make_sdl_window_system();

// Message boxes through SDL, written to standard error when SDL cannot show
// one (static storage; never null).
MessageBoxes* make_sdl_message_boxes();

// Starts SDL's video subsystem if it is not running; false without a display.
bool sdl_video_ready();

// ---- services for the graphics device, which presents into these windows ----

// Client size of one of our windows, or of a foreign X11 window.
bool sdl_window_client_size(NativeWindow window, uint32_t& width, uint32_t& height);
// Full screen on the window's display in `mode` (the desktop's own size
// keeps the desktop mode); kNotAvailable when the mode cannot be set.
Result sdl_set_full_screen(NativeWindow window, const DisplayMode& mode);
// Back to an ordinary window.
Result sdl_set_windowed(NativeWindow window);
// Refresh rate of the display the window is on; 0 when unknown.
uint32_t sdl_window_refresh_rate(NativeWindow window);

}  // namespace platform
