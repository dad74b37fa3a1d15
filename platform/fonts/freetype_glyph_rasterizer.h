// The glyph rasteriser on FreeType. The face is the one fontconfig matches
// for the requested family, weight and slant (a metric-compatible stand-in
// when the family itself is not installed); glyphs are antialiased and
// written as grey levels, white on black.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/glyph_rasterizer.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;
struct _FcConfig;

namespace platform {

class FreeTypeGlyphRasterizer final : public GlyphRasterizer {
public:
    // `display_dpi`: the display's vertical pixels per inch; 0 when unknown (96 is used).
    explicit FreeTypeGlyphRasterizer(int32_t display_dpi = 0);
    ~FreeTypeGlyphRasterizer() override;
    FreeTypeGlyphRasterizer(const FreeTypeGlyphRasterizer&) = delete;
    FreeTypeGlyphRasterizer& operator=(const FreeTypeGlyphRasterizer&) = delete;

    int32_t vertical_dpi() override;
    Result create_bitmap(int32_t width, int32_t height) override;
    Result create_font(const char* face, int32_t height, int32_t weight, bool italic) override;
    GlyphExtent measure(char character) override;
    void draw(char character, int32_t x, int32_t y) override;
    const uint32_t* pixels() override;
    void destroy() override;

    // The file of the face in use (empty before create_font).
    const char* font_file() const { return font_file_; }

private:
    void release_face();

    int32_t display_dpi_;                // pixels per inch, 0 when unknown
    _FcConfig* font_config_ = nullptr;   // this rasteriser's own fontconfig configuration, made on first use
    FT_LibraryRec_* library_ = nullptr;  // made on first use
    FT_FaceRec_* face_ = nullptr;        // the selected font
    int32_t ascent_ = 0;                 // pixels above the baseline
    int32_t line_height_ = 0;            // ascent plus descent, pixels
    int32_t bitmap_width_ = 0;           // pixels
    int32_t bitmap_height_ = 0;          // pixels
    std::vector<uint32_t> bitmap_;       // 0x00RRGGBB, rows top to bottom
    char font_file_[512] = {};
};

}  // namespace platform
