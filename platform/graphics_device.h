// The 3D device: the subset of device operations the program calls, with
// the same result codes (negative is failure). A device is reference
// counted; release() returns the references that remain.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"
#include "platform/result.h"

namespace platform {

class Texture {
public:
    virtual Result lock_rect(uint32_t level, LockedRect& locked, uint32_t flags) = 0;
    virtual Result unlock_rect(uint32_t level) = 0;
    virtual uint32_t release() = 0;  // remaining references

protected:
    virtual ~Texture() = default;
};

class VertexBuffer {
public:
    // Maps `size` bytes from `offset` (0 and 0: the whole buffer).
    virtual Result lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) = 0;
    virtual Result unlock() = 0;
    virtual uint32_t release() = 0;  // remaining references

protected:
    virtual ~VertexBuffer() = default;
};

class GraphicsDevice {
public:
    // kOk, kDeviceLost (skip frames) or kDeviceNotReset (reset now).
    virtual Result test_cooperative_level() = 0;
    virtual Result get_device_caps(DeviceCaps& caps) = 0;
    virtual Result reset(PresentParams& params) = 0;
    // Shows the back buffer; paces to the display so a frame loop never spins.
    virtual Result present() = 0;
    // Description of back buffer 0.
    virtual Result get_back_buffer_desc(SurfaceDesc& desc) = 0;
    virtual void set_cursor_position(int32_t x, int32_t y, uint32_t flags) = 0;
    virtual bool show_cursor(bool show) = 0;

    virtual Result set_render_state(RenderState state, uint32_t value) = 0;
    virtual Result set_texture_stage_state(uint32_t stage, TextureStageState state, uint32_t value) = 0;
    virtual Result set_light(uint32_t index, const Light& light) = 0;
    virtual Result light_enable(uint32_t index, bool enable) = 0;
    virtual Result set_transform(TransformType type, const Matrix4& matrix) = 0;
    virtual Result set_material(const Material& material) = 0;
    virtual Result set_texture(uint32_t stage, Texture* texture) = 0;
    virtual Result set_vertex_shader(uint32_t fvf) = 0;
    virtual Result set_pixel_shader(uint32_t handle) = 0;
    virtual Result set_stream_source(uint32_t stream, VertexBuffer* buffer, uint32_t stride) = 0;

    virtual Result create_texture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                  Format format, uint32_t pool, Texture** texture) = 0;
    virtual Result create_vertex_buffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                        VertexBuffer** buffer) = 0;

    // State blocks: everything set between begin and end is recorded;
    // capture re-reads the current values of the recorded states.
    virtual Result begin_state_block() = 0;
    virtual Result end_state_block(uint32_t* handle) = 0;
    virtual Result apply_state_block(uint32_t handle) = 0;
    virtual Result capture_state_block(uint32_t handle) = 0;
    virtual Result delete_state_block(uint32_t handle) = 0;

    // Non-indexed drawing from the vertex buffer of stream 0.
    virtual Result draw_primitive(PrimitiveType type, uint32_t start_vertex, uint32_t primitive_count) = 0;
    // Indexed drawing from memory (16-bit indices: kFormatIndex16).
    virtual Result draw_indexed_primitive_up(PrimitiveType type, uint32_t min_vertex_index,
                                             uint32_t vertex_count, uint32_t primitive_count,
                                             const void* indices, Format index_format,
                                             const void* vertices, uint32_t stride) = 0;
    // colour is 0xAARRGGBB; rects may be null with count 0 (whole target).
    virtual Result clear(uint32_t count, const void* rects, uint32_t flags, uint32_t colour, float z,
                         uint32_t stencil) = 0;
    virtual Result begin_scene() = 0;
    virtual Result end_scene() = 0;

    virtual uint32_t release() = 0;  // remaining references

protected:
    virtual ~GraphicsDevice() = default;
};

}  // namespace platform
