// Where a graphics device's OpenGL context comes from and where its frames
// go: a window of the window system (its surface, buffer swaps, display
// modes), or nothing at all when the device draws offscreen. The device
// code is the same on every system; only this part differs.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"
#include "platform/result.h"

namespace platform::gl {

class GlContextTarget {
public:
    virtual ~GlContextTarget() = default;

    // Makes an OpenGL 3.3 core context (and, the first time, the window's
    // surface) and makes it current, presenting with a swap interval of one
    // when there is a window. `robust`: the driver reports context resets.
    virtual bool create_context(bool& robust) = 0;
    // Lets go of the context; the surface stays for the next context.
    virtual void destroy_context() = 0;
    virtual bool has_context() const = 0;
    virtual bool make_current() = 0;

    // False for offscreen drawing: there is nothing to present into.
    virtual bool has_window() const = 0;
    // Client size of the window as the window system knows it now.
    virtual bool client_size(uint32_t& width, uint32_t& height) = 0;
    virtual bool swap_buffers() = 0;
    // Swaps wait for `interval` display refreshes (0: at once). Called with
    // the context current.
    virtual void set_swap_interval(int32_t interval) = 0;
    // Depth and stencil bits of the window's own framebuffer (0 when it has
    // none): a frame goes straight into the window only when they are enough.
    virtual void window_buffer_bits(int32_t& depth_bits, int32_t& stencil_bits) = 0;
    // True once the connection to the window system is broken: nothing can
    // be shown again, and a driver call into it may never return.
    virtual bool display_lost() = 0;
    // Full screen on the window's display in `mode`; kNotAvailable when the
    // mode cannot be set.
    virtual Result enter_full_screen(const DisplayMode& mode) = 0;
    // Back to an ordinary window on the desktop's own mode.
    virtual void leave_full_screen() = 0;
    // Refresh rate of the display the window is on; 0 when unknown.
    virtual uint32_t refresh_rate() = 0;
};

// The graphics system a device belongs to: each device holds a reference
// for its life.
class GlDeviceOwner {
public:
    virtual void add_ref() = 0;
    virtual uint32_t release() = 0;

protected:
    ~GlDeviceOwner() = default;
};

}  // namespace platform::gl
