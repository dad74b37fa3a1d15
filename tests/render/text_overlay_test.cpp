#include "render/text_overlay.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "render/information_text.h"
#include "tests/render/render_test_support.h"
#include "tests/support/fake_glyph_rasterizer.h"

namespace {

using platform::RenderState;
using platform::TextureStageState;
using render::ScreenVertex;
using render::TextOverlay;
using test_support::DeviceCall;
using test_support::DeviceOp;

constexpr uint32_t kWhite = 0xFFFFFFFF;

struct Overlay {
    std::unique_ptr<test_support::FakeGraphicsDevice> device;
    test_support::FakeGlyphRasterizer glyphs;
    std::unique_ptr<TextOverlay> overlay;

    explicit Overlay(uint32_t max_texture = 4096, int32_t points = 12) : device(rendertest::make_device(max_texture)) {
        glyphs.char_width = 8;
        glyphs.line_height = 14;
        overlay = std::make_unique<TextOverlay>("Arial", points, render::kTextBold, &glyphs);
    }
    void build_and_prepare() {
        ASSERT_EQ(overlay->build_glyph_texture(device.get()), platform::kOk);
        ASSERT_EQ(overlay->prepare_for_drawing(), platform::kOk);
        device->clear_calls();
    }
    test_support::FakeVertexBuffer& buffer() { return *device->vertex_buffers.back(); }
    const ScreenVertex* vertices() { return reinterpret_cast<const ScreenVertex*>(buffer().bytes.data()); }
    std::vector<uint32_t> drawn_triangle_counts() {
        std::vector<uint32_t> counts;
        for (const DeviceCall& c : device->calls_of(DeviceOp::DrawPrimitive)) {
            EXPECT_EQ(c.a, static_cast<uint32_t>(platform::PrimitiveType::TriangleList));
            EXPECT_EQ(c.b, 0u);
            counts.push_back(c.c);
        }
        return counts;
    }
};

// ---- the atlas ----

TEST(GlyphAtlas, TwelvePointBoldFontFillsA256AtlasFromTheTopLeft) {
    Overlay o;
    o.glyphs.char_width = 10;
    o.glyphs.line_height = 16;
    ASSERT_EQ(o.overlay->build_glyph_texture(o.device.get()), platform::kOk);

    const auto created = o.device->calls_of(DeviceOp::CreateTexture);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].a, 256u);
    EXPECT_EQ(created[0].b, 256u);
    EXPECT_EQ(created[0].c, platform::kFormatA4R4G4B4);
    EXPECT_EQ(created[0].d, platform::kPoolManaged);
    EXPECT_EQ(created[0].e, 1u);
    EXPECT_FLOAT_EQ(o.overlay->text_scale(), 1.0f);

    EXPECT_EQ(o.glyphs.face, "Arial");
    EXPECT_EQ(o.glyphs.font_height, -16);  // 12 points at 96 pixels per inch
    EXPECT_EQ(o.glyphs.weight, 700);
    EXPECT_FALSE(o.glyphs.italic);
    ASSERT_FALSE(o.glyphs.calls.empty());
    EXPECT_EQ(o.glyphs.calls.front(), "create_bitmap(256,256)");
    EXPECT_EQ(o.glyphs.calls.back(), "destroy");

    // 23 cells of 10 + 1 pixels fit in a row of 256; the 24th starts the next row.
    const render::GlyphBox space = o.overlay->glyph_box(' ');
    EXPECT_FLOAT_EQ(space.left, 0.0f);
    EXPECT_FLOAT_EQ(space.top, 0.0f);
    EXPECT_FLOAT_EQ(space.right, 10.0f / 256);
    EXPECT_FLOAT_EQ(space.bottom, 16.0f / 256);
    const render::GlyphBox last_in_row = o.overlay->glyph_box(static_cast<char>(' ' + 22));
    EXPECT_FLOAT_EQ(last_in_row.left, 242.0f / 256);
    const render::GlyphBox wrapped = o.overlay->glyph_box(static_cast<char>(' ' + 23));
    EXPECT_FLOAT_EQ(wrapped.left, 0.0f);
    EXPECT_FLOAT_EQ(wrapped.top, 17.0f / 256);
    EXPECT_FLOAT_EQ(wrapped.bottom, 33.0f / 256);
    const render::GlyphBox tilde = o.overlay->glyph_box('~');
    EXPECT_GT(tilde.right, tilde.left);
    EXPECT_LE(tilde.right, 1.0f);
    EXPECT_LE(tilde.bottom, 1.0f);
}

