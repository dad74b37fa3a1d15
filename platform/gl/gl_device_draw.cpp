// Drawing: indexed primitives from memory, primitives from a vertex
// buffer, and clearing. Every draw first brings OpenGL up to the device's
// state (fixed_function_state.h); what is drawn from memory goes through
// the device's rings (stream_ring.h).
#include "platform/gl/gl_device.h"

#include <algorithm>

namespace platform::gl {

bool GlDevice::prepare_draw(const VertexLayout& layout) {
    if (!make_current()) return false;
    const GLuint program = choose_program(programs_, state_, layout);
    if (applied_.program != program) {
        glUseProgram(program);
        applied_.program = program;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, frame_target());
    if (raster_dirty_ || !applied_.valid) {
        apply_raster_state(state_, back_.has_depth, applied_);
        raster_dirty_ = false;
    }
    const int32_t vertex_colour = layout.colour_offset >= 0 ? 1 : 0;
    if (vertex_colour != vertex_colour_switch_) {
        vertex_colour_switch_ = vertex_colour;
        uniforms_dirty_ = true;
    }
    if (uniforms_dirty_) {
        fill_fixed_function_block(state_, layout, BlockTarget{back_.width, back_.height, !setup_.limits.clip_control},
                                  block_);
        // Each change of the block takes a fresh slice of the uniform ring,
        // so a draw never waits for, or copies, the slice an earlier draw reads.
        const uint32_t offset =
            append_stream(GL_UNIFORM_BUFFER, stream_uniforms_, &block_, sizeof block_, uniform_alignment_);
        glBindBufferRange(GL_UNIFORM_BUFFER, kFixedFunctionBinding, stream_uniforms_.buffer, offset, sizeof block_);
        uniforms_dirty_ = false;
    }
    // Texture uploads rebind GL_TEXTURE_2D, so the binding is set every time.
    glBindTexture(GL_TEXTURE_2D, state_.textures[0] != nullptr ? state_.textures[0]->name() : 0);
    if (sampler_dirty_) {
        apply_sampler_state(sampler_, state_);
        sampler_dirty_ = false;
    }
    return true;
}

uint32_t GlDevice::append_stream(GLenum target, StreamRing& ring, const void* data, uint32_t bytes,
                                 uint32_t alignment) {
    // A mapped ring too small for `bytes` is replaced by another buffer:
    // the attribute pointers into it are set again.
    if (ring.mapped != nullptr && bytes > ring.capacity) applied_.attribute_buffer = 0;
    return append_to_ring(target, ring, data, bytes, alignment);
}

Result GlDevice::draw_indexed_primitive_up(PrimitiveType type, uint32_t min_vertex_index, uint32_t vertex_count,
                                           uint32_t primitive_count, const void* indices, Format index_format,
                                           const void* vertices, uint32_t stride) {
    const VertexLayout layout = vertex_layout(state_.fvf);
    const uint32_t index_count = vertices_for_primitives(type, primitive_count);
    const uint32_t index_bytes = index_size(index_format);
    if (!layout.valid || index_count == 0 || index_bytes == 0 || indices == nullptr || vertices == nullptr ||
        vertex_count == 0 || stride < layout.size || indices_per_batch(type) == 0) {
        return kInvalidCall;
    }
    // Indices outside the vertices given would have the driver read
    // vertices that were never copied: such a draw is refused.
    const IndexBounds bounds = index_bounds(indices, index_count, index_bytes);
    if (bounds.lowest < min_vertex_index || bounds.highest - min_vertex_index >= vertex_count) return kInvalidCall;
    // Drawing from memory leaves stream 0 unset afterwards.
    store_stream(state_.stream, nullptr);
    state_.stream_stride = 0;
    if (context_lost_) return kOk;
    if (!prepare_draw(layout)) return kFail;
    const auto* first_vertex = static_cast<const uint8_t*>(vertices) + static_cast<size_t>(min_vertex_index) * stride;
    // Vertices start at a whole number of strides into the ring, so the
    // attribute pointers stay put and the base vertex finds the draw's data.
    const uint32_t vertex_offset =
        append_stream(GL_ARRAY_BUFFER, stream_vertices_, first_vertex, vertex_count * stride, stride);
    point_attributes(stream_vertices_.buffer, layout, state_.fvf, stride, 0, applied_);
    // Index value i names ring vertex `base_vertex + i`.
    const GLint base_vertex = static_cast<GLint>(vertex_offset / stride) - static_cast<GLint>(min_vertex_index);
    const GLenum index_type = index_bytes == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
    // Batches in the draw's order, the same primitives: each batch's
    // indices rebased to start at 0, its base vertex moved to match.
    const uint32_t per_batch = indices_per_batch(type);
    for (uint32_t first = 0; first < index_count; first += per_batch) {
        const uint32_t count = std::min(per_batch, index_count - first);
        const auto* batch = static_cast<const uint8_t*>(indices) + static_cast<size_t>(first) * index_bytes;
        const IndexBounds range = index_bounds(batch, count, index_bytes);
        rebase_indices(batch, count, index_bytes, range.lowest, batch_indices_);
        const uint32_t index_offset =
            append_stream(GL_ELEMENT_ARRAY_BUFFER, stream_indices_, batch_indices_, count * index_bytes, index_bytes);
        glDrawRangeElementsBaseVertex(primitive_mode(type), 0, range.highest - range.lowest,
                                      static_cast<GLsizei>(count), index_type,
                                      reinterpret_cast<const void*>(static_cast<uintptr_t>(index_offset)),
                                      base_vertex + static_cast<GLint>(range.lowest));
    }
    return kOk;
}

Result GlDevice::draw_primitive(PrimitiveType type, uint32_t start_vertex, uint32_t primitive_count) {
    const VertexLayout layout = vertex_layout(state_.fvf);
    const uint32_t vertex_count = vertices_for_primitives(type, primitive_count);
    GlVertexBuffer* buffer = state_.stream;
    const uint32_t stride = state_.stream_stride;
    if (!layout.valid || vertex_count == 0 || buffer == nullptr || stride < layout.size) return kInvalidCall;
    if (static_cast<uint64_t>(start_vertex + vertex_count) * stride > buffer->length()) return kInvalidCall;
    if (context_lost_) return kOk;
    if (!prepare_draw(layout)) return kFail;
    if (buffer->streamed()) {
        // Rewritten every frame: the vertices drawn go through the vertex
        // ring like those drawn from memory, instead of replacing the
        // buffer's storage at each unlock.
        const uint32_t offset = append_stream(GL_ARRAY_BUFFER, stream_vertices_,
                                              buffer->contents() + static_cast<size_t>(start_vertex) * stride,
                                              vertex_count * stride, stride);
        point_attributes(stream_vertices_.buffer, layout, state_.fvf, stride, 0, applied_);
        glDrawArrays(primitive_mode(type), static_cast<GLint>(offset / stride), static_cast<GLsizei>(vertex_count));
        return kOk;
    }
    point_attributes(buffer->name(), layout, state_.fvf, stride, 0, applied_);
    glDrawArrays(primitive_mode(type), static_cast<GLint>(start_vertex), static_cast<GLsizei>(vertex_count));
    return kOk;
}

Result GlDevice::clear(uint32_t count, const void* rects, uint32_t flags, uint32_t colour, float z, uint32_t stencil) {
    if ((flags & (kClearZBuffer | kClearStencil)) != 0 && !back_.has_depth) return kInvalidCall;
    if ((flags & kClearStencil) != 0 && !back_.has_stencil) return kInvalidCall;
    if (count > 0 && rects == nullptr) return kInvalidCall;
    if (context_lost_) return kOk;
    if (!make_current()) return kFail;
    glBindFramebuffer(GL_FRAMEBUFFER, frame_target());
    GLbitfield mask = 0;
    if (flags & kClearTarget) {
        float c[4];
        colour_from_argb(colour, c);
        glClearColor(c[0], c[1], c[2], c[3]);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & kClearZBuffer) {
        glClearDepth(z);
        glDepthMask(GL_TRUE);  // a clear writes depth whatever the write switch says
        applied_.depth_write = true;
        raster_dirty_ = true;
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & kClearStencil) {
        glClearStencil(static_cast<GLint>(stencil));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    if (mask == 0) return kOk;
    if (count == 0) {
        glClear(mask);
        return kOk;
    }
    // Rectangles are x1, y1, x2, y2 from the top-left corner.
    const auto* r = static_cast<const int32_t*>(rects);
    glEnable(GL_SCISSOR_TEST);
    for (uint32_t i = 0; i < count; ++i, r += 4) {
        const int32_t x1 = r[0], y1 = r[1], x2 = r[2], y2 = r[3];
        if (x2 <= x1 || y2 <= y1) continue;
        glScissor(x1, static_cast<GLint>(back_.height) - y2, x2 - x1, y2 - y1);
        glClear(mask);
    }
    glDisable(GL_SCISSOR_TEST);
    return kOk;
}

Result GlDevice::begin_scene() {
    if (in_scene_) return kInvalidCall;
    in_scene_ = true;
    return kOk;
}

Result GlDevice::end_scene() {
    if (!in_scene_) return kInvalidCall;
    in_scene_ = false;
    return kOk;
}

}  // namespace platform::gl
