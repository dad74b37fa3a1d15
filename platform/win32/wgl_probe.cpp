// What the driver's OpenGL offers, read once from a 3.3 core context on a
// hidden window, and the WGL extension functions it exports. Only OpenGL
// 1.1 entry points (exported by opengl32) and glGetStringi are called here.
#include <windows.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/wglext.h>

#include <cstdio>
#include <cstring>

#include "platform/win32/wgl_graphics_system.h"
#include "platform/win32/wgl_pixel_format.h"

namespace platform::win32 {
namespace {

constexpr const char* kProbeClassName = "pel OpenGL probe";

using GetStringI = const GLubyte*(APIENTRY*)(GLenum, GLuint);

template <typename Function>
Function wgl_function(const char* name) {
    PROC found = wglGetProcAddress(name);
    // Some drivers answer small numbers instead of null for what they lack.
    const auto value = reinterpret_cast<intptr_t>(found);
    if (value >= -1 && value <= 3) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

bool has_word(const char* list, const char* word) {
    if (list == nullptr) return false;
    const size_t length = std::strlen(word);
    for (const char* p = std::strstr(list, word); p != nullptr; p = std::strstr(p + 1, word)) {
        const bool starts = p == list || p[-1] == ' ';
        const bool ends = p[length] == '\0' || p[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

bool has_gl_extension(GetStringI get_string_i, const char* name) {
    if (get_string_i == nullptr) return false;
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const auto* extension = reinterpret_cast<const char*>(get_string_i(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (extension != nullptr && std::strcmp(extension, name) == 0) return true;
    }
    return false;
}

// The hidden window and its legacy context that WGL needs before it hands
// out its extension functions.
struct ProbeWindow {
    HWND window = nullptr;
    HDC dc = nullptr;
    HGLRC legacy = nullptr;
    HGLRC core = nullptr;

    ~ProbeWindow() {
        wglMakeCurrent(nullptr, nullptr);
        if (core != nullptr) wglDeleteContext(core);
        if (legacy != nullptr) wglDeleteContext(legacy);
        if (dc != nullptr) ReleaseDC(window, dc);
        if (window != nullptr) DestroyWindow(window);
    }

    bool open() {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        WNDCLASSA wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = &DefWindowProcA;
        wc.hInstance = instance;
        wc.lpszClassName = kProbeClassName;
        RegisterClassA(&wc);  // fails harmlessly when registered before
        window = CreateWindowExA(0, kProbeClassName, "", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr, instance, nullptr);
        if (window == nullptr) return false;
        dc = GetDC(window);
        PIXELFORMATDESCRIPTOR descriptor = window_pixel_format(0, 0);
        const int format = ChoosePixelFormat(dc, &descriptor);
        if (format == 0 || !SetPixelFormat(dc, format, &descriptor)) return false;
        legacy = wglCreateContext(dc);
        return legacy != nullptr && wglMakeCurrent(dc, legacy);
    }
};

}  // namespace

bool probe_wgl(WglProbe& probe, WglEntryPoints& wgl) {
    probe = WglProbe{};
    wgl = WglEntryPoints{};
    HDC previous_dc = wglGetCurrentDC();
    HGLRC previous_context = wglGetCurrentContext();
    bool made = false;
    {
        ProbeWindow window;
        if (window.open()) {
            wgl.create_context_attribs = wgl_function<CreateContextAttribsArb>("wglCreateContextAttribsARB");
            wgl.choose_pixel_format = wgl_function<ChoosePixelFormatArb>("wglChoosePixelFormatARB");
            wgl.swap_interval = wgl_function<SwapIntervalExt>("wglSwapIntervalEXT");
            const auto extensions_of = wgl_function<GetExtensionsStringArb>("wglGetExtensionsStringARB");
            const char* extensions = extensions_of != nullptr ? extensions_of(window.dc) : nullptr;
            wgl.robustness = has_word(extensions, "WGL_ARB_create_context_robustness");
            if (wgl.create_context_attribs != nullptr) {
                const int attributes[] = {WGL_CONTEXT_MAJOR_VERSION_ARB, 3, WGL_CONTEXT_MINOR_VERSION_ARB, 3,
                                          WGL_CONTEXT_PROFILE_MASK_ARB, WGL_CONTEXT_CORE_PROFILE_BIT_ARB, 0};
                window.core = wgl.create_context_attribs(window.dc, nullptr, attributes);
            }
            if (window.core != nullptr && wglMakeCurrent(window.dc, window.core)) {
                const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
                const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
                std::snprintf(probe.renderer, sizeof probe.renderer, "%s", renderer != nullptr ? renderer : "OpenGL");
                std::snprintf(probe.version, sizeof probe.version, "%s", version != nullptr ? version : "");
                GLint max_texture = 0, max_samples = 0, major = 0, minor = 0;
                glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture);
                glGetIntegerv(GL_MAX_SAMPLES, &max_samples);
                glGetIntegerv(GL_MAJOR_VERSION, &major);
                glGetIntegerv(GL_MINOR_VERSION, &minor);
                probe.max_texture_size = max_texture > 0 ? static_cast<uint32_t>(max_texture) : 0;
                // The device multisamples in its own framebuffer objects.
                for (GLint n = 2; n <= 16 && n <= max_samples; n *= 2) probe.multisample_types |= 1u << n;
                const auto get_string_i = wgl_function<GetStringI>("glGetStringi");
                probe.clip_control = major * 10 + minor >= 45 || has_gl_extension(get_string_i, "GL_ARB_clip_control");
                made = true;
            }
        }
    }
    if (previous_context != nullptr) wglMakeCurrent(previous_dc, previous_context);
    return made;
}

}  // namespace platform::win32
