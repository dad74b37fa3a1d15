#include "platform/win32/gdi_glyph_rasterizer.h"

#include <windows.h>

#include "platform/win32/dib_format.h"

namespace platform::win32 {
namespace {

constexpr int32_t kMaxBitmapSide = 4096;

HDC as_dc(void* dc) { return static_cast<HDC>(dc); }

}  // namespace

int32_t GdiGlyphRasterizer::vertical_dpi() {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return 96;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

bool GdiGlyphRasterizer::ensure_dc() {
    if (dc_ == nullptr) dc_ = CreateCompatibleDC(nullptr);
    return dc_ != nullptr;
}

Result GdiGlyphRasterizer::create_bitmap(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) return kFail;
    if (!ensure_dc()) return kFail;
    if (bitmap_ != nullptr) {
        SelectObject(as_dc(dc_), static_cast<HGDIOBJ>(old_bitmap_));
        DeleteObject(static_cast<HGDIOBJ>(bitmap_));
        bitmap_ = old_bitmap_ = nullptr;
        bits_ = nullptr;
    }
    const BITMAPINFO info = top_down_rgb32_info(width, height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(as_dc(dc_), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) return kFail;
    bitmap_ = bitmap;
    bits_ = static_cast<uint32_t*>(bits);
    // A new DIB section is all zeros: black.
    old_bitmap_ = SelectObject(as_dc(dc_), bitmap);
    SetMapMode(as_dc(dc_), MM_TEXT);
    SetTextColor(as_dc(dc_), RGB(255, 255, 255));
    SetBkColor(as_dc(dc_), RGB(0, 0, 0));
    SetTextAlign(as_dc(dc_), TA_TOP);
    return kOk;
}

Result GdiGlyphRasterizer::create_font(const char* face, int32_t height, int32_t weight, bool italic) {
    if (face == nullptr || height == 0 || !ensure_dc()) return kFail;
    HFONT font = CreateFontA(height, 0, 0, 0, weight, italic ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, face);
    if (font == nullptr) return kFail;
    if (font_ != nullptr) {
        SelectObject(as_dc(dc_), static_cast<HGDIOBJ>(old_font_));
        DeleteObject(static_cast<HGDIOBJ>(font_));
    }
    font_ = font;
    old_font_ = SelectObject(as_dc(dc_), font);
    return kOk;
}

GlyphExtent GdiGlyphRasterizer::measure(char character) {
    SIZE size{};
    if (dc_ == nullptr || !GetTextExtentPoint32A(as_dc(dc_), &character, 1, &size)) return GlyphExtent{0, 0};
    return GlyphExtent{size.cx, size.cy};
}

void GdiGlyphRasterizer::draw(char character, int32_t x, int32_t y) {
    if (dc_ == nullptr || bitmap_ == nullptr) return;
    ExtTextOutA(as_dc(dc_), x, y, ETO_OPAQUE, nullptr, &character, 1, nullptr);
    GdiFlush();  // the caller reads the pixels next
}

const uint32_t* GdiGlyphRasterizer::pixels() {
    GdiFlush();
    return bits_;
}

void GdiGlyphRasterizer::destroy() {
    if (dc_ != nullptr) {
        if (font_ != nullptr) SelectObject(as_dc(dc_), static_cast<HGDIOBJ>(old_font_));
        if (bitmap_ != nullptr) SelectObject(as_dc(dc_), static_cast<HGDIOBJ>(old_bitmap_));
        DeleteDC(as_dc(dc_));
    }
    if (font_ != nullptr) DeleteObject(static_cast<HGDIOBJ>(font_));
    if (bitmap_ != nullptr) DeleteObject(static_cast<HGDIOBJ>(bitmap_));
    dc_ = bitmap_ = old_bitmap_ = font_ = old_font_ = nullptr;
    bits_ = nullptr;
}

}  // namespace platform::win32
