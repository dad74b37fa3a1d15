// SDL's video subsystem, started on the user's display the first time any
// part of the program needs it (the rule of the start is video_start.h).
#pragma once

#include "platform/sdl/video_session.h"

namespace platform {

// Chooses the window system the video starts on (see video_session.h) from
// AQUARIUM_VIDEO, WAYLAND_DISPLAY and the compositor's protocols; called
// before the video starts, else the video starts on X11. `needs_x11`: the
// mode draws in other programs' X11 windows; `background`: the desktop
// background, which on Wayland needs the layer shell.
sdl::VideoSession choose_video_session(bool needs_x11, bool background = false);

// The window system the video runs on, or will start on.
sdl::VideoSession video_session();

// Starts SDL's video subsystem if it is not running; false without a
// display (said once on standard error; later calls fail at once).
bool sdl_video_ready();

}  // namespace platform
