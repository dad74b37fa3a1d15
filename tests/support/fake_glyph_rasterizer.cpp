#include "tests/support/fake_glyph_rasterizer.h"

namespace test_support {

platform::Result FakeGlyphRasterizer::create_bitmap(int32_t width, int32_t height) {
    calls.push_back("create_bitmap(" + std::to_string(width) + "," + std::to_string(height) + ")");
    if (platform::failed(create_bitmap_answer)) return create_bitmap_answer;
    if (width <= 0 || height <= 0) return platform::kInvalidCall;
    bitmap_width = width;
    bitmap_height = height;
    bitmap.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    destroyed = false;
    return platform::kOk;
}

platform::Result FakeGlyphRasterizer::create_font(const char* face_name, int32_t height, int32_t font_weight,
                                                  bool is_italic) {
    calls.push_back("create_font(" + std::string(face_name ? face_name : "") + "," + std::to_string(height) + "," +
                    std::to_string(font_weight) + "," + (is_italic ? "1" : "0") + ")");
    if (platform::failed(create_font_answer)) return create_font_answer;
    face = face_name ? face_name : "";
    font_height = height;
    weight = font_weight;
    italic = is_italic;
    return platform::kOk;
}

platform::GlyphExtent FakeGlyphRasterizer::measure(char character) {
    const auto it = widths.find(character);
    return platform::GlyphExtent{it != widths.end() ? it->second : char_width, line_height};
}

void FakeGlyphRasterizer::draw(char character, int32_t x, int32_t y) {
    ++draws;
    const platform::GlyphExtent extent = measure(character);
    for (int32_t row = y; row < y + extent.height; ++row) {
        if (row < 0 || row >= bitmap_height) continue;
        for (int32_t column = x; column < x + extent.width; ++column) {
            if (column < 0 || column >= bitmap_width) continue;
            bitmap[static_cast<size_t>(row) * static_cast<size_t>(bitmap_width) + static_cast<size_t>(column)] = ink;
        }
    }
}

void FakeGlyphRasterizer::destroy() {
    calls.push_back("destroy");
    bitmap.clear();
    bitmap_width = 0;
    bitmap_height = 0;
    destroyed = true;
}

}  // namespace test_support
