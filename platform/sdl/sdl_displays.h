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
// The display's name; an empty text when unknown.
const char* sdl_display_name(uint32_t display);

// An SDL pixel format as a surface format (X8R8G8B8 for the usual 24-bit
// desktop); formats without an equivalent become the nearest of the same depth.
Format format_from_sdl(uint32_t sdl_pixel_format);

}  // namespace platform
