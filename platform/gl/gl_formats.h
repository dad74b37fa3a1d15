// How the surface formats and vertex formats of the graphics interfaces
// map onto OpenGL: texture upload formats, depth buffers, primitive
// counts and the layout of a flexible vertex format. Which formats exist
// at all is surface_formats.h's answer; these name the same ones.
#pragma once

#include "platform/gl/gl_api.h"

#include <cstdint>

#include "platform/gl/surface_formats.h"
#include "platform/graphics_types.h"

namespace platform::gl {

struct TextureFormat {
    bool supported;
    GLenum internal_format;
    GLenum upload_format;
    GLenum upload_type;
    uint32_t bytes_per_texel;
    bool opaque;  // the format has no alpha: sampling returns alpha 1
};

TextureFormat texture_format(Format format);

// The renderbuffer format of a depth format; 0 when the device has none.
GLenum depth_renderbuffer_format(Format depth_format);

// Vertices used by `primitive_count` primitives; 0 for an unknown type.
uint32_t vertices_for_primitives(PrimitiveType type, uint32_t primitive_count);
GLenum primitive_mode(PrimitiveType type);

// Byte offsets of the parts of a flexible vertex format (-1: absent).
struct VertexLayout {
    bool valid;
    bool pretransformed;  // x, y in pixels, z, rhw
    int32_t normal_offset;
    int32_t colour_offset;    // 0xAARRGGBB
    int32_t texcoord_offset;  // first texture pair
    uint32_t size;            // bytes per vertex
};

VertexLayout vertex_layout(uint32_t fvf);

GLenum compare_function(uint32_t value);
GLenum blend_factor(uint32_t value);

}  // namespace platform::gl
