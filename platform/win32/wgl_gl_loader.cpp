// Fills the device code's OpenGL entry points for the current context.
#include <windows.h>

#include "platform/gl/gl_api.h"
#include "platform/win32/wgl_entry_points.h"

namespace platform::win32 {
namespace {

HMODULE g_opengl32 = nullptr;

// wglGetProcAddress knows only what opengl32 does not export itself.
GLADapiproc load(const char* name) {
    PROC found = wglGetProcAddress(name);
    const auto value = reinterpret_cast<intptr_t>(found);
    if (value >= -1 && value <= 3) found = g_opengl32 != nullptr ? GetProcAddress(g_opengl32, name) : nullptr;
    return reinterpret_cast<GLADapiproc>(reinterpret_cast<void*>(found));
}

}  // namespace

bool load_gl_entry_points() {
    static bool loaded = false;
    if (loaded) return true;
    if (g_opengl32 == nullptr) g_opengl32 = GetModuleHandleA("opengl32.dll");
    loaded = gladLoadGL(&load) != 0;
    return loaded;
}

}  // namespace platform::win32
