// The pixel format our OpenGL windows ask ChoosePixelFormat for:
// double-buffered RGBA with 32 bits of colour, drawn into by OpenGL.
#pragma once

#include <windows.h>

namespace platform::win32 {

// With `depth_bits` and `stencil_bits` (0: none asked for).
inline PIXELFORMATDESCRIPTOR window_pixel_format(BYTE depth_bits, BYTE stencil_bits) {
    PIXELFORMATDESCRIPTOR descriptor{};
    descriptor.nSize = sizeof descriptor;
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 32;
    descriptor.cDepthBits = depth_bits;
    descriptor.cStencilBits = stencil_bits;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    return descriptor;
}

}  // namespace platform::win32
