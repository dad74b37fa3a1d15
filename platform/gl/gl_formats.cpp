#include "platform/gl/gl_formats.h"

namespace platform::gl {

TextureFormat texture_format(Format format) {
    switch (format) {
        case kFormatA8R8G8B8: return {true, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, false};
        case kFormatX8R8G8B8: return {true, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, true};
        // 16-bit ARGB words: alpha in the top bits, blue in the bottom ones.
        case kFormatA4R4G4B4: return {true, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, false};
        case kFormatA1R5G5B5: return {true, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, false};
        case kFormatX1R5G5B5: return {true, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, true};
        case kFormatR5G6B5: return {true, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, true};
        default: return {false, 0, 0, 0, 0, false};
    }
}

GLenum depth_renderbuffer_format(Format depth_format) {
    switch (depth_format) {
        case kFormatD16: return GL_DEPTH_COMPONENT16;
        case kFormatD24X8: return GL_DEPTH_COMPONENT24;
        case kFormatD24S8: return GL_DEPTH24_STENCIL8;
        default: return 0;
    }
}

uint32_t vertices_for_primitives(PrimitiveType type, uint32_t primitive_count) {
    switch (static_cast<uint32_t>(type)) {
        case 1: return primitive_count;                                  // point list
        case 2: return primitive_count * 2;                              // line list
        case 3: return primitive_count == 0 ? 0 : primitive_count + 1;   // line strip
        case 4: return primitive_count * 3;                              // triangle list
        case 5:                                                          // triangle strip
        case 6: return primitive_count == 0 ? 0 : primitive_count + 2;   // triangle fan
        default: return 0;
    }
}

GLenum primitive_mode(PrimitiveType type) {
    switch (static_cast<uint32_t>(type)) {
        case 1: return GL_POINTS;
        case 2: return GL_LINES;
        case 3: return GL_LINE_STRIP;
        case 4: return GL_TRIANGLES;
        case 5: return GL_TRIANGLE_STRIP;
        case 6: return GL_TRIANGLE_FAN;
        default: return GL_NONE;
    }
}

VertexLayout vertex_layout(uint32_t fvf) {
    constexpr uint32_t kPositionMask = 0x00E;
    constexpr uint32_t kXyz = 0x002;
    constexpr uint32_t kXyzRhw = 0x004;
    constexpr uint32_t kNormal = 0x010;
    constexpr uint32_t kPointSize = 0x020;
    constexpr uint32_t kDiffuse = 0x040;
    constexpr uint32_t kSpecular = 0x080;
    constexpr uint32_t kKnownBits = kPositionMask | kNormal | kPointSize | kDiffuse | kSpecular | 0xF00;

    VertexLayout layout{false, false, -1, -1, -1, 0};
    const uint32_t position = fvf & kPositionMask;
    if ((fvf & ~kKnownBits) != 0 || (position != kXyz && position != kXyzRhw)) return layout;
    layout.pretransformed = position == kXyzRhw;
    uint32_t offset = layout.pretransformed ? 16 : 12;
    if (fvf & kNormal) {
        layout.normal_offset = static_cast<int32_t>(offset);
        offset += 12;
    }
    if (fvf & kPointSize) offset += 4;
    if (fvf & kDiffuse) {
        layout.colour_offset = static_cast<int32_t>(offset);
        offset += 4;
    }
    if (fvf & kSpecular) offset += 4;
    const uint32_t texture_pairs = (fvf >> 8) & 0xF;
    if (texture_pairs > 8) return layout;
    if (texture_pairs > 0) layout.texcoord_offset = static_cast<int32_t>(offset);
    offset += texture_pairs * 8;
    layout.size = offset;
    layout.valid = true;
    return layout;
}

GLenum compare_function(uint32_t value) {
    switch (value) {
        case 1: return GL_NEVER;
        case 2: return GL_LESS;
        case 3: return GL_EQUAL;
        case 4: return GL_LEQUAL;
        case 5: return GL_GREATER;
        case 6: return GL_NOTEQUAL;
        case 7: return GL_GEQUAL;
        default: return GL_ALWAYS;
    }
}

GLenum blend_factor(uint32_t value) {
    switch (value) {
        case 1: return GL_ZERO;
        case 2: return GL_ONE;
        case 3: return GL_SRC_COLOR;
        case 4: return GL_ONE_MINUS_SRC_COLOR;
        case 5: return GL_SRC_ALPHA;
        case 6: return GL_ONE_MINUS_SRC_ALPHA;
        case 7: return GL_DST_ALPHA;
        case 8: return GL_ONE_MINUS_DST_ALPHA;
        case 9: return GL_DST_COLOR;
        case 10: return GL_ONE_MINUS_DST_COLOR;
        case 11: return GL_SRC_ALPHA_SATURATE;
        default: return GL_ONE;
    }
}

}  // namespace platform::gl
