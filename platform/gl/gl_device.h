// The graphics device on OpenGL 3.3 core. In a window, a frame is drawn
// straight into the window's own back buffer when nothing needs anything
// else: no multisampling, a window of the back buffer's size and depth
// buffers enough. Otherwise, and always offscreen, frames are drawn into a
// framebuffer object of the back buffer's size (multisampled when asked,
// with the automatic depth buffer); present() then copies it into the
// window (scaled while the window's size differs), or leaves it for
// read_pixels() when offscreen. present() paces to the display, unless the
// presentation interval is immediate: then it swaps at once.
//
// Device states are kept in a plain record and reach OpenGL only when
// something is drawn: the fixed-function state goes into one uniform block,
// the raster state (depth, blending, culling, fill) is set only when it
// differs from what OpenGL already has.
#pragma once

#include "platform/gl/gl_api.h"

#include <cstdint>

#include "platform/gl/device_state.h"
#include "platform/gl/fixed_function_program.h"
#include "platform/gl/fixed_function_state.h"
#include "platform/gl/frame_pacer.h"
#include "platform/gl/gl_context_target.h"
#include "platform/gl/gl_formats.h"
#include "platform/gl/gl_resources.h"
#include "platform/gl/index_batches.h"
#include "platform/gl/stream_ring.h"
#include "platform/graphics_device.h"

namespace platform::gl {

inline constexpr uint32_t kMaxTextures = 64;
inline constexpr uint32_t kMaxVertexBuffers = 64;
inline constexpr uint32_t kMaxStateBlocks = 32;

// What the driver offers, read once by the graphics system.
struct GlLimits {
    uint32_t multisample_types;  // bit n set: n samples per pixel are offered
    bool clip_control;           // depth range 0..1 without remapping
};

struct DeviceSetup {
    GlDeviceOwner* system;     // referenced for the device's life
    GlContextTarget* target;   // owned by the device from create() on, also when it fails
    DeviceCaps caps;
    GlLimits limits;
    Format desktop_format;     // back-buffer format when the program leaves it unknown
};

class GlDevice final : public GraphicsDevice {
public:
    // Creates the device and fills in what `params` left open (the back
    // buffer's size and format in a window).
    static Result create(const DeviceSetup& setup, PresentParams& params, GlDevice** device);

    Result test_cooperative_level() override;
    Result get_device_caps(DeviceCaps& caps) override;
    Result reset(PresentParams& params) override;
    Result present() override;
    Result get_back_buffer_desc(SurfaceDesc& desc) override;
    void set_cursor_position(int32_t x, int32_t y, uint32_t flags) override;
    bool show_cursor(bool show) override;

    Result set_render_state(RenderState state, uint32_t value) override;
    Result set_texture_stage_state(uint32_t stage, TextureStageState state, uint32_t value) override;
    Result set_light(uint32_t index, const Light& light) override;
    Result light_enable(uint32_t index, bool enable) override;
    Result set_transform(TransformType type, const Matrix4& matrix) override;
    Result set_material(const Material& material) override;
    Result set_texture(uint32_t stage, Texture* texture) override;
    Result set_vertex_shader(uint32_t fvf) override;
    Result set_pixel_shader(uint32_t handle) override;
    Result set_stream_source(uint32_t stream, VertexBuffer* buffer, uint32_t stride) override;

    Result create_texture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format,
                          uint32_t pool, Texture** texture) override;
    Result create_vertex_buffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                VertexBuffer** buffer) override;

    Result begin_state_block() override;
    Result end_state_block(uint32_t* handle) override;
    Result apply_state_block(uint32_t handle) override;
    Result capture_state_block(uint32_t handle) override;
    Result delete_state_block(uint32_t handle) override;

    Result draw_primitive(PrimitiveType type, uint32_t start_vertex, uint32_t primitive_count) override;
    Result draw_indexed_primitive_up(PrimitiveType type, uint32_t min_vertex_index, uint32_t vertex_count,
                                     uint32_t primitive_count, const void* indices, Format index_format,
                                     const void* vertices, uint32_t stride) override;
    Result clear(uint32_t count, const void* rects, uint32_t flags, uint32_t colour, float z,
                 uint32_t stencil) override;
    Result begin_scene() override;
    Result end_scene() override;

    uint32_t release() override;

    // The back buffer as it stands, rows from the top, 4 bytes per pixel
    // (red, green, blue, alpha). width and height must be the back buffer's.
    // In a window, the device draws the frames after the first read-back
    // offscreen, so that the last presented frame stays readable.
    Result read_pixels(uint8_t* rgba, uint32_t width, uint32_t height);
    uint64_t frames_presented() const { return frames_presented_; }
    // Whether the last presented frame was drawn straight into the window.
    bool last_frame_in_window() const { return last_frame_in_window_; }
    // Pretends the driver reset the context (tests of device loss).
    void simulate_context_loss() { context_lost_ = true; context_reset_seen_ = true; }

    // For the resources.
    bool make_current();
    bool context_usable() const { return !context_lost_; }
    void forget(GlTexture* texture);
    void forget(GlVertexBuffer* buffer);

