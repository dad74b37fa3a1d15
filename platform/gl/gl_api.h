// The OpenGL calls of the device code, from one header on both systems:
// libepoxy on Linux (it resolves the calls of whichever context is current),
// the loader generated at build time by glad on Windows (platform/glad), which
// the Windows graphics system fills once its first context is current.
#pragma once

#if defined(_WIN32)
#include <glad/gl.h>
#else
#include <epoxy/gl.h>
#endif

namespace platform::gl {

// OpenGL version of the current context as major * 10 + minor (33 for 3.3).
int context_gl_version();

// True when the current context lists the extension `name`.
bool context_has_extension(const char* name);

}  // namespace platform::gl
