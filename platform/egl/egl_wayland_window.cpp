#include "platform/egl/egl_wayland_window.h"

#include <wayland-egl.h>

namespace platform::egl {

EGLSurface create_wayland_window_surface(EGLDisplay display, EGLConfig config, void* surface, uint32_t width,
                                         uint32_t height, WaylandEglWindow& window) {
    if (surface == nullptr || width == 0 || height == 0) return EGL_NO_SURFACE;
    window.native =
        wl_egl_window_create(static_cast<wl_surface*>(surface), static_cast<int>(width), static_cast<int>(height));
    if (window.native == nullptr) return EGL_NO_SURFACE;
    window.width = width;
    window.height = height;
    const EGLSurface made = eglCreatePlatformWindowSurfaceEXT(display, config, window.native, nullptr);
    if (made == EGL_NO_SURFACE) destroy_wayland_window(window);
    return made;
}

void resize_wayland_window(WaylandEglWindow& window, uint32_t width, uint32_t height) {
    if (window.native == nullptr || width == 0 || height == 0) return;
    if (width == window.width && height == window.height) return;
    wl_egl_window_resize(window.native, static_cast<int>(width), static_cast<int>(height), 0, 0);
    window.width = width;
    window.height = height;
}

void destroy_wayland_window(WaylandEglWindow& window) {
    if (window.native != nullptr) wl_egl_window_destroy(window.native);
    window = WaylandEglWindow{};
}

}  // namespace platform::egl
