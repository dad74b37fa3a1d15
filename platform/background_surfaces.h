// The desktop's background as surfaces the program draws on: one per output
// (or only the one asked for), each as large as its output. The surfaces
// take no input. Outputs come, go and change their size or scale while the
// program runs; list() tells the surfaces as they are now.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"
#include "platform/window_system.h"

namespace platform {

inline constexpr uint32_t kMaxBackgroundSurfaces = kMaxMonitors;

struct BackgroundSurface {
    NativeWindow window;            // the surface as the graphics system's device window; never 0
    uint32_t width;                 // pixels
    uint32_t height;                // pixels
    char output[kMonitorNameSize];  // the output's name
};

class BackgroundSurfaces {
public:
    // The surfaces ready to draw on; at most kMaxBackgroundSurfaces. A
    // surface keeps its window while it lives; a new window is a new surface.
    virtual uint32_t list(BackgroundSurface* surfaces, uint32_t capacity) = 0;
    // Waits up to `milliseconds` for the compositor, handling what it says.
    // False once the connection is lost.
    virtual bool wait(uint32_t milliseconds) = 0;

protected:
    ~BackgroundSurfaces() = default;
};

}  // namespace platform
