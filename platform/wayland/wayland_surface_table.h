// Wayland surfaces the program made itself (not SDL's windows), by the
// window id the graphics system's devices know them by: the EGL context
// target finds its surface, size and scale here.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"

namespace platform::wayland {

struct TableSurface {
    void* surface;    // the wl_surface
    uint32_t width;   // pixels
    uint32_t height;  // pixels
    int32_t scale;    // pixels per point each way
};

// The surface of window `window`; false for any other window.
bool find_table_surface(NativeWindow window, TableSurface& found);

}  // namespace platform::wayland
