#include "platform/egl/egl_wayland_window.h"

#include <poll.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <new>

#include "platform/egl/egl_graphics.h"
#include "platform/gl/frame_pacer.h"
#include "platform/power_status.h"
#include "platform/sdl/sdl_window_modes.h"

namespace platform::egl {
namespace {

constexpr int kMaxWindows = 16;
WaylandEglWindow* g_windows[kMaxWindows] = {};

void remember(WaylandEglWindow* window) {
    for (auto& slot : g_windows) {
        if (slot == nullptr) {
            slot = window;
            return;
        }
    }
}

void forget(WaylandEglWindow* window) {
    for (auto& slot : g_windows) {
        if (slot == window) slot = nullptr;
    }
}

void on_frame_done(void* data, wl_callback* callback, uint32_t) {
    auto* window = static_cast<WaylandEglWindow*>(data);
    wl_callback_destroy(callback);
    if (window->frame == callback) window->frame = nullptr;
}

const wl_callback_listener kFrameListener{on_frame_done};

// Reads and dispatches the connection's events until the window's frame
// callback is answered or `seconds` have passed; true when it was answered.
bool wait_for_frame(wl_display* display, WaylandEglWindow& window, double seconds) {
    const double deadline = gl::monotonic_seconds() + seconds;
    for (;;) {
        if (wl_display_dispatch_pending(display) < 0) return false;
        if (window.frame == nullptr) return true;
        const double left = deadline - gl::monotonic_seconds();
        if (left <= 0.0) return false;
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) return false;
        }
        wl_display_flush(display);
        pollfd connection{wl_display_get_fd(display), POLLIN, 0};
        if (poll(&connection, 1, static_cast<int>(left * 1000.0) + 1) > 0) {
            if (wl_display_read_events(display) < 0) return false;
        } else {
            wl_display_cancel_read(display);
        }
    }
}

// True while every Wayland window has waited for an answer longer than
// kUnseenSeconds (false without any).
bool every_surface_unseen() {
    const double now = gl::monotonic_seconds();
    bool any = false;
    for (const WaylandEglWindow* window : g_windows) {
        if (window == nullptr) continue;
        any = true;
        if (window->frame == nullptr || now - window->asked_at < kUnseenSeconds) return false;
    }
    return any;
}

class UnseenSurfacesPowerStatus final : public PowerStatus {
public:
    explicit UnseenSurfacesPowerStatus(PowerStatus* inner) : inner_(inner) {}
    PowerState read() override {
        PowerState state = inner_ != nullptr ? inner_->read() : PowerState{false, false};
        // Answers that came meanwhile are dispatched first: the loop that
        // asks waits in SDL's event wait, which reads them but may not have
        // dispatched them yet.
        if (auto* display = static_cast<wl_display*>(sdl_wayland_display())) wl_display_dispatch_pending(display);
        state.display_dark = state.display_dark || every_surface_unseen();
        return state;
    }

private:
    PowerStatus* inner_;
};

}  // namespace

EGLSurface create_wayland_window_surface(EGLDisplay display, EGLConfig config, void* surface, uint32_t width,
                                         uint32_t height, WaylandEglWindow& window) {
    if (surface == nullptr || width == 0 || height == 0) return EGL_NO_SURFACE;
    window.surface = static_cast<wl_surface*>(surface);
    window.native = wl_egl_window_create(window.surface, static_cast<int>(width), static_cast<int>(height));
    if (window.native == nullptr) return EGL_NO_SURFACE;
    window.width = width;
    window.height = height;
    const EGLSurface made = eglCreatePlatformWindowSurfaceEXT(display, config, window.native, nullptr);
    if (made == EGL_NO_SURFACE) {
        destroy_wayland_window(window);
    } else {
        remember(&window);
    }
    return made;
}

void resize_wayland_window(WaylandEglWindow& window, uint32_t width, uint32_t height, int32_t scale) {
    if (window.native == nullptr || width == 0 || height == 0 || scale < 1) return;
    window.scale = scale;
    if (width == window.width && height == window.height) return;
    wl_egl_window_resize(window.native, static_cast<int>(width), static_cast<int>(height), 0, 0);
    window.width = width;
    window.height = height;
}

bool swap_wayland_window(EGLDisplay display, EGLSurface surface, WaylandEglWindow& window) {
    auto* connection = static_cast<wl_display*>(sdl_wayland_display());
    if (window.frame != nullptr && connection != nullptr && !wait_for_frame(connection, window, kFrameWaitSeconds)) {
        return true;  // nobody sees the last frame yet: this one is dropped
    }
    // Said again before every swap, whose commit carries it: SDL sets the
    // scale of its surfaces to its own idea (1 for windows that are not
    // high-DPI) whenever the compositor configures them.
    if (window.surface != nullptr) wl_surface_set_buffer_scale(window.surface, window.scale);
    // Asked for before the swap, whose commit carries the request.
    if (window.frame == nullptr && window.surface != nullptr) {
        window.frame = wl_surface_frame(window.surface);
        if (window.frame != nullptr) wl_callback_add_listener(window.frame, &kFrameListener, &window);
        window.asked_at = gl::monotonic_seconds();
    }
    return eglSwapBuffers(display, surface) == EGL_TRUE;
}

void destroy_wayland_window(WaylandEglWindow& window) {
    forget(&window);
    if (window.frame != nullptr) wl_callback_destroy(window.frame);
    if (window.native != nullptr) wl_egl_window_destroy(window.native);
    window = WaylandEglWindow{};
}

PowerStatus* make_unseen_surfaces_power_status(PowerStatus* inner) {
    static UnseenSurfacesPowerStatus status(inner);
    return &status;
}

}  // namespace platform::egl
