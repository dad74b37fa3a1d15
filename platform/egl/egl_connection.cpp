#include "platform/egl/egl_connection.h"

#include <X11/Xlib.h>
#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_window_modes.h"

namespace platform::egl {
namespace {

bool has_word(const char* list, const char* word) {
    if (list == nullptr) return false;
    const size_t length = std::strlen(word);
    for (const char* at = std::strstr(list, word); at != nullptr; at = std::strstr(at + 1, word)) {
        const bool starts = at == list || at[-1] == ' ';
        const bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

// Mesa reads this variable when a display is initialised; it is set only
// for that moment and then put back as it was.
class ForcedSoftware {
public:
    explicit ForcedSoftware(bool on) : on_(on) {
        if (!on_) return;
        const char* old = std::getenv("LIBGL_ALWAYS_SOFTWARE");
        had_value_ = old != nullptr;
        if (had_value_) std::snprintf(old_value_, sizeof old_value_, "%s", old);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    }
    ~ForcedSoftware() {
        if (!on_) return;
        if (had_value_) {
            setenv("LIBGL_ALWAYS_SOFTWARE", old_value_, 1);
        } else {
            unsetenv("LIBGL_ALWAYS_SOFTWARE");
        }
    }
    ForcedSoftware(const ForcedSoftware&) = delete;
    ForcedSoftware& operator=(const ForcedSoftware&) = delete;

private:
    bool on_;
    bool had_value_ = false;
    char old_value_[64] = {};
};

EGLDisplay software_device_display() {
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!has_word(client, "EGL_EXT_device_enumeration") || !has_word(client, "EGL_EXT_platform_device")) {
        return EGL_NO_DISPLAY;
    }
    EGLDeviceEXT devices[16];
    EGLint count = 0;
    if (!eglQueryDevicesEXT(16, devices, &count)) return EGL_NO_DISPLAY;
    for (EGLint i = 0; i < count; ++i) {
        if (has_word(eglQueryDeviceStringEXT(devices[i], EGL_EXTENSIONS), "EGL_MESA_device_software")) {
            return eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
        }
    }
    return EGL_NO_DISPLAY;
}

int x_error_count = 0;
int count_x_error(Display*, XErrorEvent*) {
    ++x_error_count;
    return 0;
}

// The visual of X window `window`; false when there is no such window (the
// server's error is counted here, not left to the default handler, which
// would end the program).
bool window_visual(Display* x, NativeWindow window, VisualID& visual) {
    XWindowAttributes attributes{};
    XSync(x, False);
    x_error_count = 0;
    auto* previous = XSetErrorHandler(count_x_error);
    const Status found = XGetWindowAttributes(x, static_cast<Window>(window), &attributes);
    XSync(x, False);
    XSetErrorHandler(previous);
    if (found == 0 || x_error_count != 0) return false;
    visual = XVisualIDFromVisual(attributes.visual);
    return true;
}

}  // namespace

bool make_current(EGLDisplay display, EGLSurface surface, EGLContext context) {
    if (eglGetCurrentContext() == context && eglGetCurrentSurface(EGL_DRAW) == surface &&
        eglGetCurrentDisplay() == display) {
        return true;
    }
    return eglMakeCurrent(display, surface, surface, context) == EGL_TRUE;
}

bool EglConnection::open(EglTarget target, bool software) {
    close();
    target_ = target;
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    EGLDisplay display = EGL_NO_DISPLAY;
    if (target == EglTarget::X11Windows) {
        if (!has_word(client, "EGL_EXT_platform_x11") && !has_word(client, "EGL_KHR_platform_x11")) return false;
        // One X connection per kind of display for the whole process: the
        // driver may still reach for the connection after eglTerminate, so
        // it is never closed, and a later system reuses it.
        static Display* connections[2] = {nullptr, nullptr};
        Display*& x = connections[software ? 1 : 0];
        if (x == nullptr) x = XOpenDisplay(nullptr);
        if (x == nullptr) return false;
        x_display_ = x;
        display = eglGetPlatformDisplayEXT(EGL_PLATFORM_X11_KHR, x, nullptr);
    } else if (target == EglTarget::WaylandWindows) {
        if (!has_word(client, "EGL_EXT_platform_wayland") && !has_word(client, "EGL_KHR_platform_wayland")) {
            return false;
        }
        void* wayland = sdl_wayland_display();
        if (wayland == nullptr) return false;
        display = eglGetPlatformDisplayEXT(EGL_PLATFORM_WAYLAND_KHR, wayland, nullptr);
    } else if (software) {
        display = software_device_display();
    } else if (has_word(client, "EGL_MESA_platform_surfaceless")) {
        display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    }
    bool initialised = false;
    if (display != EGL_NO_DISPLAY) {
        ForcedSoftware forced(software && target != EglTarget::Offscreen);
        EGLint major = 0, minor = 0;
        initialised = eglInitialize(display, &major, &minor) == EGL_TRUE;
    }
    if (!initialised || eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
        if (initialised) eglTerminate(display);
        x_display_ = nullptr;
        return false;
    }
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    if (!has_word(extensions, "EGL_KHR_surfaceless_context") || !has_word(extensions, "EGL_KHR_no_config_context")) {
        // Offscreen rendering and probing both need contexts without surfaces.
        eglTerminate(display);
        x_display_ = nullptr;
        return false;
    }
    robustness_ = has_word(extensions, "EGL_EXT_create_context_robustness");
    display_ = display;
    return true;
}

void EglConnection::close() {
    if (display_ != EGL_NO_DISPLAY) {
        if (eglGetCurrentDisplay() == display_) eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglTerminate(display_);
        display_ = EGL_NO_DISPLAY;
    }
    x_display_ = nullptr;  // kept open for the process (see open)
}

bool EglConnection::display_lost() {
    if (display_lost_) return true;
    if (target_ != EglTarget::X11Windows || x_display_ == nullptr) return false;
    Display* x = static_cast<Display*>(x_display_);
    pollfd connection{ConnectionNumber(x), POLLIN | POLLRDHUP, 0};
    if (poll(&connection, 1, 0) != 1 || (connection.revents & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL)) == 0) {
        return false;
    }
    display_lost_ = true;
    std::fprintf(stderr, "aquarium: the connection to the X display was lost\n");
    return true;
}

EGLConfig EglConnection::window_config(NativeWindow window) {
    if (display_ == EGL_NO_DISPLAY || window == 0) return nullptr;
    const bool wayland = target_ == EglTarget::WaylandWindows;
    if (!wayland && x_display_ == nullptr) return nullptr;
    VisualID visual = 0;
    if (!wayland && !window_visual(static_cast<Display*>(x_display_), window, visual)) return nullptr;

    const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                             EGL_RED_SIZE, 5, EGL_GREEN_SIZE, 5, EGL_BLUE_SIZE, 5, EGL_NONE};
    EGLConfig configs[128];
    EGLint count = 0;
    if (!eglChooseConfig(display_, wanted, configs, 128, &count) || count == 0) return nullptr;
    // Of the configs for the window's visual, the first with the most depth
    // and stencil bits up to 24 and 8: the device can then draw straight into
    // the window whatever depth buffer the program asks for.
    EGLConfig best = nullptr;
    EGLint best_score = -1;
    for (EGLint i = 0; i < count; ++i) {
        EGLint id = 0, depth = 0, stencil = 0, alpha = 0;
        if (wayland) {
            if (!eglGetConfigAttrib(display_, configs[i], EGL_ALPHA_SIZE, &alpha) || alpha != 0) continue;
        } else if (!eglGetConfigAttrib(display_, configs[i], EGL_NATIVE_VISUAL_ID, &id) ||
                   static_cast<VisualID>(id) != visual) {
            continue;
        }
        eglGetConfigAttrib(display_, configs[i], EGL_DEPTH_SIZE, &depth);
        eglGetConfigAttrib(display_, configs[i], EGL_STENCIL_SIZE, &stencil);
        const EGLint score = (depth < 24 ? depth : 24) * 16 + (stencil < 8 ? stencil : 8);
        if (score > best_score) {
            best = configs[i];
            best_score = score;
        }
    }
    return best;
}

