// The device's life: creation, its OpenGL objects, the back buffer, presenting,
// loss and reset. The state setters are in gl_device_state.cpp, the draws in
// gl_device_draw.cpp, resource creation in gl_resources.cpp.
#include "platform/gl/gl_device.h"

#include <new>

namespace platform::gl {
namespace {

// The rings for drawing from memory (stream_ring.h). A frame of the scene
// takes about a twentieth of the vertex ring, so the fences set as writing
// leaves a quarter (each one hands the frame so far to the driver's
// rasteriser) come about once in five frames.
constexpr uint32_t kStreamVertexBytes = 4 * 1024 * 1024;
constexpr uint32_t kStreamIndexBytes = 1024 * 1024;
constexpr uint32_t kStreamUniformBytes = 256 * 1024;

}  // namespace

// ---- life ----

GlDevice::GlDevice(const DeviceSetup& setup) : setup_(setup) {}

GlDevice::~GlDevice() = default;

Result GlDevice::create(const DeviceSetup& setup, PresentParams& params, GlDevice** device) {
    if (device == nullptr || setup.target == nullptr || setup.system == nullptr) {
        delete setup.target;
        return kInvalidCall;
    }
    *device = nullptr;
    auto* created = new (std::nothrow) GlDevice(setup);
    if (created == nullptr) {
        delete setup.target;
        return kOutOfMemory;
    }
    setup.system->add_ref();
    const Result result = created->start(params);
    if (failed(result)) {
        created->destroy();
        return result;
    }
    *device = created;
    return kOk;
}

Result GlDevice::start(PresentParams& params) {
    if (!setup_.target->create_context(robust_)) return kNotAvailable;
    setup_.target->window_buffer_bits(window_depth_bits_, window_stencil_bits_);
    if (!build_gl_objects()) return kNotAvailable;
    const Result applied = apply_present_params(params);
    if (failed(applied)) return applied;
    reset_state();
    return kOk;
}

bool GlDevice::make_current() {
    return setup_.target->make_current();
}

bool GlDevice::build_gl_objects() {
    if (setup_.limits.clip_control) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    if (!build_fixed_function_programs(programs_)) return false;
    persistent_rings_ = context_gl_version() >= 44 || context_has_extension("GL_ARB_buffer_storage");
    GLint uniform_alignment = 256;
    glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &uniform_alignment);
    uniform_alignment_ = uniform_alignment > 0 ? static_cast<uint32_t>(uniform_alignment) : 256;
    if (!create_ring(GL_UNIFORM_BUFFER, stream_uniforms_, kStreamUniformBytes, persistent_rings_)) return false;

    glGenVertexArrays(1, &vertex_array_);
    glBindVertexArray(vertex_array_);
    // The index ring's binding is part of the vertex array's state.
    if (!create_ring(GL_ARRAY_BUFFER, stream_vertices_, kStreamVertexBytes, persistent_rings_) ||
        !create_ring(GL_ELEMENT_ARRAY_BUFFER, stream_indices_, kStreamIndexBytes, persistent_rings_)) {
        return false;
    }

    glGenSamplers(1, &sampler_);
    glBindSampler(0, sampler_);
    glActiveTexture(GL_TEXTURE0);
    glFrontFace(GL_CCW);
    applied_ = AppliedState{};
    vertex_colour_switch_ = -1;
    uniforms_dirty_ = raster_dirty_ = sampler_dirty_ = true;
    return glGetError() == GL_NO_ERROR;
}

void GlDevice::delete_gl_objects() {
    delete_back_buffer();
    destroy_fixed_function_programs(programs_);
    if (stream_uniforms_.buffer != 0) delete_ring(stream_uniforms_);
    if (stream_vertices_.buffer != 0) delete_ring(stream_vertices_);
    if (stream_indices_.buffer != 0) delete_ring(stream_indices_);
    if (vertex_array_ != 0) glDeleteVertexArrays(1, &vertex_array_);
    if (sampler_ != 0) glDeleteSamplers(1, &sampler_);
    vertex_array_ = sampler_ = 0;
}

