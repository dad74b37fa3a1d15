// The FreeType rasteriser with the system's fonts, on its own and filling
// the overlay's atlas.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/fonts/freetype_glyph_rasterizer.h"
#include "render/text_overlay.h"
#include "tests/render/render_test_support.h"

namespace {

TEST(FreeTypeGlyphs, ArialBoldMatchesABoldSansFaceAtTheAskedPixelSize) {
    platform::FreeTypeGlyphRasterizer glyphs;
    EXPECT_EQ(glyphs.vertical_dpi(), 96);
    ASSERT_EQ(glyphs.create_bitmap(64, 32), platform::kOk);
    ASSERT_EQ(glyphs.create_font("Arial", -16, 700, false), platform::kOk);
    const std::string file = glyphs.font_file();
    EXPECT_NE(file.find("Bold"), std::string::npos) << file;

    // A 16-pixel em of a face with Arial's metrics: a cell about 19 pixels high.
    const platform::GlyphExtent m = glyphs.measure('M');
    const platform::GlyphExtent i = glyphs.measure('i');
    EXPECT_GE(m.height, 17);
    EXPECT_LE(m.height, 20);
    EXPECT_EQ(i.height, m.height);
    EXPECT_GT(m.width, i.width);
    EXPECT_GT(glyphs.measure(' ').width, 0);

    // Drawing: grey coverage inside the cell, black everywhere else.
    glyphs.draw('M', 3, 2);
    const uint32_t* pixels = glyphs.pixels();
    int inked = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; ++x) {
            const uint32_t p = pixels[y * 64 + x];
            const uint32_t blue = p & 0xFF;
            EXPECT_EQ(p, blue | blue << 8 | blue << 16);  // grey
            const bool in_cell = x >= 3 && x < 3 + m.width && y >= 2 && y < 2 + m.height;
            if (!in_cell) {
                EXPECT_EQ(p, 0u) << x << ", " << y;
            }
            inked += blue == 0xFF ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 20);
    glyphs.destroy();
    EXPECT_EQ(glyphs.pixels(), nullptr);
}

TEST(FreeTypeGlyphs, DisplayResolutionAndRequestsThatCannotBeMet) {
    platform::FreeTypeGlyphRasterizer high(192);
    EXPECT_EQ(high.vertical_dpi(), 192);
    EXPECT_EQ(high.create_bitmap(0, 10), platform::kFail);
    EXPECT_EQ(high.create_bitmap(100000, 10), platform::kFail);
    EXPECT_EQ(high.create_font("Arial", 0, 400, false), platform::kFail);
    EXPECT_EQ(high.create_font("Arial", INT32_MIN, 400, false), platform::kFail);
    EXPECT_EQ(high.measure('A').width, 0);  // no font
    // Glyphs drawn across the edges of a small bitmap stay inside it.
    ASSERT_EQ(high.create_bitmap(8, 8), platform::kOk);
    ASSERT_EQ(high.create_font("Arial", -32, 700, true), platform::kOk);
    high.draw('W', 4, 4);
    high.draw('W', -6, -6);
}

TEST(FreeTypeGlyphs, FillsTheOverlayAtlasWithEveryPrintableCharacter) {
    for (uint32_t max_texture : {4096u, 128u}) {
        SCOPED_TRACE(max_texture);
        platform::FreeTypeGlyphRasterizer glyphs;
        auto device = rendertest::make_device(max_texture);
        render::TextOverlay overlay("Arial", 12, render::kTextBold, &glyphs);
        ASSERT_EQ(overlay.build_glyph_texture(device.get()), platform::kOk);
        const test_support::FakeTexture& atlas = *device->textures.back();
        EXPECT_EQ(atlas.width, max_texture == 128 ? 128u : 256u);

        for (int c = render::kFirstGlyph; c <= render::kLastGlyph; ++c) {
            const render::GlyphBox g = overlay.glyph_box(static_cast<char>(c));
            EXPECT_GT(g.right, g.left) << c;
            EXPECT_GT(g.bottom, g.top) << c;
            EXPECT_LE(g.right, 1.0f) << c;
            EXPECT_LE(g.bottom, 1.0f) << c;
        }
        // Glyph heights in texels: a 19-pixel cell, or half of it in the small atlas.
        const render::GlyphBox space = overlay.glyph_box(' ');
        const float cell = (space.bottom - space.top) * static_cast<float>(atlas.height);
        if (max_texture == 128) {
            EXPECT_NEAR(cell, 10.0f, 2.0f);
        } else {
            EXPECT_NEAR(cell, 19.0f, 2.0f);
        }

        // Texels are transparent black or white with a 4-bit alpha.
        int opaque = 0;
        for (size_t i = 0; i < atlas.texels.size(); i += 2) {
            uint16_t t;
            std::memcpy(&t, &atlas.texels[i], 2);
            EXPECT_TRUE(t == 0 || (t & 0x0FFF) == 0x0FFF) << t;
            opaque += t >> 12 == 0xF ? 1 : 0;
        }
        EXPECT_GT(opaque, 50);  // solid strokes even at 8 pixels
    }
}

}  // namespace
