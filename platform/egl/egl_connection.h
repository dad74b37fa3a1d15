// One EGL display with the OpenGL API bound: rendering into X11 windows,
// into Wayland surfaces on SDL's connection to the compositor, or offscreen
// without any window system. Either can be asked to use Mesa's
// software rasteriser instead of the system's driver.
#pragma once

#include <epoxy/egl.h>

#include "platform/gl/gl_api.h"

#include <cstdint>

#include "platform/graphics_types.h"

namespace platform::egl {

enum class EglTarget {
    X11Windows,      // window surfaces on the X server named by $DISPLAY
    WaylandWindows,  // window surfaces on SDL's Wayland connection
    Offscreen,       // no surfaces at all; frames go into framebuffer objects
};

// What a display's OpenGL driver offers, read from a short-lived context.
struct GlProbe {
    char renderer[128];
    char version[128];
    uint32_t max_texture_size;
    uint32_t multisample_types;  // bit n set: n samples per pixel are offered
    bool clip_control;           // depth range 0..1 without remapping
};

class EglConnection {
public:
    EglConnection() = default;
    ~EglConnection() { close(); }
    EglConnection(const EglConnection&) = delete;
    EglConnection& operator=(const EglConnection&) = delete;

    bool open(EglTarget target, bool software);
    void close();
    bool is_open() const { return display_ != EGL_NO_DISPLAY; }
    EGLDisplay display() const { return display_; }
    EglTarget target() const { return target_; }

    // The config whose visual matches X window `window` (on Wayland: one
    // without alpha, which the compositor would blend), with depth and
    // stencil buffers of up to 24 and 8 bits where offered; null when there
    // is no such window or no config fits.
    EGLConfig window_config(NativeWindow window);
    // A window surface with `config` on X window `window`, which another
    // program may destroy at any moment; EGL_NO_SURFACE when the window is
    // gone or the driver makes none. X11 only: a Wayland surface is made
    // on a wl_egl_window (egl_wayland_window.h).
    EGLSurface create_window_surface(EGLConfig config, NativeWindow window);
    // An OpenGL 3.3 core context. `config` is null for offscreen rendering.
    // `robust` tells whether the driver reports resets of the context.
    EGLContext create_context(EGLConfig config, bool& robust);
    // Reads the driver's limits; false when no context can be made.
    bool probe(GlProbe& probe);
    // True once the X server of a window display has gone away (our
    // connection to it hung up), said once on standard error. Looked at
    // before drawing and presenting: a driver call that waits on a server
    // that is gone may never return.
    bool display_lost();

private:
    EGLDisplay display_ = EGL_NO_DISPLAY;
    void* x_display_ = nullptr;  // our own X connection (Xlib Display*)
    EglTarget target_ = EglTarget::Offscreen;
    bool robustness_ = false;
    bool display_lost_ = false;
};

// Makes `context` current with `surface` (or none) unless it already is.
bool make_current(EGLDisplay display, EGLSurface surface, EGLContext context);

}  // namespace platform::egl
