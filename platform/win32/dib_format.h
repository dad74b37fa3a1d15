// The one DIB layout our GDI code draws into and reads: 32 bits per pixel
// (0x00RRGGBB), no palette, rows from the top.
#pragma once

#include <windows.h>

#include <cstdint>

namespace platform::win32 {

inline BITMAPINFO top_down_rgb32_info(int32_t width, int32_t height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: the first row is the top one
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace platform::win32
