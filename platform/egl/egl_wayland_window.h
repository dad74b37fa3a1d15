// The native window EGL draws a Wayland surface through (a wl_egl_window),
// kept at the size of the surface's buffer in the output's pixels, and the
// compositor's frame callbacks that pace it.
//
// Each swap asks the compositor for a frame callback, which it answers when
// it is a good time to draw the next frame; a surface nobody sees (on a
// hidden workspace, on an output that is off) gets no answer. Before the
// next swap the window waits for that answer a little while, dispatching
// the connection's events (SDL's input among them); without it the frame
// is not presented. While every surface of the process has waited longer
// than kUnseenSeconds, the surfaces count as unseen: the power state then
// reads as a dark display, and the message loop draws nothing until an
// answer comes.
#pragma once

#include <epoxy/egl.h>

#include <cstdint>

struct wl_callback;
struct wl_egl_window;
struct wl_surface;

namespace platform::egl {

inline constexpr double kFrameWaitSeconds = 0.05;  // longest wait for an answer before a swap
inline constexpr double kUnseenSeconds = 0.5;      // unanswered this long: nobody sees the surface

struct WaylandEglWindow {
    wl_egl_window* native = nullptr;
    wl_surface* surface = nullptr;
    uint32_t width = 0;  // pixels of the buffers EGL makes now
    uint32_t height = 0;
    int32_t scale = 1;             // the surface's buffer scale: pixels per point each way
    wl_callback* frame = nullptr;  // the frame callback asked for and not yet answered
    double asked_at = 0.0;         // when it was asked for, in gl::monotonic_seconds()
};

// A window surface on the wl_surface `surface` (SDL's), `width` x `height`
// pixels; EGL_NO_SURFACE (and no native window) when one cannot be made.
// The window must stay at its address until it is destroyed.
EGLSurface create_wayland_window_surface(EGLDisplay display, EGLConfig config, void* surface, uint32_t width,
                                         uint32_t height, WaylandEglWindow& window);
// The next buffers get this size in pixels, shown at `scale` pixels per
// point; nothing when that is so already.
void resize_wayland_window(WaylandEglWindow& window, uint32_t width, uint32_t height, int32_t scale);
// Presents the drawn frame unless the compositor has not answered the last
// one within kFrameWaitSeconds; asks for the next answer. False when the
// swap failed.
bool swap_wayland_window(EGLDisplay display, EGLSurface surface, WaylandEglWindow& window);
// After the EGL surface on it is destroyed.
void destroy_wayland_window(WaylandEglWindow& window);

}  // namespace platform::egl
