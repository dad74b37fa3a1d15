// The native window EGL draws a Wayland surface through (a wl_egl_window),
// kept at the size of the surface's buffer in the output's pixels.
#pragma once

#include <epoxy/egl.h>

#include <cstdint>

struct wl_egl_window;

namespace platform::egl {

struct WaylandEglWindow {
    wl_egl_window* native = nullptr;
    uint32_t width = 0;  // pixels of the buffers EGL makes now
    uint32_t height = 0;
};

// A window surface on the wl_surface `surface` (SDL's), `width` x `height`
// pixels; EGL_NO_SURFACE (and no native window) when one cannot be made.
EGLSurface create_wayland_window_surface(EGLDisplay display, EGLConfig config, void* surface, uint32_t width,
                                         uint32_t height, WaylandEglWindow& window);
// The next buffers get this size; nothing when it is the size already.
void resize_wayland_window(WaylandEglWindow& window, uint32_t width, uint32_t height);
// After the EGL surface on it is destroyed.
void destroy_wayland_window(WaylandEglWindow& window);

}  // namespace platform::egl
