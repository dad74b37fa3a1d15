// The OpenGL entry points of the device code: libepoxy on Linux, a glad
// loader generated at build time on Windows (filled by the window system's
// context code once a context is current).
#pragma once

#if defined(_WIN32)
#include <glad/gl.h>
#else
#include <epoxy/gl.h>
#endif
