// A screen saver must never keep the screen from blanking. Unless told
// otherwise, SDL's video start asks the desktop over D-Bus not to blank the
// screen (and a screen-saver daemon that honours it deactivates itself),
// pretends user activity every 30 seconds, and suspends the X server's own
// screen-saver timer, which also keeps the monitor from powering off.
#pragma once

namespace platform {

// Tells SDL to leave screen saving alone. Call it before every start of
// SDL's video subsystem; it wins over SDL_VIDEO_ALLOW_SCREENSAVER in the
// environment. If the video subsystem already runs, its inhibition ends.
void allow_screen_saving();

}  // namespace platform