TEST(GlyphAtlas, AtlasSideFollowsThePointHeight) {
    for (const auto& [points, side] :
         {std::pair{20, 256u}, std::pair{21, 512u}, std::pair{40, 512u}, std::pair{41, 1024u}}) {
        Overlay o(4096, points);
        o.glyphs.char_width = 2;
        o.glyphs.line_height = 2;
        ASSERT_EQ(o.overlay->build_glyph_texture(o.device.get()), platform::kOk);
        EXPECT_EQ(o.overlay->texture_width(), side) << points << " points";
        EXPECT_EQ(o.overlay->texture_height(), side) << points << " points";
    }
}

// On a denser screen the same points take more pixels, and the atlas grows
// as it would for the larger size in points at 96 pixels per inch. Without
// a display's value the rasteriser's own counts.
TEST(GlyphAtlas, TheDisplaysPixelsPerInchScaleTheFontAndTheAtlas) {
    struct Case {
        int32_t display_dpi;  // 0: none given
        int32_t rasterizer_dpi;
        int32_t font_height;
        uint32_t side;
    };
    const Case cases[] = {{0, 96, -16, 256},   {96, 192, -16, 256}, {144, 96, -24, 256},
                          {192, 96, -32, 512}, {0, 192, -32, 512},  {480, 96, -80, 1024}};
    for (const Case& c : cases) {
        Overlay o;
        o.glyphs.dpi = c.rasterizer_dpi;
        o.overlay->set_display_dpi(c.display_dpi);
        ASSERT_EQ(o.overlay->build_glyph_texture(o.device.get()), platform::kOk);
        EXPECT_EQ(o.glyphs.font_height, c.font_height) << c.display_dpi << "/" << c.rasterizer_dpi;
        EXPECT_EQ(o.overlay->texture_width(), c.side) << c.display_dpi << "/" << c.rasterizer_dpi;
    }
}

TEST(GlyphAtlas, SmallTextureLimitHalvesTheAtlasAndTheFontButNotTheDrawnSize) {
    Overlay o(128);
    o.glyphs.char_width = 5;
    o.glyphs.line_height = 8;
    o.build_and_prepare();
    EXPECT_EQ(o.overlay->texture_width(), 128u);
    EXPECT_EQ(o.overlay->texture_height(), 128u);
    EXPECT_FLOAT_EQ(o.overlay->text_scale(), 0.5f);
    EXPECT_EQ(o.glyphs.font_height, -8);  // rasterised at 48 pixels per inch

    ASSERT_EQ(o.overlay->draw_text(0, 0, kWhite, "A\nB", 0), platform::kOk);
    const ScreenVertex* v = o.vertices();
    // Drawn at twice the rasterised size: 10 x 16 pixels.
    EXPECT_FLOAT_EQ(v[2].x - v[1].x, 10.0f);
    EXPECT_FLOAT_EQ(v[0].y - v[1].y, 16.0f);
    // The next line starts one drawn glyph height lower, so lines never overlap.
    EXPECT_FLOAT_EQ(v[6 + 1].y - v[1].y, 16.0f);
}

