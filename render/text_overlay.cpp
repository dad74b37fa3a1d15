#include "render/text_overlay.h"

#include <cstring>

namespace render {

using platform::Result;

namespace {

constexpr int kPointsPerInch = 72;
constexpr int kWeightBold = 700;
constexpr int kWeightNormal = 400;
constexpr uint32_t kVertexBufferBytes = kTextVertexCapacity * sizeof(ScreenVertex);  // 8400
constexpr uint32_t kFlushVertices = 294;  // queued vertices beyond which the buffer is drawn: at 100 triangles
constexpr float kTextDepth = 0.9f;
constexpr float kPixelCentre = 0.5f;  // shift that puts texel centres on pixel centres

constexpr int kStandardDpi = 96;

// By the font's size in points at 96 pixels per inch, so that a display of
// more pixels per inch gets the room its larger glyphs need.
uint32_t atlas_side(int32_t standard_points) {
    if (standard_points > 40) return 1024;
    if (standard_points > 20) return 512;
    return 256;
}

// a * b / c rounded to the nearest integer, halves away from zero.
int32_t mul_div(int32_t a, int32_t b, int32_t c) {
    const int64_t product = static_cast<int64_t>(a) * b;
    const int64_t half = c / 2;
    return static_cast<int32_t>(product >= 0 ? (product + half) / c : (product - half) / c);
}

bool printable(char character) {
    const unsigned char c = static_cast<unsigned char>(character);
    return c >= kFirstGlyph && c <= kLastGlyph;
}

void put_vertex(ScreenVertex*& out, float x, float y, uint32_t colour, float u, float v) {
    *out++ = ScreenVertex{x, y, kTextDepth, 1.0f, colour, u, v};
}

// The atlas as the layout reads it.
struct AtlasMetrics {
    const GlyphBox* boxes;  // entry c - 32 for character c
    float width, height;    // texels
    float scale;            // the atlas's scale: glyphs are drawn enlarged by 1 / scale
};

// Where the next character of a text goes.
struct TextPen {
    float x, y;          // pixels: the top-left corner of the next character
    float line_start_x;  // pixels: where a line feed returns to
    float line_height;   // pixels
};

constexpr int kVerticesPerCharacter = 6;  // two triangles

// Lays out one character at the pen: writes its two triangles to `out`
// unless it draws nothing (a space, a line feed, a character outside the
// printable range), and moves the pen on. Returns the vertices written.
int lay_out_character(char character, TextPen& pen, const AtlasMetrics& atlas, uint32_t colour, ScreenVertex* out) {
    if (character == '\n') {
        pen.x = pen.line_start_x;
        pen.y += pen.line_height;
    }
    if (!printable(character)) return 0;

    const GlyphBox& g = atlas.boxes[static_cast<unsigned char>(character) - kFirstGlyph];
    const float w = (g.right - g.left) * atlas.width / atlas.scale;
    const float h = (g.bottom - g.top) * atlas.height / atlas.scale;
    int written = 0;
    if (character != ' ') {
        const float left = pen.x - kPixelCentre, right = pen.x + w - kPixelCentre;
        const float top = pen.y - kPixelCentre, bottom = pen.y + h - kPixelCentre;
        put_vertex(out, left, bottom, colour, g.left, g.bottom);
        put_vertex(out, left, top, colour, g.left, g.top);
        put_vertex(out, right, bottom, colour, g.right, g.bottom);
        put_vertex(out, right, top, colour, g.right, g.top);
        put_vertex(out, right, bottom, colour, g.right, g.bottom);
        put_vertex(out, left, top, colour, g.left, g.top);
        written = kVerticesPerCharacter;
    }
    pen.x += w;
    return written;
}

}  // namespace

TextOverlay::TextOverlay(const char* face, int32_t point_height, uint32_t style_flags,
                         platform::GlyphRasterizer* glyphs)
    : point_height_(point_height), style_flags_(style_flags), glyphs_(glyphs) {
    face_[0] = '\0';
    if (face != nullptr) {
        std::strncpy(face_, face, kFaceNameCapacity - 1);
        face_[kFaceNameCapacity - 1] = '\0';
    }
}

TextOverlay::~TextOverlay() {
    release_drawing_resources();
    release_glyph_texture();
}

GlyphBox TextOverlay::glyph_box(char character) const {
    if (!printable(character)) return GlyphBox{0.0f, 0.0f, 0.0f, 0.0f};
    return glyph_boxes_[static_cast<unsigned char>(character) - kFirstGlyph];
}

Result TextOverlay::build_glyph_texture(platform::GraphicsDevice* device) {
    // A second build without a release in between replaces the old atlas.
    if (texture_ != nullptr) {
        texture_->release();
        texture_ = nullptr;
    }
    device_ = device;
    text_scale_ = 1.0f;
    if (device_ == nullptr) return platform::kFail;

    const int32_t dpi = display_dpi_ > 0 ? display_dpi_ : (glyphs_ != nullptr ? glyphs_->vertical_dpi() : kStandardDpi);
    const uint32_t side = atlas_side(mul_div(point_height_, dpi, kStandardDpi));
    texture_width_ = texture_height_ = side;
    platform::DeviceCaps caps{};
    const Result caps_result = device_->get_device_caps(caps);
    if (platform::failed(caps_result)) return caps_result;
    if (caps.max_texture_width < side) {
        text_scale_ = static_cast<float>(caps.max_texture_width) / static_cast<float>(side);
        texture_width_ = texture_height_ = caps.max_texture_width;
    }

    const Result created = device_->create_texture(texture_width_, texture_height_, 1, 0, platform::kFormatA4R4G4B4,
                                                   platform::kPoolManaged, &texture_);
    if (platform::failed(created)) {
        texture_ = nullptr;
        return created;
    }

    Result result = pack_glyphs();
    if (platform::succeeded(result)) {
        result = fill_atlas_texture();
    }
    if (glyphs_ != nullptr) glyphs_->destroy();
    if (platform::failed(result)) {
        // An atlas without its glyphs would draw nothing but empty boxes.
        texture_->release();
        texture_ = nullptr;
        return result;
    }
    return platform::kOk;
}

Result TextOverlay::pack_glyphs() {
    if (glyphs_ == nullptr) return platform::kFail;
    const int32_t width = static_cast<int32_t>(texture_width_);
    const int32_t height = static_cast<int32_t>(texture_height_);
    if (platform::failed(glyphs_->create_bitmap(width, height))) return platform::kFail;

    // The font is rasterised at the atlas's scale, so a shrunken atlas holds
    // smaller glyphs that are drawn enlarged.
    const int32_t dpi = display_dpi_ > 0 ? display_dpi_ : glyphs_->vertical_dpi();
    const int32_t scaled_dpi = static_cast<int32_t>(static_cast<float>(dpi) * text_scale_);
    const int32_t font_height = -mul_div(point_height_, scaled_dpi, kPointsPerInch);
    const int32_t weight = (style_flags_ & kTextBold) != 0 ? kWeightBold : kWeightNormal;
    if (platform::failed(glyphs_->create_font(face_, font_height, weight, (style_flags_ & kTextItalic) != 0))) {
        return platform::kFail;
    }

    // Rows are filled from the top. A character that no longer fits in the
    // atlas (too wide, or below its bottom edge) is left out with an empty box.
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    int32_t x = 0;
    int32_t y = 0;
    for (int c = 0; c < kGlyphSlots; ++c) glyph_boxes_[c] = GlyphBox{0.0f, 0.0f, 0.0f, 0.0f};
    for (int code = kFirstGlyph; code <= kLastGlyph; ++code) {
        const char character = static_cast<char>(code);
        const platform::GlyphExtent extent = glyphs_->measure(character);
        if (x + extent.width + 1 > width) {
            x = 0;
            y += extent.height + 1;
        }
        const bool fits =
            extent.width >= 0 && extent.height >= 0 && x + extent.width <= width && y + extent.height <= height;
        if (!fits) continue;
        glyphs_->draw(character, x, y);
        glyph_boxes_[code - kFirstGlyph] =
            GlyphBox{static_cast<float>(x) / w, static_cast<float>(y) / h, static_cast<float>(x + extent.width) / w,
                     static_cast<float>(y + extent.height) / h};
        x += extent.width + 1;
    }
    return platform::kOk;
}

Result TextOverlay::fill_atlas_texture() {
    const uint32_t* pixels = glyphs_->pixels();
    if (pixels == nullptr) return platform::kFail;
    platform::LockedRect locked{};
    const Result lock_result = texture_->lock_rect(0, locked, 0);
    if (platform::failed(lock_result)) return lock_result;
    // White with a 4-bit alpha: the top four bits of the coverage (read from
    // the blue channel); no coverage is fully transparent black.
    for (uint32_t row = 0; row < texture_height_; ++row) {
        uint16_t* texels = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(locked.bits) + row * locked.pitch);
        const uint32_t* source = pixels + static_cast<size_t>(row) * texture_width_;
        for (uint32_t column = 0; column < texture_width_; ++column) {
            const uint16_t alpha = static_cast<uint16_t>((source[column] & 0xFFu) >> 4);
            texels[column] = alpha == 0 ? uint16_t{0} : static_cast<uint16_t>((alpha << 12) + 0x0FFF);
        }
    }
    return texture_->unlock_rect(0);
}