void GlDevice::destroy() {
    // Bindings and recorded state blocks hold device references on resources.
    for (auto& block : blocks_) {
        if (block.in_use) release_block_references(block);
        block.in_use = false;
    }
    for (auto& texture : state_.textures) store_texture(texture, nullptr);
    store_stream(state_.stream, nullptr);
    const bool current = setup_.target->has_context() && !context_lost_ && make_current();
    if (current) {
        delete_gl_objects();
    }
    setup_.target->destroy_context();
    if (full_screen_) setup_.target->leave_full_screen();
    delete setup_.target;
    GlDeviceOwner* system = setup_.system;
    delete this;
    system->release();
}

uint32_t GlDevice::release() {
    if (references_ == 0) return 0;
    const uint32_t remaining = --references_;
    if (remaining == 0) destroy();
    return remaining;
}

void GlDevice::forget(GlTexture* texture) {
    for (auto& slot : textures_) {
        if (slot == texture) slot = nullptr;
    }
}

void GlDevice::forget(GlVertexBuffer* buffer) {
    for (auto& slot : vertex_buffers_) {
        if (slot == buffer) slot = nullptr;
    }
}

// ---- back buffer ----

bool GlDevice::build_back_buffer() {
    delete_back_buffer();
    back_.width = params_.back_buffer_width;
    back_.height = params_.back_buffer_height;
    back_.samples = params_.multisample_type >= 2 ? params_.multisample_type : 0;
    const auto width = static_cast<GLsizei>(back_.width);
    const auto height = static_cast<GLsizei>(back_.height);
    const auto samples = static_cast<GLsizei>(back_.samples);

    glGenFramebuffers(1, &back_.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, back_.framebuffer);
    glGenRenderbuffers(1, &back_.colour);
    glBindRenderbuffer(GL_RENDERBUFFER, back_.colour);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, back_.colour);
    const GLenum depth_format =
        params_.enable_auto_depth_stencil != 0 ? depth_renderbuffer_format(params_.auto_depth_stencil_format) : 0;
    back_.has_depth = depth_format != 0;
    back_.has_stencil = depth_format == GL_DEPTH24_STENCIL8;
    if (back_.has_depth) {
        glGenRenderbuffers(1, &back_.depth);
        glBindRenderbuffer(GL_RENDERBUFFER, back_.depth);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, depth_format, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, back_.has_stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                  GL_RENDERBUFFER, back_.depth);
    }
    bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete && back_.samples > 0) {
        glGenFramebuffers(1, &back_.resolve_framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, back_.resolve_framebuffer);
        glGenRenderbuffers(1, &back_.resolve_colour);
        glBindRenderbuffer(GL_RENDERBUFFER, back_.resolve_colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, back_.resolve_colour);
        complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, back_.framebuffer);
    glViewport(0, 0, width, height);
    uniforms_dirty_ = true;   // the screen size is in the uniform block
    raster_dirty_ = true;     // depth testing depends on the depth buffer
    return complete;
}

void GlDevice::delete_back_buffer() {
    if (back_.framebuffer != 0) glDeleteFramebuffers(1, &back_.framebuffer);
    if (back_.colour != 0) glDeleteRenderbuffers(1, &back_.colour);
    if (back_.depth != 0) glDeleteRenderbuffers(1, &back_.depth);
    if (back_.resolve_framebuffer != 0) glDeleteFramebuffers(1, &back_.resolve_framebuffer);
    if (back_.resolve_colour != 0) glDeleteRenderbuffers(1, &back_.resolve_colour);
    back_ = BackBuffer{};
}

