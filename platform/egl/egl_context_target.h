// The context target over EGL: a window surface on one of the SDL window
// system's X11 windows or Wayland surfaces, or no surface at all
// (offscreen). On Wayland the buffers follow the window's size in the
// output's pixels, and the compositor's frame callbacks pace the swaps
// (egl_wayland_window.h), not EGL's swap interval: a hidden surface hears
// no frame callbacks, and EGL's swap would wait for one for ever.
#pragma once

#include "platform/egl/egl_connection.h"
#include "platform/egl/egl_wayland_window.h"
#include "platform/gl/gl_context_target.h"

namespace platform::egl {

class EglContextTarget final : public gl::GlContextTarget {
public:
    // `window` 0: offscreen. The connection must outlive the target.
    EglContextTarget(EglConnection& connection, NativeWindow window) : connection_(connection), window_(window) {}
    ~EglContextTarget() override;

    bool create_context(bool& robust) override;
    void destroy_context() override;
    bool has_context() const override { return context_ != EGL_NO_CONTEXT; }
    bool make_current() override;
    bool has_window() const override { return window_ != 0; }
    bool client_size(uint32_t& width, uint32_t& height) override;
    bool swap_buffers() override;
    void set_swap_interval(int32_t interval) override;
    void window_buffer_bits(int32_t& depth_bits, int32_t& stencil_bits) override;
    bool display_lost() override { return window_ != 0 && connection_.display_lost(); }
    Result enter_full_screen(const DisplayMode& mode) override;
    void leave_full_screen() override;
    uint32_t refresh_rate() override;

private:
    bool wayland() const { return connection_.target() == EglTarget::WaylandWindows; }

    EglConnection& connection_;
    NativeWindow window_;
    EGLConfig config_ = nullptr;
    EGLSurface surface_ = EGL_NO_SURFACE;
    EGLContext context_ = EGL_NO_CONTEXT;
    WaylandEglWindow wayland_;  // on Wayland: the native window under surface_
};

}  // namespace platform::egl
