// The displays SDL knows, with their modes in the formats of the graphics
// interfaces. Every function starts SDL's video subsystem when needed and
// reports nothing (0 or false) without a display.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"

namespace platform {

uint32_t sdl_display_count();
uint32_t sdl_display_mode_count(uint32_t display);
bool sdl_display_mode(uint32_t display, uint32_t index, DisplayMode& mode);
bool sdl_desktop_mode(uint32_t display, DisplayMode& mode);
// The display's name; an empty text when unknown. On Wayland the
// output's connector name ("DP-2") where the compositor tells it.
const char* sdl_display_name(uint32_t display);

// On Wayland SDL measures displays and windows in points, and an output of
// scale 2 has two pixels per point each way; every size this program
// handles is in pixels. The display's scale (1 on X11 and when unknown);
// the modes above are already in pixels.
int32_t sdl_display_scale(uint32_t display);
// Reads the outputs' scales again (the outputs changed).
void sdl_forget_display_scales();

// An SDL pixel format as a surface format (X8R8G8B8 for the usual 24-bit
// desktop); formats without an equivalent become the nearest of the same depth.
Format format_from_sdl(uint32_t sdl_pixel_format);

}  // namespace platform
