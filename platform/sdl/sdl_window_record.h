// One window of the SDL window system, as the window system
// (sdl_window_system.cpp) and the services the graphics device needs from
// it (sdl_window_modes.cpp) see it. Only for platform/sdl.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"

struct SDL_Window;

namespace platform::sdl {

struct WindowRecord {
    NativeWindow id;           // 0: free slot
    SDL_Window* sdl;
    uint32_t sdl_id;
    uint32_t class_index;
    uint32_t style;
    NativeWindow child_of;     // the foreign window we made this child in (0: top level)
    int32_t expected_width;    // the size the program itself last gave the window
    int32_t expected_height;
    int32_t windowed_width;    // the size before full screen
    int32_t windowed_height;
    int32_t windowed_x;        // and the rest of the windowed placement
    int32_t windowed_y;
    bool windowed_bordered;
    bool windowed_on_top;
    bool covering;             // full screen by covering the display
    bool minimized;
};

// The record of one of our windows; null for 0 and for any other window.
WindowRecord* find_window_record(NativeWindow window);

// Pixels per SDL unit of size on the window's display: its output's scale
// on Wayland (see sdl_displays.h), 1 on X11.
int32_t window_scale(const WindowRecord& record);

}  // namespace platform::sdl
