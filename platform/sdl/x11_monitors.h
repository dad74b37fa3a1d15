// The monitors of the X server, read with RandR on a connection of our own,
// and the changes the server reports. SDL 2 reads its displays once, at the
// start of its video, and hears nothing of monitors switched on, off or
// moved later (the X server announces them as changes of CRTCs, which SDL
// ignores), so the window system reads them here itself, listed in SDL's
// order so that monitor N is still SDL's display N, the graphics system's
// adapter N.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace platform::x11 {

// Fills up to `capacity` monitors as SDL lists its displays: the primary
// output first, then every other output in the server's order; an output
// counts when it is connected and shows a picture (has a CRTC). Without
// RandR: one monitor of the root window's size. The DPI of every monitor is
// the desktop's Xft.dpi where it is set (the X server has only one), else
// kDefaultDpi. Answers the number filled; 0 without a display.
uint32_t read_monitors(MonitorInfo* monitors, uint32_t capacity);

// Starts listening to the server's changes of its monitors the first time;
// afterwards true when a change arrived since the last call. Never blocks.
bool monitors_changed();

// The value of Xft.dpi in the text of the X resources (the root window's
// RESOURCE_MANAGER), rounded to whole pixels per inch; 0 when it is not
// set or not a sensible number.
int32_t dpi_from_resources(const char* resources);

}  // namespace platform::x11
