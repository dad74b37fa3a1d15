// The root window of the display's default screen, for a module asked to
// draw on the desktop itself.
#pragma once

#include "platform/graphics_types.h"

namespace platform::x11 {

// 0 when there is no display.
NativeWindow default_root_window();

}  // namespace platform::x11
