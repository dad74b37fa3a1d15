// Text drawn in screen pixels over the 3D picture. The printable ASCII
// characters of one font are rasterised once into a texture atlas; each
// draw_text call then draws its text as alpha-tested textured quads from one
// dynamic vertex buffer, switching the device state with two prerecorded
// state blocks.
#pragma once

#include <cstdint>

#include "platform/glyph_rasterizer.h"
#include "platform/graphics_device.h"
#include "platform/result.h"

namespace render {

// Style flags of the overlay.
inline constexpr uint32_t kTextBold = 1;
inline constexpr uint32_t kTextItalic = 2;
inline constexpr uint32_t kTextDepthTest = 4;  // depth test on while drawing

// draw_text flags.
inline constexpr uint32_t kDrawTextLinearFilter = 4;

inline constexpr int kFirstGlyph = 32;           // space
inline constexpr int kLastGlyph = 126;           // '~'
inline constexpr int kGlyphSlots = 96;           // codes 32 ... 127
inline constexpr int kTextVertexCapacity = 300;  // vertices of the dynamic buffer: 50 characters
inline constexpr int kFaceNameCapacity = 80;

// A vertex already in screen space: position in pixels with depth and
// reciprocal w, a colour and one texture coordinate pair.
struct ScreenVertex {
    float x, y;       // pixels, top-left origin
    float z;          // depth, 0..1
    float rhw;        // reciprocal w
    uint32_t colour;  // 0xAARRGGBB
    float u, v;       // atlas coordinates, 0..1
};
static_assert(sizeof(ScreenVertex) == 28, "the device reads 28-byte screen vertices");

// Where a character lies in the atlas, in texture coordinates (0..1).
struct GlyphBox {
    float left, top, right, bottom;
};

class TextOverlay {
public:
    // `glyphs` rasterises the font; it is not owned and may be null, in
    // which case the atlas cannot be built.
    TextOverlay(const char* face, int32_t point_height, uint32_t style_flags, platform::GlyphRasterizer* glyphs);
    ~TextOverlay();
    TextOverlay(const TextOverlay&) = delete;
    TextOverlay& operator=(const TextOverlay&) = delete;

    // The pixels per inch the text is drawn for (the monitor's); 0, the
    // default, takes the rasteriser's own. Used by the next build.
    void set_display_dpi(int32_t dpi) { display_dpi_ = dpi > 0 ? dpi : 0; }

    // After each device creation: rasterises the font into the atlas texture
    // (managed, so it survives device resets).
    platform::Result build_glyph_texture(platform::GraphicsDevice* device);
    // After creation and every reset: the vertex buffer and the state blocks.
    platform::Result prepare_for_drawing();
    // Before every reset and at device destruction.
    platform::Result release_drawing_resources();
    // At device destruction: the atlas; forgets the device.
    platform::Result release_glyph_texture();

    // Draws the zero-terminated text with its top-left corner at pixel
    // (x, y). A line feed returns to x and moves down one line; other
    // characters outside the printable ASCII range draw nothing. The
    // device's state is restored afterwards.
    platform::Result draw_text(float x, float y, uint32_t colour, const char* text, uint32_t flags);

    uint32_t texture_width() const { return texture_width_; }
    uint32_t texture_height() const { return texture_height_; }
    float text_scale() const { return text_scale_; }
    // The atlas box of a printable character; an empty box for any other.
    GlyphBox glyph_box(char character) const;

private:
    platform::Result pack_glyphs();
    platform::Result fill_atlas_texture();
    platform::Result record_drawing_state(uint32_t* handle);
    // Draws the triangles queued in the vertex buffer and locks it afresh,
    // `out` at its start.
    platform::Result flush_vertices(ScreenVertex*& out, uint32_t& triangles);

    char face_[kFaceNameCapacity];                     // font face name
    int32_t point_height_;                             // font size, points
    int32_t display_dpi_ = 0;                          // pixels per inch; 0: the rasteriser's own
    uint32_t style_flags_;                             // kText* bits
    platform::GlyphRasterizer* glyphs_;                // not owned
    platform::GraphicsDevice* device_ = nullptr;       // not owned; set while the atlas exists
    platform::Texture* texture_ = nullptr;             // the atlas, A4R4G4B4
    platform::VertexBuffer* vertex_buffer_ = nullptr;  // kTextVertexCapacity screen vertices
    uint32_t texture_width_ = 0;                       // texels
    uint32_t texture_height_ = 0;                      // texels
    float text_scale_ = 1.0f;                          // below 1 when the atlas had to shrink
    GlyphBox glyph_boxes_[kGlyphSlots] = {};           // entry c - 32 for character c
    uint32_t saved_state_ = 0;                         // state block: the caller's state; 0 when absent
    uint32_t drawing_state_ = 0;                       // state block: the text's state; 0 when absent
};

}  // namespace render