TEST(GlyphAtlas, CoverageBecomesWhiteWithItsTopFourBitsAsAlpha) {
    for (const auto& [ink, texel] : {std::pair{0x00u, 0x0000u}, std::pair{0x0Fu, 0x0000u}, std::pair{0x10u, 0x1FFFu},
                                     std::pair{0x87u, 0x8FFFu}, std::pair{0xFFu, 0xFFFFu}}) {
        Overlay o;
        o.glyphs.ink = ink | ink << 8 | ink << 16;  // grey coverage
        ASSERT_EQ(o.overlay->build_glyph_texture(o.device.get()), platform::kOk);
        const test_support::FakeTexture& atlas = *o.device->textures.back();
        uint16_t first;
        std::memcpy(&first, atlas.texels.data(), sizeof first);
        EXPECT_EQ(first, texel) << "coverage " << ink;
        // Outside every cell nothing is drawn.
        uint16_t corner;
        std::memcpy(&corner, atlas.texels.data() + atlas.texels.size() - 2, sizeof corner);
        EXPECT_EQ(corner, 0u);
    }
}

TEST(GlyphAtlas, PackingStopsAtTheAtlasEdges) {
    Overlay o;
    o.glyphs.char_width = 40;
    o.glyphs.line_height = 100;  // two rows fit in 256; the third would run past the bottom
    ASSERT_EQ(o.overlay->build_glyph_texture(o.device.get()), platform::kOk);
    EXPECT_EQ(o.glyphs.draws, 12);  // six per row
    const render::GlyphBox kept = o.overlay->glyph_box(static_cast<char>(' ' + 11));
    EXPECT_FLOAT_EQ(kept.bottom, 201.0f / 256);
    const render::GlyphBox dropped = o.overlay->glyph_box(static_cast<char>(' ' + 12));
    EXPECT_EQ(dropped.right - dropped.left, 0.0f);

    Overlay wide;
    wide.glyphs.char_width = 300;  // wider than the atlas
    ASSERT_EQ(wide.overlay->build_glyph_texture(wide.device.get()), platform::kOk);
    EXPECT_EQ(wide.glyphs.draws, 0);
}

TEST(GlyphAtlas, FailuresLeaveNoAtlasAndNothingToDraw) {
    Overlay refused_texture;
    refused_texture.device->create_texture_answer = platform::kOutOfVideoMemory;
    EXPECT_EQ(refused_texture.overlay->build_glyph_texture(refused_texture.device.get()), platform::kOutOfVideoMemory);
    refused_texture.overlay->prepare_for_drawing();
    EXPECT_EQ(refused_texture.overlay->draw_text(0, 0, kWhite, "A", 0), platform::kFail);

    Overlay refused_font;
    refused_font.glyphs.create_font_answer = platform::kFail;
    EXPECT_EQ(refused_font.overlay->build_glyph_texture(refused_font.device.get()), platform::kFail);
    refused_font.overlay->prepare_for_drawing();
    EXPECT_EQ(refused_font.overlay->draw_text(0, 0, kWhite, "A", 0), platform::kFail);
    EXPECT_EQ(refused_font.device->count_of(DeviceOp::DrawPrimitive), 0);

    TextOverlay without_rasteriser("Arial", 12, render::kTextBold, nullptr);
    auto device = rendertest::make_device();
    EXPECT_EQ(without_rasteriser.build_glyph_texture(device.get()), platform::kFail);
}

// ---- device resources and state ----

