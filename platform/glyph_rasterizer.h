// Renders text characters of one font into a 32-bit top-down bitmap (white
// on black, one logical unit per pixel) and measures their extents.
#pragma once

#include <cstdint>

#include "platform/result.h"

namespace platform {

struct GlyphExtent {
    int32_t width;   // advance of the character, pixels
    int32_t height;  // line height of the font, pixels
};

class GlyphRasterizer {
public:
    // Vertical pixels per inch of the display (96 when unknown).
    virtual int32_t vertical_dpi() = 0;
    // A bitmap of width x height pixels, all black.
    virtual Result create_bitmap(int32_t width, int32_t height) = 0;
    // Selects a font: height < 0 is the character height in pixels, weight 700
    // is bold, 400 normal.
    virtual Result create_font(const char* face, int32_t height, int32_t weight, bool italic) = 0;
    virtual GlyphExtent measure(char character) = 0;
    // Draws the character opaquely with its top-left corner at (x, y).
    virtual void draw(char character, int32_t x, int32_t y) = 0;
    // Pixels of the bitmap, 0x00RRGGBB, rows top to bottom.
    virtual const uint32_t* pixels() = 0;
    // Frees the bitmap and the font.
    virtual void destroy() = 0;

protected:
    virtual ~GlyphRasterizer() = default;
};

}  // namespace platform