EGLSurface EglConnection::create_window_surface(EGLConfig config, NativeWindow window) {
    if (display_ == EGL_NO_DISPLAY || x_display_ == nullptr || config == nullptr || window == 0) {
        return EGL_NO_SURFACE;
    }
    // The window is another program's, which may destroy it at any moment.
    // Should that happen while the driver makes the surface, Mesa's X11
    // surface code (22.3, for one) frees a drawable it has not made yet and
    // the process dies by SIGSEGV. While the server is grabbed it serves no
    // other client: the window found here is still there when the driver
    // looks at it, and a destruction its owner asks for meanwhile waits for
    // the ungrab (the surface then shows nothing, and the pump finds the
    // window gone).
    Display* x = static_cast<Display*>(x_display_);
    XGrabServer(x);
    EGLSurface surface = EGL_NO_SURFACE;
    VisualID visual = 0;
    if (window_visual(x, window, visual)) {
        EGLNativeWindowType native = static_cast<EGLNativeWindowType>(window);
        surface = eglCreatePlatformWindowSurfaceEXT(display_, config, &native, nullptr);
    }
    XUngrabServer(x);
    XFlush(x);
    return surface;
}

EGLContext EglConnection::create_context(EGLConfig config, bool& robust) {
    robust = false;
    if (display_ == EGL_NO_DISPLAY) return EGL_NO_CONTEXT;
    eglBindAPI(EGL_OPENGL_API);
    const EGLConfig chosen = config != nullptr ? config : EGL_NO_CONFIG_KHR;
    if (robustness_) {
        const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3,
                                     EGL_CONTEXT_MINOR_VERSION, 3,
                                     EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                     EGL_CONTEXT_OPENGL_RESET_NOTIFICATION_STRATEGY_EXT, EGL_LOSE_CONTEXT_ON_RESET_EXT,
                                     EGL_NONE};
        const EGLContext context = eglCreateContext(display_, chosen, EGL_NO_CONTEXT, attributes);
        if (context != EGL_NO_CONTEXT) {
            robust = true;
            return context;
        }
    }
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    return eglCreateContext(display_, chosen, EGL_NO_CONTEXT, attributes);
}