TEST(TextDrawingState, PrepareMakesTheBufferAndTwoIdenticalStateBlocks) {
    Overlay o;
    ASSERT_EQ(o.overlay->build_glyph_texture(o.device.get()), platform::kOk);
    o.device->clear_calls();
    ASSERT_EQ(o.overlay->prepare_for_drawing(), platform::kOk);

    const auto buffers = o.device->calls_of(DeviceOp::CreateVertexBuffer);
    ASSERT_EQ(buffers.size(), 1u);
    EXPECT_EQ(buffers[0].a, 8400u);
    EXPECT_EQ(buffers[0].b, 0x208u);
    EXPECT_EQ(buffers[0].c, 0u);
    EXPECT_EQ(buffers[0].d, platform::kPoolDefault);

    const auto blocks = o.device->calls_of(DeviceOp::EndStateBlock);
    ASSERT_EQ(blocks.size(), 2u);
    // Either block sets the text's drawing state over whatever was set before.
    for (const DeviceCall& block : blocks) {
        o.device->set_render_state(RenderState::ZEnable, 1);
        o.device->set_render_state(RenderState::AlphaTestEnable, 0);
        o.device->set_render_state(RenderState::FogEnable, 1);
        o.device->set_texture_stage_state(0, TextureStageState::MinFilter, platform::kFilterLinear);
        o.device->set_texture_stage_state(1, TextureStageState::ColorOp, platform::kTextureOpModulate);
        o.device->set_texture(0, nullptr);
        ASSERT_EQ(o.device->apply_state_block(block.a), platform::kOk);
        const auto rs = [&](RenderState s) { return o.device->render_state[static_cast<int>(s)]; };
        const auto ts = [&](int stage, TextureStageState s) {
            return o.device->stage_state[stage][static_cast<int>(s)];
        };
        EXPECT_EQ(o.device->texture[0], o.device->textures.back().get());
        EXPECT_EQ(std::make_tuple(rs(RenderState::ZEnable), rs(RenderState::AlphaBlendEnable),
                                  rs(RenderState::SrcBlend), rs(RenderState::DestBlend), rs(RenderState::FogEnable)),
                  std::make_tuple(0u, 1u, 5u, 6u, 0u));
        EXPECT_EQ(std::make_tuple(rs(RenderState::AlphaTestEnable), rs(RenderState::AlphaRef),
                                  rs(RenderState::AlphaFunc), rs(RenderState::CullMode)),
                  std::make_tuple(1u, 8u, 7u, 3u));
        EXPECT_EQ(std::make_tuple(ts(0, TextureStageState::ColorOp), ts(0, TextureStageState::ColorArg2),
                                  ts(0, TextureStageState::MinFilter), ts(1, TextureStageState::ColorOp)),
                  std::make_tuple(4u, 0u, 1u, 1u));
    }

    // Released before a reset, made again after it.
    o.overlay->release_drawing_resources();
    EXPECT_EQ(o.device->count_of(DeviceOp::DeleteStateBlock), 2);
    EXPECT_EQ(o.overlay->draw_text(0, 0, kWhite, "A", 0), platform::kFail);
    ASSERT_EQ(o.overlay->prepare_for_drawing(), platform::kOk);
    EXPECT_EQ(o.overlay->draw_text(0, 0, kWhite, "A", 0), platform::kOk);
}

TEST(TextDrawingState, DrawTextSwitchesStateWithTheBlocksAndRestoresTheCallers) {
    Overlay o;
    o.build_and_prepare();
    o.device->set_render_state(RenderState::ZEnable, 1);
    o.device->set_render_state(RenderState::CullMode, platform::kCullClockwise);
    o.device->set_render_state(RenderState::AlphaBlendEnable, 0);
    o.device->clear_calls();

    ASSERT_EQ(o.overlay->draw_text(10, 20, kWhite, "Hi", render::kDrawTextLinearFilter), platform::kOk);
    std::vector<DeviceOp> ops;
    for (const DeviceCall& c : o.device->calls) ops.push_back(c.op);
    const std::vector<DeviceOp> expected = {
        DeviceOp::CaptureStateBlock,    DeviceOp::ApplyStateBlock, DeviceOp::SetVertexShader,
        DeviceOp::SetPixelShader,       DeviceOp::SetStreamSource, DeviceOp::SetTextureStageState,
        DeviceOp::SetTextureStageState, DeviceOp::DrawPrimitive,   DeviceOp::ApplyStateBlock};
    ASSERT_EQ(ops, expected);
    const auto& c = o.device->calls;
    EXPECT_EQ(c[0].a, c[8].a);  // the saved block captures, then restores
    EXPECT_NE(c[0].a, c[1].a);
    EXPECT_EQ(c[2].a, platform::kFvfScreenVertex);
    EXPECT_EQ(c[3].a, 0u);
    EXPECT_EQ(c[4].b, 28u);
    EXPECT_EQ(c[4].object, &o.buffer());
    EXPECT_EQ(c[5].c, platform::kFilterLinear);
    EXPECT_EQ(c[6].c, platform::kFilterLinear);
    EXPECT_EQ(o.buffer().last_lock_flags, platform::kLockDiscard);
    EXPECT_FALSE(o.buffer().locked);

    EXPECT_EQ(o.device->render_state[static_cast<int>(RenderState::ZEnable)], 1u);
    EXPECT_EQ(o.device->render_state[static_cast<int>(RenderState::CullMode)], platform::kCullClockwise);
    EXPECT_EQ(o.device->render_state[static_cast<int>(RenderState::AlphaBlendEnable)], 0u);
}