Result GlDevice::apply_present_params(PresentParams& params) {
    const uint32_t samples = params.multisample_type;
    if (samples == 1 || samples > 16) return kInvalidCall;
    if (samples >= 2 && (setup_.limits.multisample_types & (1u << samples)) == 0) return kInvalidCall;
    if (params.enable_auto_depth_stencil != 0 && depth_renderbuffer_format(params.auto_depth_stencil_format) == 0) {
        return kInvalidCall;
    }
    if (params.back_buffer_count > 3) return kInvalidCall;
    if (params.windowed != 0) {
        if (params.back_buffer_format == kFormatUnknown) params.back_buffer_format = setup_.desktop_format;
        if (setup_.target->has_window() && full_screen_) {
            setup_.target->leave_full_screen();
            full_screen_ = false;
        }
        if (params.back_buffer_width == 0 || params.back_buffer_height == 0) {
            uint32_t width = 0, height = 0;
            if (!setup_.target->client_size(width, height) || width == 0 || height == 0) {
                return kInvalidCall;
            }
            if (params.back_buffer_width == 0) params.back_buffer_width = width;
            if (params.back_buffer_height == 0) params.back_buffer_height = height;
        }
    } else {
        if (params.back_buffer_width == 0 || params.back_buffer_height == 0) return kInvalidCall;
        if (!is_render_target_format(params.back_buffer_format)) return kInvalidCall;
        if (setup_.target->has_window()) {
            const DisplayMode mode{params.back_buffer_width, params.back_buffer_height,
                                   params.fullscreen_refresh_rate, params.back_buffer_format};
            const Result switched = setup_.target->enter_full_screen(mode);
            if (failed(switched)) return switched;
            full_screen_ = true;
        }
    }
    if (!is_render_target_format(params.back_buffer_format)) return kInvalidCall;
    if (params.back_buffer_count == 0) params.back_buffer_count = 1;
    params_ = params;
    frame_open_ = false;
    refresh_hz_ = setup_.target->refresh_rate();
    if (!make_current() || !build_back_buffer()) return kOutOfVideoMemory;
    if (setup_.target->has_window()) setup_.target->set_swap_interval(paces_display() ? 1 : 0);
    return kOk;
}

// ---- presenting ----

bool GlDevice::window_can_take_frame() {
    if (!setup_.target->has_window() || back_.samples != 0 || read_back_wanted_) return false;
    if (back_.has_depth) {
        const GLenum depth = depth_renderbuffer_format(params_.auto_depth_stencil_format);
        const int32_t depth_bits = depth == GL_DEPTH_COMPONENT16 ? 16 : 24;
        if (window_depth_bits_ < depth_bits || (back_.has_stencil && window_stencil_bits_ < 8)) return false;
    }
    uint32_t width = 0, height = 0;
    return setup_.target->client_size(width, height) && width == back_.width && height == back_.height;
}

GLuint GlDevice::frame_target() {
    if (!frame_open_) {
        frame_in_window_ = window_can_take_frame();
        frame_open_ = true;
    }
    return frame_in_window_ ? 0 : back_.framebuffer;
}

void GlDevice::resolve_back_buffer() {
    if (back_.samples == 0) return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, back_.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, back_.resolve_framebuffer);
    const auto w = static_cast<GLint>(back_.width);
    const auto h = static_cast<GLint>(back_.height);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

Result GlDevice::present() {
    if (context_lost_) return kDeviceLost;
    if (!make_current()) return kFail;
    ++frames_presented_;
    if (!setup_.target->has_window()) {
        glFlush();
        return kOk;
    }
    if (setup_.target->display_lost()) return kFail;
    // A present without drawing shows again what the last frame left where it was drawn.
    const bool drawn_in_window = frame_open_ ? frame_in_window_ : last_frame_in_window_;
    frame_open_ = false;  // the next frame chooses again
    last_frame_in_window_ = drawn_in_window;
    if (!drawn_in_window) copy_into_window();
    if (!paces_display()) return setup_.target->swap_buffers() ? kOk : kFail;
    sleep_until(pacer_.swap_due(refresh_hz_, monotonic_seconds(), minimum_frame_seconds()));
    const double before = monotonic_seconds();
    const bool swapped = setup_.target->swap_buffers();
    pacer_.swap_done(before, monotonic_seconds());
    return swapped ? kOk : kFail;
}

void GlDevice::copy_into_window() {
    resolve_back_buffer();
    uint32_t window_width = 0, window_height = 0;
    setup_.target->client_size(window_width, window_height);
    const auto surface_width = static_cast<GLint>(window_width);
    const auto surface_height = static_cast<GLint>(window_height);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, back_.samples > 0 ? back_.resolve_framebuffer : back_.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    const auto w = static_cast<GLint>(back_.width);
    const auto h = static_cast<GLint>(back_.height);
    const bool same_size = surface_width == w && surface_height == h;
    glBlitFramebuffer(0, 0, w, h, 0, 0, surface_width, surface_height, GL_COLOR_BUFFER_BIT,
                      same_size ? GL_NEAREST : GL_LINEAR);
}