bool EglConnection::probe(GlProbe& probe) {
    probe = GlProbe{};
    bool robust = false;
    const EGLContext context = create_context(nullptr, robust);
    if (context == EGL_NO_CONTEXT) return false;
    const EGLDisplay previous_display = eglGetCurrentDisplay();
    const EGLContext previous_context = eglGetCurrentContext();
    const EGLSurface previous_draw = eglGetCurrentSurface(EGL_DRAW);
    const EGLSurface previous_read = eglGetCurrentSurface(EGL_READ);
    if (eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context) != EGL_TRUE) {
        eglDestroyContext(display_, context);
        return false;
    }
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    std::snprintf(probe.renderer, sizeof probe.renderer, "%s", renderer != nullptr ? renderer : "OpenGL");
    std::snprintf(probe.version, sizeof probe.version, "%s", version != nullptr ? version : "");
    GLint max_texture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture);
    probe.max_texture_size = max_texture > 0 ? static_cast<uint32_t>(max_texture) : 0;
    GLint max_samples = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &max_samples);
    const int gl_version = gl::context_gl_version();
    if (gl_version >= 42 || gl::context_has_extension("GL_ARB_internalformat_query")) {
        GLint count = 0;
        glGetInternalformativ(GL_RENDERBUFFER, GL_RGBA8, GL_NUM_SAMPLE_COUNTS, 1, &count);
        GLint counts[32] = {};
        if (count > 32) count = 32;
        if (count > 0) glGetInternalformativ(GL_RENDERBUFFER, GL_RGBA8, GL_SAMPLES, count, counts);
        for (GLint i = 0; i < count; ++i) {
            if (counts[i] >= 2 && counts[i] <= 16 && counts[i] <= max_samples) probe.multisample_types |= 1u << counts[i];
        }
    } else {
        for (GLint n = 2; n <= 16 && n <= max_samples; n *= 2) probe.multisample_types |= 1u << n;
    }
    probe.clip_control = gl_version >= 45 || gl::context_has_extension("GL_ARB_clip_control");
    if (previous_context != EGL_NO_CONTEXT && previous_display != EGL_NO_DISPLAY) {
        eglMakeCurrent(previous_display, previous_draw, previous_read, previous_context);
    } else {
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    eglDestroyContext(display_, context);
    return probe.max_texture_size > 0;
}

}  // namespace platform::egl