private:
    explicit GlDevice(const DeviceSetup& setup);
    ~GlDevice() override;

    Result start(PresentParams& params);
    bool build_gl_objects();
    void delete_gl_objects();
    Result rebuild_context();
    Result apply_present_params(PresentParams& params);
    bool build_back_buffer();
    void delete_back_buffer();
    void reset_state();
    void destroy();

    // The framebuffer the current frame draws into (0: the window's own),
    // chosen by its first drawing call.
    GLuint frame_target();
    bool window_can_take_frame();
    // False for a device that presents at once (another device paces the loop).
    bool paces_display() const { return params_.presentation_interval != kPresentIntervalImmediate; }
    void resolve_back_buffer();
    void copy_into_window();

    // Drawing (gl_device_draw.cpp): OpenGL brought up to the device state,
    // and appends to the device's rings.
    bool prepare_draw(const VertexLayout& layout);
    uint32_t append_stream(GLenum target, StreamRing& ring, const void* data, uint32_t bytes, uint32_t alignment);

    // Setters shared by the program's calls and state blocks
    // (gl_device_state.cpp).
    void store_texture(GlTexture*& slot, GlTexture* texture);
    void store_stream(GlVertexBuffer*& slot, GlVertexBuffer* buffer);
    struct StateBlock;
    StateBlock* block(uint32_t handle);
    void release_block_references(StateBlock& block);

    DeviceSetup setup_;
    uint32_t references_ = 1;
    bool robust_ = false;
    bool context_lost_ = false;
    bool context_reset_seen_ = false;

    PresentParams params_{};
    uint32_t refresh_hz_ = 0;
    bool full_screen_ = false;  // the window was switched to full screen
    bool in_scene_ = false;
    bool cursor_shown_ = true;
    uint64_t frames_presented_ = 0;
    FramePacer pacer_;

    int32_t window_depth_bits_ = 0;    // the window surface's own depth and stencil buffers
    int32_t window_stencil_bits_ = 0;
    bool frame_open_ = false;         // the current frame has chosen its framebuffer
    bool frame_in_window_ = false;    // ... and it is the window's own
    bool read_back_wanted_ = false;   // read_pixels() was called: keep frames offscreen
    bool last_frame_in_window_ = false;

    struct BackBuffer {
        GLuint framebuffer, colour, depth;
        GLuint resolve_framebuffer, resolve_colour;
        uint32_t width, height, samples;
        bool has_depth, has_stencil;
    } back_{};

    FixedFunctionPrograms programs_{};
    GLuint vertex_array_ = 0;
    StreamRing stream_vertices_{};                // vertices and indices drawn from memory
    StreamRing stream_indices_{};
    StreamRing stream_uniforms_{};                // fixed-function blocks
    uint8_t batch_indices_[kIndicesPerPass * 4];  // one batch's indices, rebased to start at 0
    uint32_t uniform_alignment_ = 256;            // bytes between uniform-block offsets
    bool persistent_rings_ = false;               // the driver maps buffers for good
    GLuint sampler_ = 0;

    DeviceState state_{};
    FixedFunctionBlock block_{};
    bool uniforms_dirty_ = true;
    bool raster_dirty_ = true;
    bool sampler_dirty_ = true;
    AppliedState applied_{};
    int32_t vertex_colour_switch_ = -1;

    struct StateBlock {
        bool in_use;
        DeviceState values;
        StateMask mask;
    };
    StateBlock blocks_[kMaxStateBlocks] = {};
    int32_t recording_ = -1;  // index of the block being recorded

    GlTexture* textures_[kMaxTextures] = {};
    GlVertexBuffer* vertex_buffers_[kMaxVertexBuffers] = {};
};

}  // namespace platform::gl
