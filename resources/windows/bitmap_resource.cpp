// The preview picture on Windows: bitmap "IDB_SMALLWND" of the program's
// resources, read into 0x00RRGGBB pixels with GetDIBits.
#include <windows.h>

#include "resources/resources.h"

namespace resources {

bool decode_preview_bitmap(uint32_t* pixels, int32_t& width, int32_t& height) {
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), "IDB_SMALLWND", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap == nullptr) return false;
    BITMAP description{};
    bool read = false;
    if (GetObjectA(bitmap, sizeof description, &description) != 0 && description.bmWidth == kPreviewWidth &&
        (description.bmHeight == kPreviewHeight || description.bmHeight == -kPreviewHeight)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kPreviewWidth;
        info.bmiHeader.biHeight = -kPreviewHeight;  // rows from the top
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        HDC screen = GetDC(nullptr);
        read = GetDIBits(screen, bitmap, 0, kPreviewHeight, pixels, &info, DIB_RGB_COLORS) == kPreviewHeight;
        ReleaseDC(nullptr, screen);
    }
    DeleteObject(bitmap);
    if (!read) return false;
    for (int32_t i = 0; i < kPreviewWidth * kPreviewHeight; ++i) pixels[i] &= 0x00FFFFFFu;
    width = kPreviewWidth;
    height = kPreviewHeight;
    return true;
}

}  // namespace resources