TEST(TextDrawingState, NoDeviceNoDrawing) {
    test_support::FakeGlyphRasterizer glyphs;
    TextOverlay never_built("Arial", 12, render::kTextBold, &glyphs);
    EXPECT_EQ(never_built.draw_text(0, 0, kWhite, "A", 0), platform::kFail);
    EXPECT_EQ(never_built.prepare_for_drawing(), platform::kFail);

    Overlay o;
    o.build_and_prepare();
    o.overlay->release_drawing_resources();
    o.overlay->release_glyph_texture();
    o.device->clear_calls();
    EXPECT_EQ(o.overlay->draw_text(0, 0, kWhite, "A", 0), platform::kFail);
    EXPECT_TRUE(o.device->calls.empty());
}

// ---- layout ----

TEST(TextLayout, OneCharacterIsTwoTrianglesOnTheHalfPixelGrid) {
    Overlay o;
    o.build_and_prepare();
    ASSERT_EQ(o.overlay->draw_text(10, 20, 0xFF828296, "A", 0), platform::kOk);
    ASSERT_EQ(o.drawn_triangle_counts(), std::vector<uint32_t>{2});
    const render::GlyphBox g = o.overlay->glyph_box('A');
    const ScreenVertex* v = o.vertices();
    const float l = 9.5f, t = 19.5f, r = 17.5f, b = 33.5f;  // 8 x 14 cell
    const float expected[6][4] = {{l, b, g.left, g.bottom}, {l, t, g.left, g.top},     {r, b, g.right, g.bottom},
                                  {r, t, g.right, g.top},   {r, b, g.right, g.bottom}, {l, t, g.left, g.top}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(v[i].x, expected[i][0]) << i;
        EXPECT_FLOAT_EQ(v[i].y, expected[i][1]) << i;
        EXPECT_FLOAT_EQ(v[i].u, expected[i][2]) << i;
        EXPECT_FLOAT_EQ(v[i].v, expected[i][3]) << i;
        EXPECT_FLOAT_EQ(v[i].z, 0.9f);
        EXPECT_FLOAT_EQ(v[i].rhw, 1.0f);
        EXPECT_EQ(v[i].colour, 0xFF828296u);
    }
}

TEST(TextLayout, LineFeedsReturnToTheStartAndMoveDownOneLineEach) {
    Overlay o;
    o.build_and_prepare();
    ASSERT_EQ(o.overlay->draw_text(10, 20, kWhite, "AB\n\nC", 0), platform::kOk);
    ASSERT_EQ(o.drawn_triangle_counts(), std::vector<uint32_t>{6});
    const ScreenVertex* v = o.vertices();
    EXPECT_FLOAT_EQ(v[6 + 1].x, 17.5f);               // B follows A
    EXPECT_FLOAT_EQ(v[12 + 1].x, 9.5f);               // C back at the start x
    EXPECT_FLOAT_EQ(v[12 + 1].y, 19.5f + 2 * 14.0f);  // two lines down
}

