#include "platform/egl/egl_context_target.h"

#include "platform/sdl/sdl_window_modes.h"
#include "platform/wayland/wayland_surface_table.h"

namespace platform::egl {
namespace {

// The wl_surface of `window` with its size in pixels and its scale: one
// of the program's own surfaces (the desktop background's) or an SDL window.
bool wayland_window(NativeWindow window, void*& surface, uint32_t& width, uint32_t& height, int32_t& scale) {
    wayland::TableSurface own{};
    if (wayland::find_table_surface(window, own)) {
        surface = own.surface;
        width = own.width;
        height = own.height;
        scale = own.scale;
        return true;
    }
    surface = sdl_wayland_surface(window);
    return sdl_window_pixel_size(window, width, height, scale);
}

}  // namespace

EglContextTarget::~EglContextTarget() {
    destroy_context();
    if (surface_ != EGL_NO_SURFACE) eglDestroySurface(connection_.display(), surface_);
    destroy_wayland_window(wayland_);
}

bool EglContextTarget::create_context(bool& robust) {
    if (window_ != 0 && surface_ == EGL_NO_SURFACE) {
        config_ = connection_.window_config(window_);
        if (config_ == nullptr) return false;
        if (wayland()) {
            uint32_t width = 0, height = 0;
            int32_t scale = 1;
            void* surface = nullptr;
            if (!wayland_window(window_, surface, width, height, scale)) return false;
            surface_ = create_wayland_window_surface(connection_.display(), config_, surface, width, height, wayland_);
            resize_wayland_window(wayland_, width, height, scale);
        } else {
            surface_ = connection_.create_window_surface(config_, window_);
        }
        if (surface_ == EGL_NO_SURFACE) return false;
    }
    context_ = connection_.create_context(config_, robust);
    if (context_ == EGL_NO_CONTEXT || !make_current()) return false;
    if (surface_ != EGL_NO_SURFACE) eglSwapInterval(connection_.display(), wayland() ? 0 : 1);
    return true;
}

void EglContextTarget::destroy_context() {
    if (context_ == EGL_NO_CONTEXT) return;
    eglMakeCurrent(connection_.display(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(connection_.display(), context_);
    context_ = EGL_NO_CONTEXT;
}

bool EglContextTarget::make_current() {
    if (context_ == EGL_NO_CONTEXT) return false;
    return egl::make_current(connection_.display(), surface_, context_);
}

bool EglContextTarget::client_size(uint32_t& width, uint32_t& height) {
    if (window_ == 0) return false;
    int32_t scale = 1;
    void* surface = nullptr;
    if (wayland() && wayland_window(window_, surface, width, height, scale)) {
        resize_wayland_window(wayland_, width, height, scale);
        return true;
    }
    // The window's size as the window system knows it: the surface's own
    // idea lags behind a resize until the driver looks at the window again.
    if (sdl_window_client_size(window_, width, height) && width > 0 && height > 0) return true;
    EGLint surface_width = 0, surface_height = 0;
    eglQuerySurface(connection_.display(), surface_, EGL_WIDTH, &surface_width);
    eglQuerySurface(connection_.display(), surface_, EGL_HEIGHT, &surface_height);
    width = static_cast<uint32_t>(surface_width);
    height = static_cast<uint32_t>(surface_height);
    return width > 0 && height > 0;
}

bool EglContextTarget::swap_buffers() {
    if (wayland() && surface_ != EGL_NO_SURFACE) {
        uint32_t width = 0, height = 0;
        int32_t scale = 1;
        void* surface = nullptr;
        if (wayland_window(window_, surface, width, height, scale))
            resize_wayland_window(wayland_, width, height, scale);
        return swap_wayland_window(connection_.display(), surface_, wayland_);
    }
    return surface_ != EGL_NO_SURFACE && eglSwapBuffers(connection_.display(), surface_) == EGL_TRUE;
}

void EglContextTarget::set_swap_interval(int32_t interval) {
    if (surface_ != EGL_NO_SURFACE) eglSwapInterval(connection_.display(), wayland() ? 0 : interval);
}

void EglContextTarget::window_buffer_bits(int32_t& depth_bits, int32_t& stencil_bits) {
    EGLint depth = 0, stencil = 0;
    if (surface_ != EGL_NO_SURFACE) {
        eglGetConfigAttrib(connection_.display(), config_, EGL_DEPTH_SIZE, &depth);
        eglGetConfigAttrib(connection_.display(), config_, EGL_STENCIL_SIZE, &stencil);
    }
    depth_bits = depth;
    stencil_bits = stencil;
}

Result EglContextTarget::enter_full_screen(const DisplayMode& mode) {
    return window_ != 0 ? sdl_set_full_screen(window_, mode) : kNotAvailable;
}

void EglContextTarget::leave_full_screen() {
    if (window_ != 0) sdl_set_windowed(window_);
}

uint32_t EglContextTarget::refresh_rate() { return window_ != 0 ? sdl_window_refresh_rate(window_) : 0; }

}  // namespace platform::egl
