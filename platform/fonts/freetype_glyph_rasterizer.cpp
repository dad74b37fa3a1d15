#include "platform/fonts/freetype_glyph_rasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>

#include "platform/fonts/font_match.h"

namespace platform {

namespace {

constexpr int32_t kDefaultDpi = 96;
constexpr int32_t kMaxBitmapSide = 16384;  // pixels
constexpr int32_t kMaxPixelHeight = 2048;  // font sizes beyond this are refused

int32_t pixels_from_26_6(FT_Pos value) { return static_cast<int32_t>((value + 32) >> 6); }

}  // namespace

FreeTypeGlyphRasterizer::FreeTypeGlyphRasterizer(int32_t display_dpi) : display_dpi_(display_dpi) {}

FreeTypeGlyphRasterizer::~FreeTypeGlyphRasterizer() {
    destroy();
    if (library_ != nullptr) FT_Done_FreeType(library_);
    if (font_config_ != nullptr) FcConfigDestroy(font_config_);
}

int32_t FreeTypeGlyphRasterizer::vertical_dpi() { return display_dpi_ > 0 ? display_dpi_ : kDefaultDpi; }

Result FreeTypeGlyphRasterizer::create_bitmap(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) return kFail;
    bitmap_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    bitmap_width_ = width;
    bitmap_height_ = height;
    return kOk;
}

Result FreeTypeGlyphRasterizer::create_font(const char* face, int32_t height, int32_t weight, bool italic) {
    release_face();
    if (face == nullptr || height == 0) return kFail;
    if (library_ == nullptr && FT_Init_FreeType(&library_) != 0) {
        library_ = nullptr;
        return kFail;
    }
    // A configuration of our own rather than fontconfig's process-wide one,
    // so that everything it loads is freed with the rasteriser.
    if (font_config_ == nullptr) {
        font_config_ = FcInitLoadConfigAndFonts();
        if (font_config_ == nullptr) return kFail;
    }
    int index = 0;
    if (!match_font_file(font_config_, face, weight, italic, font_file_, sizeof font_file_, index)) return kFail;
    if (FT_New_Face(library_, font_file_, index, &face_) != 0) {
        face_ = nullptr;
        return kFail;
    }

    // A negative height is the character (em) height; a positive one the
    // whole cell, ascent plus descent.
    int64_t em_pixels = height < 0 ? -static_cast<int64_t>(height) : height;
    if (height > 0 && FT_IS_SCALABLE(face_) && face_->ascender - face_->descender > 0) {
        em_pixels = em_pixels * face_->units_per_EM / (face_->ascender - face_->descender);
    }
    if (em_pixels <= 0 || em_pixels > kMaxPixelHeight ||
        FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(em_pixels)) != 0) {
        release_face();
        return kFail;
    }
    // FreeType rounds the scaled ascender up and the descender down.
    ascent_ = pixels_from_26_6(face_->size->metrics.ascender);
    line_height_ = ascent_ - pixels_from_26_6(face_->size->metrics.descender);
    return kOk;
}

GlyphExtent FreeTypeGlyphRasterizer::measure(char character) {
    if (face_ == nullptr) return GlyphExtent{0, 0};
    if (FT_Load_Char(face_, static_cast<unsigned char>(character), FT_LOAD_DEFAULT) != 0) {
        return GlyphExtent{0, line_height_};
    }
    return GlyphExtent{pixels_from_26_6(face_->glyph->advance.x), line_height_};
}

void FreeTypeGlyphRasterizer::draw(char character, int32_t x, int32_t y) {
    if (face_ == nullptr || bitmap_.empty()) return;
    if (FT_Load_Char(face_, static_cast<unsigned char>(character), FT_LOAD_RENDER) != 0) return;
    const FT_GlyphSlot slot = face_->glyph;
    const int32_t width = pixels_from_26_6(slot->advance.x);

    // Opaque: the character's cell is painted black first. Ink is kept
    // inside the cell so that neighbouring characters never overlap.
    const int32_t cell_left = x < 0 ? 0 : x;
    const int32_t cell_top = y < 0 ? 0 : y;
    const int32_t cell_right = x + width < bitmap_width_ ? x + width : bitmap_width_;
    const int32_t cell_bottom = y + line_height_ < bitmap_height_ ? y + line_height_ : bitmap_height_;
    for (int32_t row = cell_top; row < cell_bottom; ++row) {
        for (int32_t column = cell_left; column < cell_right; ++column) {
            bitmap_[static_cast<size_t>(row) * bitmap_width_ + column] = 0u;
        }
    }

    const FT_Bitmap& glyph = slot->bitmap;
    const int32_t origin_x = x + slot->bitmap_left;
    const int32_t origin_y = y + ascent_ - slot->bitmap_top;
    for (uint32_t gy = 0; gy < glyph.rows; ++gy) {
        const int32_t row = origin_y + static_cast<int32_t>(gy);
        if (row < cell_top || row >= cell_bottom) continue;
        const unsigned char* source = glyph.buffer + static_cast<ptrdiff_t>(gy) * glyph.pitch;
        for (uint32_t gx = 0; gx < glyph.width; ++gx) {
            const int32_t column = origin_x + static_cast<int32_t>(gx);
            if (column < cell_left || column >= cell_right) continue;
            uint32_t level = 0;
            if (glyph.pixel_mode == FT_PIXEL_MODE_GRAY) {
                level = glyph.num_grays > 1 ? source[gx] * 255u / (glyph.num_grays - 1u) : 0u;
            } else if (glyph.pixel_mode == FT_PIXEL_MODE_MONO) {
                level = (source[gx >> 3] & (0x80u >> (gx & 7))) != 0 ? 255u : 0u;
            }
            bitmap_[static_cast<size_t>(row) * bitmap_width_ + column] = level | level << 8 | level << 16;
        }
    }
}

const uint32_t* FreeTypeGlyphRasterizer::pixels() { return bitmap_.empty() ? nullptr : bitmap_.data(); }

void FreeTypeGlyphRasterizer::destroy() {
    release_face();
    bitmap_.clear();
    bitmap_.shrink_to_fit();
    bitmap_width_ = bitmap_height_ = 0;
}

void FreeTypeGlyphRasterizer::release_face() {
    if (face_ != nullptr) FT_Done_Face(face_);
    face_ = nullptr;
    ascent_ = line_height_ = 0;
}

}  // namespace platform