Result TextOverlay::prepare_for_drawing() {
    if (device_ == nullptr) return platform::kFail;
    release_drawing_resources();
    const Result created =
        device_->create_vertex_buffer(kVertexBufferBytes, platform::kUsageWriteOnly | platform::kUsageDynamic, 0,
                                      platform::kPoolDefault, &vertex_buffer_);
    if (platform::failed(created)) {
        vertex_buffer_ = nullptr;
        return created;
    }
    // Two blocks with identical contents: one keeps the caller's values of
    // these states while text is drawn, the other sets the text's.
    Result result = record_drawing_state(&saved_state_);
    if (platform::succeeded(result)) {
        result = record_drawing_state(&drawing_state_);
    }
    return result;
}

Result TextOverlay::record_drawing_state(uint32_t* handle) {
    using platform::RenderState;
    using platform::TextureStageState;
    platform::GraphicsDevice& d = *device_;
    Result result = d.begin_state_block();
    if (platform::failed(result)) return result;

    d.set_texture(0, texture_);
    d.set_render_state(RenderState::ZEnable, (style_flags_ & kTextDepthTest) != 0 ? 1u : 0u);
    d.set_render_state(RenderState::AlphaBlendEnable, 1);
    d.set_render_state(RenderState::SrcBlend, platform::kBlendSourceAlpha);
    d.set_render_state(RenderState::DestBlend, platform::kBlendInverseSourceAlpha);
    d.set_render_state(RenderState::AlphaTestEnable, 1);
    d.set_render_state(RenderState::AlphaRef, 8);
    d.set_render_state(RenderState::AlphaFunc, platform::kCompareGreaterEqual);
    d.set_render_state(RenderState::FillMode, platform::kFillSolid);
    d.set_render_state(RenderState::CullMode, platform::kCullCounterClockwise);
    d.set_render_state(RenderState::StencilEnable, 0);
    d.set_render_state(RenderState::Clipping, 1);
    d.set_render_state(RenderState::EdgeAntialias, 0);
    d.set_render_state(RenderState::ClipPlaneEnable, 0);
    d.set_render_state(RenderState::VertexBlend, 0);
    d.set_render_state(RenderState::IndexedVertexBlendEnable, 0);
    d.set_render_state(RenderState::FogEnable, 0);
    d.set_texture_stage_state(0, TextureStageState::ColorOp, platform::kTextureOpModulate);
    d.set_texture_stage_state(0, TextureStageState::ColorArg1, platform::kTextureArgTexture);
    d.set_texture_stage_state(0, TextureStageState::ColorArg2, platform::kTextureArgDiffuse);
    d.set_texture_stage_state(0, TextureStageState::AlphaOp, platform::kTextureOpModulate);
    d.set_texture_stage_state(0, TextureStageState::AlphaArg1, platform::kTextureArgTexture);
    d.set_texture_stage_state(0, TextureStageState::AlphaArg2, platform::kTextureArgDiffuse);
    d.set_texture_stage_state(0, TextureStageState::MinFilter, platform::kFilterPoint);
    d.set_texture_stage_state(0, TextureStageState::MagFilter, platform::kFilterPoint);
    d.set_texture_stage_state(0, TextureStageState::MipFilter, platform::kFilterNone);
    d.set_texture_stage_state(0, TextureStageState::TexCoordIndex, 0);
    d.set_texture_stage_state(0, TextureStageState::TextureTransformFlags, 0);
    d.set_texture_stage_state(1, TextureStageState::ColorOp, platform::kTextureOpDisable);
    d.set_texture_stage_state(1, TextureStageState::AlphaOp, platform::kTextureOpDisable);

    result = d.end_state_block(handle);
    if (platform::failed(result)) *handle = 0;
    return result;
}

