// A font with fixed metrics: every character is `char_width` pixels wide
// (overridable per character) and `line_height` high. Drawing fills the
// character's cell with `ink`, so a test knows exactly which pixels a
// character covers.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/glyph_rasterizer.h"

namespace test_support {

class FakeGlyphRasterizer : public platform::GlyphRasterizer {
public:
    // ---- script ----
    int32_t dpi = 96;
    int32_t char_width = 7;
    int32_t line_height = 15;
    std::map<char, int32_t> widths;  // per-character widths that differ
    uint32_t ink = 0x00FFFFFF;
    platform::Result create_bitmap_answer = platform::kOk;
    platform::Result create_font_answer = platform::kOk;

    // ---- what happened ----
    std::vector<std::string> calls;
    std::string face;
    int32_t font_height = 0;
    int32_t weight = 0;
    bool italic = false;
    int32_t bitmap_width = 0;
    int32_t bitmap_height = 0;
    std::vector<uint32_t> bitmap;  // rows top to bottom
    int draws = 0;
    bool destroyed = false;

    int32_t vertical_dpi() override { return dpi; }
    platform::Result create_bitmap(int32_t width, int32_t height) override;
    platform::Result create_font(const char* face_name, int32_t height, int32_t font_weight,
                                 bool is_italic) override;
    platform::GlyphExtent measure(char character) override;
    void draw(char character, int32_t x, int32_t y) override;
    const uint32_t* pixels() override { return bitmap.empty() ? nullptr : bitmap.data(); }
    void destroy() override;
};

}  // namespace test_support