Result GlDevice::read_pixels(uint8_t* rgba, uint32_t width, uint32_t height) {
    if (rgba == nullptr || width != back_.width || height != back_.height) return kInvalidCall;
    if (context_lost_) return kDeviceLost;
    if (!make_current()) return kFail;
    read_back_wanted_ = true;
    if (frame_open_ && frame_in_window_) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
    } else {
        resolve_back_buffer();
        glBindFramebuffer(GL_READ_FRAMEBUFFER, back_.samples > 0 ? back_.resolve_framebuffer : back_.framebuffer);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glBindFramebuffer(GL_FRAMEBUFFER, frame_open_ && frame_in_window_ ? 0 : back_.framebuffer);
    // OpenGL reads the bottom row first; callers get the top row first.
    const size_t row = static_cast<size_t>(width) * 4;
    for (uint32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = rgba + top * row;
        uint8_t* b = rgba + bottom * row;
        for (size_t i = 0; i < row; ++i) {
            const uint8_t t = a[i];
            a[i] = b[i];
            b[i] = t;
        }
    }
    return glGetError() == GL_NO_ERROR ? kOk : kFail;
}

// ---- loss and reset ----

Result GlDevice::test_cooperative_level() {
    // A display that went away ends the run: nothing can be shown again.
    if (setup_.target->display_lost()) return kFail;
    if (robust_ && !context_lost_ && make_current()) {
        if (glGetGraphicsResetStatus() != GL_NO_ERROR) {
            context_lost_ = true;
            context_reset_seen_ = true;
        }
    }
    if (!context_lost_) return kOk;
    // While the driver is still resetting, the device cannot be reset yet.
    if (robust_ && context_reset_seen_ && make_current() && glGetGraphicsResetStatus() != GL_NO_ERROR) {
        return kDeviceLost;
    }
    context_reset_seen_ = false;
    return kDeviceNotReset;
}

Result GlDevice::rebuild_context() {
    setup_.target->destroy_context();
    // The old context's objects went with it.
    programs_ = FixedFunctionPrograms{};
    vertex_array_ = sampler_ = 0;
    stream_vertices_ = stream_indices_ = stream_uniforms_ = StreamRing{};
    back_ = BackBuffer{};
    for (GlTexture* texture : textures_) {
        if (texture != nullptr) texture->forget_gl();
    }
    for (GlVertexBuffer* buffer : vertex_buffers_) {
        if (buffer != nullptr) buffer->forget_gl();
    }
    if (!setup_.target->create_context(robust_) || !build_gl_objects()) return kDeviceLost;
    for (GlTexture* texture : textures_) {
        if (texture != nullptr && !texture->realise()) return kOutOfVideoMemory;
    }
    for (GlVertexBuffer* buffer : vertex_buffers_) {
        if (buffer != nullptr && !buffer->realise()) return kOutOfVideoMemory;
    }
    context_lost_ = false;
    return kOk;
}

Result GlDevice::reset(PresentParams& params) {
    // Resources of the default pool must be released before a reset.
    for (GlTexture* texture : textures_) {
        if (texture != nullptr && texture->pool() == kPoolDefault && texture->in_program_use()) return kInvalidCall;
    }
    for (GlVertexBuffer* buffer : vertex_buffers_) {
        if (buffer != nullptr && buffer->pool() == kPoolDefault && buffer->in_program_use()) return kInvalidCall;
    }
    if (context_lost_) {
        if (test_cooperative_level() == kDeviceLost) return kDeviceLost;
        const Result rebuilt = rebuild_context();
        if (failed(rebuilt)) return rebuilt;
    }
    in_scene_ = false;
    const Result applied = apply_present_params(params);
    if (failed(applied)) return applied;
    reset_state();
    return kOk;
}

// ---- the rest ----

Result GlDevice::get_device_caps(DeviceCaps& caps) {
    caps = setup_.caps;
    return kOk;
}

Result GlDevice::get_back_buffer_desc(SurfaceDesc& desc) {
    desc = SurfaceDesc{};
    desc.format = params_.back_buffer_format;
    desc.type = kResourceSurface;
    desc.usage = 1;  // render target
    desc.pool = kPoolDefault;
    desc.size = back_.width * back_.height * 4;
    desc.multisample_type = back_.samples;
    desc.width = back_.width;
    desc.height = back_.height;
    return kOk;
}

// The system's own pointer is the cursor; the device draws none of its own.
void GlDevice::set_cursor_position(int32_t, int32_t, uint32_t) {}

bool GlDevice::show_cursor(bool show) {
    const bool previous = cursor_shown_;
    cursor_shown_ = show;
    return previous;
}

}  // namespace platform::gl
