// The WGL extension functions the graphics system uses, fetched with
// wglGetProcAddress while a context is current. Any of them may be null.
#pragma once

#include <windows.h>

namespace platform::win32 {

using CreateContextAttribsArb = HGLRC(WINAPI*)(HDC, HGLRC, const int*);
using ChoosePixelFormatArb = BOOL(WINAPI*)(HDC, const int*, const FLOAT*, UINT, int*, UINT*);
using GetExtensionsStringArb = const char*(WINAPI*)(HDC);
using SwapIntervalExt = BOOL(WINAPI*)(int);

struct WglEntryPoints {
    CreateContextAttribsArb create_context_attribs;
    ChoosePixelFormatArb choose_pixel_format;
    SwapIntervalExt swap_interval;
    bool robustness;  // WGL_ARB_create_context_robustness
};

// Loads the OpenGL entry points of the shared device code for the current
// context (once per process); false when the driver lacks some.
bool load_gl_entry_points();

}  // namespace platform::win32