TEST(TextLayout, SpaceAdvancesWithoutVerticesAndControlCharactersDrawNothing) {
    Overlay o;
    o.build_and_prepare();
    ASSERT_EQ(o.overlay->draw_text(0, 0, kWhite, "A B", 0), platform::kOk);
    ASSERT_EQ(o.drawn_triangle_counts(), std::vector<uint32_t>{4});
    EXPECT_FLOAT_EQ(o.vertices()[6 + 1].x, 16.0f - 0.5f);  // past A and the space

    o.device->clear_calls();
    ASSERT_EQ(o.overlay->draw_text(0, 0, kWhite,
                                   "A\t\x7F\x80\xFF"
                                   "B",
                                   0),
              platform::kOk);
    ASSERT_EQ(o.drawn_triangle_counts(), std::vector<uint32_t>{4});
    EXPECT_FLOAT_EQ(o.vertices()[6 + 1].x, 8.0f - 0.5f);  // nothing between A and B

    o.device->clear_calls();
    ASSERT_EQ(o.overlay->draw_text(0, 0, kWhite, "   \n ", 0), platform::kOk);
    EXPECT_TRUE(o.drawn_triangle_counts().empty());
}

TEST(TextLayout, FiftyOneCharactersNeedTwoDrawCalls) {
    Overlay o;
    o.build_and_prepare();
    const std::string text(51, 'x');
    ASSERT_EQ(o.overlay->draw_text(0, 0, kWhite, text.c_str(), 0), platform::kOk);
    EXPECT_EQ(o.drawn_triangle_counts(), (std::vector<uint32_t>{100, 2}));
    EXPECT_EQ(o.buffer().locks, 2);
    // After the flush the buffer is refilled from its start: the 51st character.
    EXPECT_FLOAT_EQ(o.vertices()[1].x, 50 * 8.0f - 0.5f);

    o.device->clear_calls();
    ASSERT_EQ(o.overlay->draw_text(0, 0, kWhite, std::string(50, 'x').c_str(), 0), platform::kOk);
    EXPECT_EQ(o.drawn_triangle_counts(), (std::vector<uint32_t>{100}));

    o.device->clear_calls();
    ASSERT_EQ(o.overlay->draw_text(0, 0, kWhite, std::string(120, 'x').c_str(), 0), platform::kOk);
    EXPECT_EQ(o.drawn_triangle_counts(), (std::vector<uint32_t>{100, 100, 40}));
}

// ---- the information text ----

TEST(InformationText, FourLinesWithTheRunningTime) {
    char text[render::kInformationTextCapacity];
    render::format_information_text(
        text, sizeof text, render::InformationText{"Aquarium", "60.00 fps (640x480x32)", "HAL (hw vp): GPU", 3725.9f});
    EXPECT_STREQ(text, "Aquarium\n60.00 fps (640x480x32)\nHAL (hw vp): GPU\n1 h   2 min   5 sec\n");

    render::format_information_text(text, sizeof text, render::InformationText{nullptr, "", "", 59.99f});
    EXPECT_STREQ(text, "\n\n\n0 h   0 min   59 sec\n");
    render::format_information_text(text, sizeof text, render::InformationText{"", "", "", -3.0f});
    EXPECT_STREQ(text, "\n\n\n0 h   0 min   0 sec\n");
    render::format_information_text(text, sizeof text, render::InformationText{"", "", "", 360000.0f});
    EXPECT_STREQ(text, "\n\n\n100 h   0 min   0 sec\n");

    char small[12];
    render::format_information_text(small, sizeof small, render::InformationText{"A long title", "", "", 0.0f});
    EXPECT_STREQ(small, "A long titl");
}

TEST(InformationText, DrawnAtTheTopLeftInItsColour) {
    Overlay o;
    o.build_and_prepare();
    ASSERT_EQ(render::draw_information_text(*o.overlay, render::InformationText{"T", "", "", 0.0f}), platform::kOk);
    const ScreenVertex* v = o.vertices();
    EXPECT_FLOAT_EQ(v[1].x, 2.0f - 0.5f);
    EXPECT_FLOAT_EQ(v[1].y, -0.5f);
    EXPECT_EQ(v[1].colour, 0xFF828296u);
}

}  // namespace
