// The glyph rasteriser on GDI: a 32-bit top-down DIB section in a memory
// device context, the font from CreateFontA, characters measured with
// GetTextExtentPoint32A and drawn opaquely, white on black, with ExtTextOutA.
#pragma once

#include <cstdint>

#include "platform/glyph_rasterizer.h"

namespace platform::win32 {

class GdiGlyphRasterizer final : public GlyphRasterizer {
public:
    GdiGlyphRasterizer() = default;
    ~GdiGlyphRasterizer() override { destroy(); }
    GdiGlyphRasterizer(const GdiGlyphRasterizer&) = delete;
    GdiGlyphRasterizer& operator=(const GdiGlyphRasterizer&) = delete;

    int32_t vertical_dpi() override;
    Result create_bitmap(int32_t width, int32_t height) override;
    Result create_font(const char* face, int32_t height, int32_t weight, bool italic) override;
    GlyphExtent measure(char character) override;
    void draw(char character, int32_t x, int32_t y) override;
    const uint32_t* pixels() override;
    void destroy() override;

private:
    bool ensure_dc();

    void* dc_ = nullptr;           // HDC: memory device context
    void* bitmap_ = nullptr;       // HBITMAP: the DIB section selected into it
    void* old_bitmap_ = nullptr;   // HGDIOBJ the DC held before
    void* font_ = nullptr;         // HFONT selected into the DC
    void* old_font_ = nullptr;     // HGDIOBJ the DC held before
    uint32_t* bits_ = nullptr;     // the DIB section's pixels, 0x00RRGGBB, rows from the top
};

}  // namespace platform::win32