Result TextOverlay::release_drawing_resources() {
    if (vertex_buffer_ != nullptr) {
        vertex_buffer_->release();
        vertex_buffer_ = nullptr;
    }
    if (device_ != nullptr) {
        if (saved_state_ != 0) device_->delete_state_block(saved_state_);
        if (drawing_state_ != 0) device_->delete_state_block(drawing_state_);
    }
    saved_state_ = 0;
    drawing_state_ = 0;
    return platform::kOk;
}

Result TextOverlay::release_glyph_texture() {
    if (texture_ != nullptr) {
        texture_->release();
        texture_ = nullptr;
    }
    device_ = nullptr;
    return platform::kOk;
}

Result TextOverlay::flush_vertices(ScreenVertex*& out, uint32_t& triangles) {
    vertex_buffer_->unlock();
    device_->draw_primitive(platform::PrimitiveType::TriangleList, 0, triangles);
    triangles = 0;
    void* mapped = nullptr;
    const Result result = vertex_buffer_->lock(0, 0, &mapped, platform::kLockDiscard);
    out = static_cast<ScreenVertex*>(mapped);
    return result;
}

Result TextOverlay::draw_text(float x, float y, uint32_t colour, const char* text, uint32_t flags) {
    if (device_ == nullptr) return platform::kFail;
    // Without all of its resources the overlay draws nothing rather than
    // writing through a missing buffer or drawing untextured boxes.
    if (texture_ == nullptr || vertex_buffer_ == nullptr || saved_state_ == 0 || drawing_state_ == 0 ||
        text == nullptr) {
        return platform::kFail;
    }
    platform::GraphicsDevice& d = *device_;
    d.capture_state_block(saved_state_);
    d.apply_state_block(drawing_state_);
    d.set_vertex_shader(platform::kFvfScreenVertex);
    d.set_pixel_shader(0);
    d.set_stream_source(0, vertex_buffer_, sizeof(ScreenVertex));
    if ((flags & kDrawTextLinearFilter) != 0) {
        d.set_texture_stage_state(0, platform::TextureStageState::MinFilter, platform::kFilterLinear);
        d.set_texture_stage_state(0, platform::TextureStageState::MagFilter, platform::kFilterLinear);
    }

    const AtlasMetrics atlas{glyph_boxes_, static_cast<float>(texture_width_), static_cast<float>(texture_height_),
                             text_scale_};
    // Lines are as tall as the glyphs are drawn, at any atlas scale.
    const GlyphBox& space = glyph_boxes_[0];
    TextPen pen{x, y, x, (space.bottom - space.top) * atlas.height / text_scale_};

    void* mapped = nullptr;
    Result result = vertex_buffer_->lock(0, 0, &mapped, platform::kLockDiscard);
    ScreenVertex* out = static_cast<ScreenVertex*>(mapped);
    uint32_t triangles = 0;
    for (const char* p = text; platform::succeeded(result) && *p != '\0'; ++p) {
        const int written = lay_out_character(*p, pen, atlas, colour, out);
        if (written == 0) continue;
        out += written;
        triangles += static_cast<uint32_t>(written / 3);
        if (triangles * 3 > kFlushVertices) result = flush_vertices(out, triangles);
    }
    if (platform::succeeded(result)) {
        vertex_buffer_->unlock();
        if (triangles > 0) {
            d.draw_primitive(platform::PrimitiveType::TriangleList, 0, triangles);
        }
    }
    d.apply_state_block(saved_state_);
    return result;
}

}  // namespace render
