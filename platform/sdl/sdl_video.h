// SDL's video subsystem, started on the user's display the first time any
// part of the program needs it (the rule of the start is video_start.h).
#pragma once

namespace platform {

// Starts SDL's video subsystem if it is not running; false without a
// display (said once on standard error; later calls fail at once).
bool sdl_video_ready();

}  // namespace platform
