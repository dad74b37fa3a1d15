// The device's fixed-function state as OpenGL takes it for a draw: the
// program, the uniform block the shaders read, the raster state (depth,
// blending, culling, fill), the sampler and the vertex attribute pointers.
// What OpenGL has now is kept in AppliedState, so that unchanged state is
// not sent again.
#pragma once

#include "platform/gl/gl_api.h"

#include <cstdint>

#include "platform/gl/device_state.h"
#include "platform/gl/fixed_function_program.h"
#include "platform/gl/gl_formats.h"

namespace platform::gl {

// What OpenGL has now; `valid` false: nothing is known, everything is sent.
struct AppliedState {
    GLuint program;
    GLuint attribute_buffer;
    uint32_t attribute_fvf;
    uint32_t attribute_stride;   // bytes
    uintptr_t attribute_offset;  // bytes into attribute_buffer
    bool depth_test, depth_write, blend, cull;
    GLenum depth_function, blend_source, blend_destination, cull_face, polygon_mode;
    bool valid;
};

// The render target a uniform block is filled for.
struct BlockTarget {
    uint32_t width, height;  // pixels
    bool remap_depth;        // the driver's depth range is -1..1 (no clip control)
};

// The program that draws `layout` vertices in `state`.
GLuint choose_program(const FixedFunctionPrograms& programs, const DeviceState& state, const VertexLayout& layout);

// The uniform block for a draw of `layout` vertices in `state` into `target`.
void fill_fixed_function_block(const DeviceState& state, const VertexLayout& layout, const BlockTarget& target,
                               FixedFunctionBlock& block);

// Sends the raster state of `state` that OpenGL does not have yet (all of
// it while `applied` is not valid); depth testing needs a depth buffer.
void apply_raster_state(const DeviceState& state, bool has_depth_buffer, AppliedState& applied);

// Sets `sampler`'s filters and address modes from texture stage 0.
void apply_sampler_state(GLuint sampler, const DeviceState& state);

// Points the vertex attributes at vertices of `fvf`'s `layout`, `stride`
// bytes apart from `offset` in `buffer`, unless they already are.
void point_attributes(GLuint buffer, const VertexLayout& layout, uint32_t fvf, uint32_t stride, uintptr_t offset,
                      AppliedState& applied);

// A 0xAARRGGBB colour as red, green, blue and alpha in 0..1.
void colour_from_argb(uint32_t argb, float out[4]);

}  // namespace platform::gl
