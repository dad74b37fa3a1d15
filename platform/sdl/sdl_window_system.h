// Windows and messages on SDL2. Window ids (NativeWindow) are X11 window
// ids when SDL runs on X11, so they can be handed to other programs and
// taken from them (a preview inside another program's window). What the
// graphics device needs of these windows is in sdl_window_modes.h, the
// video start in sdl_video.h.
#pragma once

#include "platform/window_system.h"

namespace platform {

// The window system of the process (static storage; never null). SDL's
// video subsystem starts on first use; without a display every operation
// fails gracefully (no window is created, no message arrives).
WindowSystem* make_sdl_window_system();

// Message boxes through SDL, written to standard error when SDL cannot show
// one (static storage; never null).
MessageBoxes* make_sdl_message_boxes();

}  // namespace platform
