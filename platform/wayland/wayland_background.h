// The desktop's background on Wayland: one layer-shell surface per output
// (or only the output named), in the background layer, anchored to every
// edge so that it is as large as its output, taking neither keyboard focus
// nor pointer input and ignoring other surfaces' exclusive zones. Outputs
// added later get a surface, one removed loses its own (the compositor
// closes it); a change of size or scale is followed.
#pragma once

#include "platform/background_surfaces.h"

namespace platform::wayland {

// On the connection `display` (a wl_display: SDL's, so that EGL draws on
// the same connection); null when the compositor offers no layer shell.
// `only_output`: an output's name, or null for all.
BackgroundSurfaces* make_background_surfaces(void* display, const char* only_output);

}  // namespace platform::wayland
