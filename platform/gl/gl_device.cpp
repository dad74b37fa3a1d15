#include "platform/gl/gl_device.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/gl/index_batches.h"

namespace platform::gl {
namespace {

// Rings for drawing from memory: each draw's vertices and indices go behind
// the previous draw's, and a full ring starts again at its front. A frame of
// the scene takes about a twentieth of the vertex ring, so the fences set as
// writing leaves a quarter (each one hands the frame so far to the driver's
// rasteriser) come about once in five frames.
constexpr uint32_t kStreamVertexBytes = 4 * 1024 * 1024;
constexpr uint32_t kStreamIndexBytes = 1024 * 1024;
constexpr uint32_t kStreamUniformBytes = 256 * 1024;

Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 out{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            out.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
        }
    }
    return out;
}

// The normal transform for row vectors: the inverse transpose of the upper
// 3x3 part, which is the cofactor matrix divided by the determinant. A
// singular matrix keeps its own 3x3 part.
void normal_transform(const Matrix4& a, float out[3][3]) {
    const auto& m = a.m;
    float cofactor[3][3];
    cofactor[0][0] = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    cofactor[0][1] = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    cofactor[0][2] = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    cofactor[1][0] = m[0][2] * m[2][1] - m[0][1] * m[2][2];
    cofactor[1][1] = m[0][0] * m[2][2] - m[0][2] * m[2][0];
    cofactor[1][2] = m[0][1] * m[2][0] - m[0][0] * m[2][1];
    cofactor[2][0] = m[0][1] * m[1][2] - m[0][2] * m[1][1];
    cofactor[2][1] = m[0][2] * m[1][0] - m[0][0] * m[1][2];
    cofactor[2][2] = m[0][0] * m[1][1] - m[0][1] * m[1][0];
    const float determinant = m[0][0] * cofactor[0][0] + m[0][1] * cofactor[0][1] + m[0][2] * cofactor[0][2];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            out[i][j] = std::fabs(determinant) > 1e-30f ? cofactor[i][j] / determinant : m[i][j];
        }
    }
}

void colour_from_argb(uint32_t argb, float out[4]) {
    out[0] = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(argb & 0xFF) / 255.0f;
    out[3] = static_cast<float>((argb >> 24) & 0xFF) / 255.0f;
}

void copy_colour(const ColorValue& c, float out[4]) {
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

GLint min_filter(uint32_t minification, uint32_t mip) {
    const bool linear = minification >= kFilterLinear;
    if (mip == kFilterNone) return linear ? GL_LINEAR : GL_NEAREST;
    if (mip == kFilterPoint) return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

GLint address_mode(uint32_t value) {
    switch (value) {
        case 2: return GL_MIRRORED_REPEAT;
        case 3: return GL_CLAMP_TO_EDGE;
        case 4: return GL_CLAMP_TO_BORDER;
        case 5: return GL_MIRRORED_REPEAT;
        default: return GL_REPEAT;
    }
}

GLenum polygon_mode(uint32_t fill) {
    if (fill == 1) return GL_POINT;
    if (fill == 2) return GL_LINE;
    return GL_FILL;
}

void set_capability(GLenum capability, bool on) {
    if (on) {
        glEnable(capability);
    } else {
        glDisable(capability);
    }
}

// Whether texture stage 0 gives the interpolated colour's rgb unchanged:
// no texture (the stage then reads white for it), no alpha test, and
// operations that select the colour or multiply it by white (exact). The
// alpha is then white or the colour's own (`white_alpha`). Such draws take
// the program without the stage's switches; its pixels are the same.
constexpr uint32_t kTextureOpSelectArg2 = 3;

// The fog formula the shaders apply: 0 none, 1 exponential, 2 squared
// exponential, 3 linear (the table mode before the vertex mode).
uint32_t fog_mode(const DeviceState& state) {
    const uint32_t* r = state.render;
    if (r[render_index(RenderState::FogEnable)] == 0) return 0;
    const uint32_t table_fog = r[render_index(RenderState::FogTableMode)];
    const uint32_t mode = table_fog != kFogNone ? table_fog : r[render_index(RenderState::FogVertexMode)];
    return mode <= 3 ? mode : 0;
}

bool stage_leaves_colour(const DeviceState& state, bool& white_alpha) {
    if (state.textures[0] != nullptr || state.render[render_index(RenderState::AlphaTestEnable)] != 0) return false;
    const uint32_t* stage = state.stage[0];
    auto white = [](uint32_t argument) { return (argument & 0xF) == 2 || (argument & 0xF) == 3; };
    // Which of the two arguments an operation leaves: 1 or 2 for the first
    // or second, 3 for white, 0 when it does something else.
    auto result = [&](uint32_t operation, uint32_t first, uint32_t second) -> int {
        if (operation == kTextureOpSelectArg1) return white(first) ? 3 : 1;
        if (operation == kTextureOpSelectArg2) return white(second) ? 3 : 2;
        if (operation == kTextureOpModulate) {
            if (white(first) && white(second)) return 3;
            if (white(first)) return 2;
            if (white(second)) return 1;
        }
        return 0;
    };
    const int colour = result(stage[stage_index(TextureStageState::ColorOp)],
                              stage[stage_index(TextureStageState::ColorArg1)],
                              stage[stage_index(TextureStageState::ColorArg2)]);
    if (colour != 1 && colour != 2) return false;
    const uint32_t alpha_operation = stage[stage_index(TextureStageState::AlphaOp)];
    if (alpha_operation == kTextureOpDisable) {
        white_alpha = false;
        return true;
    }
    const int alpha = result(alpha_operation, stage[stage_index(TextureStageState::AlphaArg1)],
                             stage[stage_index(TextureStageState::AlphaArg2)]);
    white_alpha = alpha == 3;
    return alpha != 0;
}

// The light a device switches on when the program enables a light it never
// set: white, directional, shining along +z.
Light default_light() {
    Light light{};
    light.type = kLightDirectional;
    light.diffuse = ColorValue{1, 1, 1, 0};
    light.direction = Vector3f{0, 0, 1};
    return light;
}

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
    if (!create_ring(GL_UNIFORM_BUFFER, stream_uniforms_, kStreamUniformBytes)) return false;
    uniform_buffer_ = stream_uniforms_.buffer;

    glGenVertexArrays(1, &vertex_array_);
    glBindVertexArray(vertex_array_);
    // The index ring's binding is part of the vertex array's state.
    if (!create_ring(GL_ARRAY_BUFFER, stream_vertices_, kStreamVertexBytes) ||
        !create_ring(GL_ELEMENT_ARRAY_BUFFER, stream_indices_, kStreamIndexBytes)) {
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
    // A lost context forgets uniform_buffer_ (and the other rings) but not
    // the uniform ring, whose names then belong to no context.
    if (uniform_buffer_ != 0) delete_ring(stream_uniforms_);
    if (stream_vertices_.buffer != 0) delete_ring(stream_vertices_);
    if (stream_indices_.buffer != 0) delete_ring(stream_indices_);
    if (vertex_array_ != 0) glDeleteVertexArrays(1, &vertex_array_);
    if (sampler_ != 0) glDeleteSamplers(1, &sampler_);
    uniform_buffer_ = vertex_array_ = sampler_ = 0;
    stream_vertices_ = stream_indices_ = stream_uniforms_ = StreamRing{};
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
    return kOk;
}

// ---- device state ----

void GlDevice::reset_state() {
    for (auto& texture : state_.textures) store_texture(texture, nullptr);
    store_stream(state_.stream, nullptr);
    set_default_state(state_, back_.has_depth);
    uniforms_dirty_ = raster_dirty_ = sampler_dirty_ = true;
}

void GlDevice::store_texture(GlTexture*& slot, GlTexture* texture) {
    if (slot == texture) return;
    if (texture != nullptr) texture->add_device_reference();
    GlTexture* old = slot;
    slot = texture;
    if (old != nullptr) old->drop_device_reference();
}

void GlDevice::store_stream(GlVertexBuffer*& slot, GlVertexBuffer* buffer) {
    if (slot == buffer) return;
    if (buffer != nullptr) buffer->add_device_reference();
    GlVertexBuffer* old = slot;
    slot = buffer;
    if (old != nullptr) old->drop_device_reference();
}

GlDevice::StateBlock* GlDevice::block(uint32_t handle) {
    if (handle == 0 || handle > kMaxStateBlocks || !blocks_[handle - 1].in_use) return nullptr;
    return &blocks_[handle - 1];
}

void GlDevice::release_block_references(StateBlock& recorded) {
    for (auto& texture : recorded.values.textures) store_texture(texture, nullptr);
    store_stream(recorded.values.stream, nullptr);
}

Result GlDevice::set_render_state(RenderState state, uint32_t value) {
    const uint32_t index = render_index(state);
    if (index >= kRenderStateCount) return kInvalidCall;
    if (recording_ >= 0) {
        StateBlock& b = blocks_[recording_];
        b.values.render[index] = value;
        b.mask.render |= uint64_t{1} << index;
        return kOk;
    }
    if (state_.render[index] != value) {
        state_.render[index] = value;
        uniforms_dirty_ = raster_dirty_ = true;
    }
    return kOk;
}

Result GlDevice::set_texture_stage_state(uint32_t stage, TextureStageState state, uint32_t value) {
    const uint32_t index = stage_index(state);
    if (stage >= kStageCount || index >= kStageStateCount) return kInvalidCall;
    if (recording_ >= 0) {
        StateBlock& b = blocks_[recording_];
        b.values.stage[stage][index] = value;
        b.mask.stage[stage] |= 1u << index;
        return kOk;
    }
    if (state_.stage[stage][index] != value) {
        state_.stage[stage][index] = value;
        uniforms_dirty_ = sampler_dirty_ = true;
    }
    return kOk;
}

Result GlDevice::set_light(uint32_t index, const Light& light) {
    if (index >= kLightCount) return kInvalidCall;
    if (light.type < 1 || light.type > 3) return kInvalidCall;
    if (recording_ >= 0) {
        StateBlock& b = blocks_[recording_];
        b.values.lights[index].light = light;
        b.mask.lights |= 1u << index;
        return kOk;
    }
    state_.lights[index].light = light;
    uniforms_dirty_ = true;
    return kOk;
}

Result GlDevice::light_enable(uint32_t index, bool enable) {
    if (index >= kLightCount) return kInvalidCall;
    LightSlot& slot = recording_ >= 0 ? blocks_[recording_].values.lights[index] : state_.lights[index];
    if (recording_ >= 0) {
        blocks_[recording_].mask.light_enables |= 1u << index;
        slot.enabled = enable;
        return kOk;
    }
    if (enable && slot.light.type == 0) slot.light = default_light();
    slot.enabled = enable;
    uniforms_dirty_ = true;
    return kOk;
}

Result GlDevice::set_transform(TransformType type, const Matrix4& matrix) {
    uint32_t bit = 0;
    Matrix4* target = nullptr;
    DeviceState& values = recording_ >= 0 ? blocks_[recording_].values : state_;
    switch (type) {
        case TransformType::World: bit = 1; target = &values.world; break;
        case TransformType::View: bit = 2; target = &values.view; break;
        case TransformType::Projection: bit = 4; target = &values.projection; break;
        default: return kInvalidCall;
    }
    *target = matrix;
    if (recording_ >= 0) {
        blocks_[recording_].mask.transforms |= bit;
    } else {
        uniforms_dirty_ = true;
    }
    return kOk;
}

Result GlDevice::set_material(const Material& material) {
    if (recording_ >= 0) {
        blocks_[recording_].values.material = material;
        blocks_[recording_].mask.material = true;
        return kOk;
    }
    state_.material = material;
    uniforms_dirty_ = true;
    return kOk;
}

Result GlDevice::set_texture(uint32_t stage, Texture* texture) {
    if (stage >= kStageCount) return kInvalidCall;
    auto* gl_texture = static_cast<GlTexture*>(texture);
    if (recording_ >= 0) {
        StateBlock& b = blocks_[recording_];
        store_texture(b.values.textures[stage], gl_texture);
        b.mask.textures |= 1u << stage;
        return kOk;
    }
    if (state_.textures[stage] != gl_texture) {
        store_texture(state_.textures[stage], gl_texture);
        uniforms_dirty_ = true;  // whether a texture is bound is in the uniform block
    }
    return kOk;
}

Result GlDevice::set_vertex_shader(uint32_t fvf) {
    if (!vertex_layout(fvf).valid) return kInvalidCall;
    if (recording_ >= 0) {
        blocks_[recording_].values.fvf = fvf;
        blocks_[recording_].mask.fvf = true;
        return kOk;
    }
    state_.fvf = fvf;
    return kOk;
}

Result GlDevice::set_pixel_shader(uint32_t handle) {
    if (handle != 0) return kInvalidCall;  // only the fixed-function pixel pipeline exists
    if (recording_ >= 0) {
        blocks_[recording_].values.pixel_shader = 0;
        blocks_[recording_].mask.pixel_shader = true;
    }
    return kOk;
}

Result GlDevice::set_stream_source(uint32_t stream, VertexBuffer* buffer, uint32_t stride) {
    if (stream != 0) return kInvalidCall;  // one vertex stream is all the program uses
    auto* gl_buffer = static_cast<GlVertexBuffer*>(buffer);
    DeviceState& values = recording_ >= 0 ? blocks_[recording_].values : state_;
    store_stream(values.stream, gl_buffer);
    values.stream_stride = stride;
    if (recording_ >= 0) blocks_[recording_].mask.stream = true;
    return kOk;
}

// ---- state blocks ----

Result GlDevice::begin_state_block() {
    if (recording_ >= 0) return kInvalidCall;
    for (uint32_t i = 0; i < kMaxStateBlocks; ++i) {
        if (!blocks_[i].in_use) {
            blocks_[i].in_use = true;
            blocks_[i].values = DeviceState{};
            blocks_[i].mask = StateMask{};
            recording_ = static_cast<int32_t>(i);
            return kOk;
        }
    }
    return kOutOfMemory;
}

Result GlDevice::end_state_block(uint32_t* handle) {
    if (recording_ < 0 || handle == nullptr) return kInvalidCall;
    *handle = static_cast<uint32_t>(recording_) + 1;
    recording_ = -1;
    return kOk;
}

Result GlDevice::apply_state_block(uint32_t handle) {
    StateBlock* b = block(handle);
    if (b == nullptr || recording_ == static_cast<int32_t>(handle - 1)) return kInvalidCall;
    const StateMask& mask = b->mask;
    const DeviceState& values = b->values;
    for (uint32_t i = 0; i < kRenderStateCount; ++i) {
        if (mask.render & (uint64_t{1} << i)) set_render_state(static_cast<RenderState>(i), values.render[i]);
    }
    for (uint32_t s = 0; s < kStageCount; ++s) {
        for (uint32_t i = 0; i < kStageStateCount; ++i) {
            if (mask.stage[s] & (1u << i)) set_texture_stage_state(s, static_cast<TextureStageState>(i), values.stage[s][i]);
        }
        if (mask.textures & (1u << s)) set_texture(s, values.textures[s]);
    }
    if (mask.transforms & 1) set_transform(TransformType::World, values.world);
    if (mask.transforms & 2) set_transform(TransformType::View, values.view);
    if (mask.transforms & 4) set_transform(TransformType::Projection, values.projection);
    for (uint32_t i = 0; i < kLightCount; ++i) {
        if (mask.lights & (1u << i)) set_light(i, values.lights[i].light);
        if (mask.light_enables & (1u << i)) light_enable(i, values.lights[i].enabled);
    }
    if (mask.material) set_material(values.material);
    if (mask.fvf && values.fvf != 0) set_vertex_shader(values.fvf);
    if (mask.pixel_shader) set_pixel_shader(0);
    if (mask.stream) set_stream_source(0, values.stream, values.stream_stride);
    return kOk;
}

Result GlDevice::capture_state_block(uint32_t handle) {
    StateBlock* b = block(handle);
    if (b == nullptr || recording_ == static_cast<int32_t>(handle - 1)) return kInvalidCall;
    const StateMask& mask = b->mask;
    DeviceState& values = b->values;
    for (uint32_t i = 0; i < kRenderStateCount; ++i) {
        if (mask.render & (uint64_t{1} << i)) values.render[i] = state_.render[i];
    }
    for (uint32_t s = 0; s < kStageCount; ++s) {
        for (uint32_t i = 0; i < kStageStateCount; ++i) {
            if (mask.stage[s] & (1u << i)) values.stage[s][i] = state_.stage[s][i];
        }
        if (mask.textures & (1u << s)) store_texture(values.textures[s], state_.textures[s]);
    }
    if (mask.transforms & 1) values.world = state_.world;
    if (mask.transforms & 2) values.view = state_.view;
    if (mask.transforms & 4) values.projection = state_.projection;
    for (uint32_t i = 0; i < kLightCount; ++i) {
        if (mask.lights & (1u << i)) values.lights[i].light = state_.lights[i].light;
        if (mask.light_enables & (1u << i)) values.lights[i].enabled = state_.lights[i].enabled;
    }
    if (mask.material) values.material = state_.material;
    if (mask.fvf) values.fvf = state_.fvf;
    if (mask.stream) {
        store_stream(values.stream, state_.stream);
        values.stream_stride = state_.stream_stride;
    }
    return kOk;
}

Result GlDevice::delete_state_block(uint32_t handle) {
    StateBlock* b = block(handle);
    if (b == nullptr || recording_ == static_cast<int32_t>(handle - 1)) return kInvalidCall;
    release_block_references(*b);
    b->in_use = false;
    return kOk;
}

// ---- resources ----

Result GlDevice::create_texture(uint32_t width, uint32_t height, uint32_t levels, uint32_t, Format format,
                                uint32_t pool, Texture** texture) {
    if (texture == nullptr) return kInvalidCall;
    *texture = nullptr;
    if (width == 0 || height == 0 || width > setup_.caps.max_texture_width || height > setup_.caps.max_texture_height ||
        !texture_format(format).supported) {
        return kInvalidCall;
    }
    uint32_t free_slot = kMaxTextures;
    for (uint32_t i = 0; i < kMaxTextures; ++i) {
        if (textures_[i] == nullptr) {
            free_slot = i;
            break;
        }
    }
    if (free_slot == kMaxTextures) return kOutOfVideoMemory;
    auto* created = new (std::nothrow) GlTexture(*this, width, height, levels, format, pool);
    if (created == nullptr) return kOutOfMemory;
    if (!created->valid() || (!context_lost_ && (!make_current() || !created->realise()))) {
        ++references_;  // balanced by the release below
        textures_[free_slot] = created;
        created->release();
        return kOutOfVideoMemory;
    }
    textures_[free_slot] = created;
    ++references_;  // a live resource keeps its device
    *texture = created;
    return kOk;
}

Result GlDevice::create_vertex_buffer(uint32_t length, uint32_t usage, uint32_t, uint32_t pool,
                                      VertexBuffer** buffer) {
    if (buffer == nullptr) return kInvalidCall;
    *buffer = nullptr;
    if (length == 0) return kInvalidCall;
    uint32_t free_slot = kMaxVertexBuffers;
    for (uint32_t i = 0; i < kMaxVertexBuffers; ++i) {
        if (vertex_buffers_[i] == nullptr) {
            free_slot = i;
            break;
        }
    }
    if (free_slot == kMaxVertexBuffers) return kOutOfVideoMemory;
    auto* created = new (std::nothrow) GlVertexBuffer(*this, length, usage, pool);
    if (created == nullptr) return kOutOfMemory;
    if (!created->valid() || (!context_lost_ && (!make_current() || !created->realise()))) {
        ++references_;
        vertex_buffers_[free_slot] = created;
        created->release();
        return kOutOfVideoMemory;
    }
    vertex_buffers_[free_slot] = created;
    ++references_;
    *buffer = created;
    return kOk;
}

// ---- drawing ----

void GlDevice::apply_raster_state() {
    if (!raster_dirty_ && applied_.valid) return;
    const uint32_t* r = state_.render;
    const bool first = !applied_.valid;

    const bool depth_test = r[render_index(RenderState::ZEnable)] != 0 && back_.has_depth;
    if (first || depth_test != applied_.depth_test) set_capability(GL_DEPTH_TEST, depth_test);
    const GLenum depth_function = compare_function(r[render_index(RenderState::ZFunc)]);
    if (first || depth_function != applied_.depth_function) glDepthFunc(depth_function);
    const bool depth_write = r[render_index(RenderState::ZWriteEnable)] != 0;
    if (first || depth_write != applied_.depth_write) glDepthMask(depth_write ? GL_TRUE : GL_FALSE);

    const bool blend = r[render_index(RenderState::AlphaBlendEnable)] != 0;
    if (first || blend != applied_.blend) set_capability(GL_BLEND, blend);
    const GLenum source = blend_factor(r[render_index(RenderState::SrcBlend)]);
    const GLenum destination = blend_factor(r[render_index(RenderState::DestBlend)]);
    if (first || source != applied_.blend_source || destination != applied_.blend_destination) {
        glBlendFunc(source, destination);
    }

    // Culling goes by how a face appears on screen. OpenGL's window
    // coordinates show the picture the right way up, so a face that looks
    // counter-clockwise is wound counter-clockwise there: with OpenGL's
    // front faces counter-clockwise, "cull counter-clockwise" culls fronts.
    const uint32_t cull_mode = r[render_index(RenderState::CullMode)];
    const bool cull = cull_mode == kCullClockwise || cull_mode == kCullCounterClockwise;
    if (first || cull != applied_.cull) set_capability(GL_CULL_FACE, cull);
    const GLenum cull_face = cull_mode == kCullCounterClockwise ? GL_FRONT : GL_BACK;
    if (cull && (first || cull_face != applied_.cull_face)) glCullFace(cull_face);

    const GLenum fill = polygon_mode(r[render_index(RenderState::FillMode)]);
    if (first || fill != applied_.polygon_mode) glPolygonMode(GL_FRONT_AND_BACK, fill);

    applied_.depth_test = depth_test;
    applied_.depth_function = depth_function;
    applied_.depth_write = depth_write;
    applied_.blend = blend;
    applied_.blend_source = source;
    applied_.blend_destination = destination;
    applied_.cull = cull;
    if (cull) applied_.cull_face = cull_face;
    applied_.polygon_mode = fill;
    applied_.valid = true;
    raster_dirty_ = false;
}

void GlDevice::fill_uniform_block(const VertexLayout& layout) {
    FixedFunctionBlock& b = block_;
    const uint32_t* r = state_.render;
    const Matrix4 world_view = multiply(state_.world, state_.view);
    std::memcpy(b.world_view, world_view.m, sizeof b.world_view);
    std::memcpy(b.projection, state_.projection.m, sizeof b.projection);
    float normal[3][3];
    normal_transform(world_view, normal);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) b.normal_matrix[i * 4 + j] = normal[i][j];
        b.normal_matrix[i * 4 + 3] = 0.0f;
    }

    const auto& v = state_.view.m;
    uint32_t lights_on = 0;
    for (uint32_t i = 0; i < kLightCount; ++i) {
        const LightSlot& slot = state_.lights[i];
        if (!slot.enabled || slot.light.type != kLightDirectional) continue;
        const uint32_t n = lights_on++;
        const Vector3f d = slot.light.direction;
        // Into view space (row vector times the view's 3x3), then reversed
        // and normalised: the direction towards the light.
        float x = d.x * v[0][0] + d.y * v[1][0] + d.z * v[2][0];
        float y = d.x * v[0][1] + d.y * v[1][1] + d.z * v[2][1];
        float z = d.x * v[0][2] + d.y * v[1][2] + d.z * v[2][2];
        const float length = std::sqrt(x * x + y * y + z * z);
        if (length > 0.0f) {
            x /= length;
            y /= length;
            z /= length;
        }
        b.light_direction[n][0] = -x;
        b.light_direction[n][1] = -y;
        b.light_direction[n][2] = -z;
        b.light_direction[n][3] = 0.0f;
        copy_colour(slot.light.diffuse, b.light_diffuse[n]);
        copy_colour(slot.light.ambient, b.light_ambient[n]);
    }
    b.light_count[0] = static_cast<int32_t>(lights_on);
    colour_from_argb(r[render_index(RenderState::Ambient)], b.ambient);
    copy_colour(state_.material.diffuse, b.material_diffuse);
    copy_colour(state_.material.ambient, b.material_ambient);
    copy_colour(state_.material.emissive, b.material_emissive);
    colour_from_argb(r[render_index(RenderState::FogColor)], b.fog_colour);
    b.fog[0] = bits_float(r[render_index(RenderState::FogStart)]);
    b.fog[1] = bits_float(r[render_index(RenderState::FogEnd)]);
    b.fog[2] = bits_float(r[render_index(RenderState::FogDensity)]);
    b.fog[3] = 0.0f;
    b.screen[0] = back_.width != 0 ? 2.0f / static_cast<float>(back_.width) : 0.0f;
    b.screen[1] = back_.height != 0 ? 2.0f / static_cast<float>(back_.height) : 0.0f;
    bool white_alpha = false;
    b.screen[2] = stage_leaves_colour(state_, white_alpha) && white_alpha ? 1.0f : 0.0f;
    b.screen[3] = 0.0f;

    const uint32_t table_fog = r[render_index(RenderState::FogTableMode)];
    b.switches[0] = r[render_index(RenderState::Lighting)] != 0 ? 1 : 0;
    b.switches[1] = r[render_index(RenderState::NormalizeNormals)] != 0 ? 1 : 0;
    b.switches[2] = static_cast<int32_t>(fog_mode(state_));
    b.switches[3] = (table_fog == kFogNone && r[render_index(RenderState::RangeFogEnable)] != 0) ? 1 : 0;

    const uint32_t* stage = state_.stage[0];
    b.alpha[0] = r[render_index(RenderState::AlphaTestEnable)] != 0 ? 1 : 0;
    b.alpha[1] = static_cast<int32_t>(r[render_index(RenderState::AlphaFunc)]);
    b.alpha[2] = static_cast<int32_t>(r[render_index(RenderState::AlphaRef)] & 0xFF);
    b.alpha[3] = state_.textures[0] != nullptr ? 1 : 0;
    b.colour_stage[0] = static_cast<int32_t>(stage[stage_index(TextureStageState::ColorOp)]);
    b.colour_stage[1] = static_cast<int32_t>(stage[stage_index(TextureStageState::ColorArg1)] & 0xF);
    b.colour_stage[2] = static_cast<int32_t>(stage[stage_index(TextureStageState::ColorArg2)] & 0xF);
    b.colour_stage[3] = layout.colour_offset >= 0 ? 1 : 0;
    b.alpha_stage[0] = static_cast<int32_t>(stage[stage_index(TextureStageState::AlphaOp)]);
    b.alpha_stage[1] = static_cast<int32_t>(stage[stage_index(TextureStageState::AlphaArg1)] & 0xF);
    b.alpha_stage[2] = static_cast<int32_t>(stage[stage_index(TextureStageState::AlphaArg2)] & 0xF);
    b.alpha_stage[3] = setup_.limits.clip_control ? 0 : 1;

    // Each change of the block takes a fresh slice of the uniform ring, so
    // a draw never waits for, or copies, the slice an earlier draw reads.
    const uint32_t offset = append_stream(GL_UNIFORM_BUFFER, stream_uniforms_, &b, sizeof b, uniform_alignment_);
    glBindBufferRange(GL_UNIFORM_BUFFER, kFixedFunctionBinding, stream_uniforms_.buffer, offset, sizeof b);
    uniforms_dirty_ = false;
}

void GlDevice::point_attributes(GLuint buffer, const VertexLayout& layout, uint32_t stride, uintptr_t offset) {
    const uint32_t fvf = state_.fvf;
    if (applied_.attribute_buffer == buffer && applied_.attribute_fvf == fvf && applied_.attribute_stride == stride &&
        applied_.attribute_offset == offset) {
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const auto gl_stride = static_cast<GLsizei>(stride);
    auto at = [offset](int32_t part) { return reinterpret_cast<const void*>(offset + static_cast<uintptr_t>(part)); };
    glEnableVertexAttribArray(kAttributePosition);
    glVertexAttribPointer(kAttributePosition, layout.pretransformed ? 4 : 3, GL_FLOAT, GL_FALSE, gl_stride, at(0));
    if (layout.normal_offset >= 0) {
        glEnableVertexAttribArray(kAttributeNormal);
        glVertexAttribPointer(kAttributeNormal, 3, GL_FLOAT, GL_FALSE, gl_stride, at(layout.normal_offset));
    } else {
        glDisableVertexAttribArray(kAttributeNormal);
        glVertexAttrib3f(kAttributeNormal, 0.0f, 0.0f, 0.0f);
    }
    if (layout.texcoord_offset >= 0) {
        glEnableVertexAttribArray(kAttributeTexcoord);
        glVertexAttribPointer(kAttributeTexcoord, 2, GL_FLOAT, GL_FALSE, gl_stride, at(layout.texcoord_offset));
    } else {
        glDisableVertexAttribArray(kAttributeTexcoord);
        glVertexAttrib2f(kAttributeTexcoord, 0.0f, 0.0f);
    }
    if (layout.colour_offset >= 0) {
        // 0xAARRGGBB words are the bytes blue, green, red, alpha.
        glEnableVertexAttribArray(kAttributeColour);
        glVertexAttribPointer(kAttributeColour, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, gl_stride, at(layout.colour_offset));
    } else {
        glDisableVertexAttribArray(kAttributeColour);
        glVertexAttrib4f(kAttributeColour, 1.0f, 1.0f, 1.0f, 1.0f);
    }
    applied_.attribute_buffer = buffer;
    applied_.attribute_fvf = fvf;
    applied_.attribute_stride = stride;
    applied_.attribute_offset = offset;
}

bool GlDevice::prepare_draw(const VertexLayout& layout) {
    if (!make_current()) return false;
    bool white_alpha = false;
    const GLuint program =
        layout.pretransformed
            ? programs_.screen_space
            : programs_.model_space[stage_leaves_colour(state_, white_alpha) ? 1 : 0][fog_mode(state_) == 0 ? 1 : 0];
    if (applied_.program != program) {
        glUseProgram(program);
        applied_.program = program;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, frame_target());
    apply_raster_state();
    const int32_t vertex_colour = layout.colour_offset >= 0 ? 1 : 0;
    if (vertex_colour != vertex_colour_switch_) {
        vertex_colour_switch_ = vertex_colour;
        uniforms_dirty_ = true;
    }
    if (uniforms_dirty_) fill_uniform_block(layout);
    // Texture uploads rebind GL_TEXTURE_2D, so the binding is set every time.
    glBindTexture(GL_TEXTURE_2D, state_.textures[0] != nullptr ? state_.textures[0]->name() : 0);
    if (sampler_dirty_) {
        const uint32_t* stage = state_.stage[0];
        glSamplerParameteri(sampler_, GL_TEXTURE_MIN_FILTER,
                            min_filter(stage[stage_index(TextureStageState::MinFilter)],
                                       stage[stage_index(TextureStageState::MipFilter)]));
        glSamplerParameteri(sampler_, GL_TEXTURE_MAG_FILTER,
                            stage[stage_index(TextureStageState::MagFilter)] >= kFilterLinear ? GL_LINEAR : GL_NEAREST);
        glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_S, address_mode(stage[stage_index(TextureStageState::AddressU)]));
        glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_T, address_mode(stage[stage_index(TextureStageState::AddressV)]));
        sampler_dirty_ = false;
    }
    return true;
}

bool GlDevice::create_ring(GLenum target, StreamRing& ring, uint32_t capacity) {
    ring = StreamRing{};
    ring.capacity = capacity;
    glGenBuffers(1, &ring.buffer);
    glBindBuffer(target, ring.buffer);
    if (persistent_rings_) {
        constexpr GLbitfield kFlags = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
        glBufferStorage(target, capacity, nullptr, kFlags);
        ring.mapped = static_cast<uint8_t*>(glMapBufferRange(target, 0, capacity, kFlags));
        if (ring.mapped != nullptr) return true;
        // Storage is immutable now: start again with a plain buffer.
        glDeleteBuffers(1, &ring.buffer);
        glGenBuffers(1, &ring.buffer);
        glBindBuffer(target, ring.buffer);
    }
    glBufferData(target, capacity, nullptr, GL_STREAM_DRAW);
    return ring.buffer != 0;
}

void GlDevice::delete_ring(StreamRing& ring) {
    for (GLsync& fence : ring.fences) {
        if (fence != nullptr) glDeleteSync(fence);
    }
    // Deleting a buffer unmaps it.
    if (ring.buffer != 0) glDeleteBuffers(1, &ring.buffer);
    ring = StreamRing{};
}

void GlDevice::wait_for_segments(StreamRing& ring, uint32_t first, uint32_t last) {
    for (uint32_t i = first; i <= last && i < kRingSegments; ++i) {
        if (ring.fences[i] == nullptr) continue;
        glClientWaitSync(ring.fences[i], GL_SYNC_FLUSH_COMMANDS_BIT, GL_TIMEOUT_IGNORED);
        glDeleteSync(ring.fences[i]);
        ring.fences[i] = nullptr;
    }
}

uint32_t GlDevice::append_stream(GLenum target, StreamRing& ring, const void* data, uint32_t bytes,
                                 uint32_t alignment) {
    if (ring.mapped == nullptr || bytes > ring.capacity) {
        glBindBuffer(target, ring.buffer);
    }
    if (bytes > ring.capacity) {
        uint32_t capacity = ring.capacity;
        while (capacity < bytes) capacity *= 2;
        if (ring.mapped != nullptr) {
            // Mapped storage cannot grow: a larger ring replaces it, and
            // whatever pointed at the old one is set again.
            delete_ring(ring);
            create_ring(target, ring, capacity);
            applied_.attribute_buffer = 0;
            if (target == GL_UNIFORM_BUFFER) uniform_buffer_ = ring.buffer;
        } else {
            ring.capacity = capacity;
        }
        ring.used = ring.capacity;  // forces fresh storage below
    }
    const uint32_t segment = ring.capacity / kRingSegments;
    uint32_t offset = (ring.used + alignment - 1) / alignment * alignment;
    const bool wraps = ring.used > ring.capacity || offset > ring.capacity - bytes;
    if (ring.mapped == nullptr) {
        if (wraps) {
            // Full: fresh storage (orphaning), so earlier draws that a driver
            // has not finished yet keep reading the old one.
            glBufferData(target, ring.capacity, nullptr, GL_STREAM_DRAW);
            offset = 0;
        }
        glBufferSubData(target, static_cast<GLintptr>(offset), bytes, data);
        ring.used = offset + bytes;
        return offset;
    }
    // Mapped for good: the quarters written since the last fence get one
    // as writing leaves them, and a quarter is written again only after the
    // draws that read it are done (the ring is far larger than a frame's
    // draws, so this rarely waits).
    auto fence = [&ring](uint32_t first, uint32_t last) {
        for (uint32_t i = first; i <= last && i < kRingSegments; ++i) {
            if (ring.fences[i] == nullptr) ring.fences[i] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        }
    };
    if (wraps) {
        if (ring.used > 0 && ring.used <= ring.capacity) fence(ring.open_segment, (ring.used - 1) / segment);
        offset = 0;
        ring.open_segment = 0;
    } else if (offset / segment > ring.open_segment) {
        fence(ring.open_segment, offset / segment - 1);
        ring.open_segment = offset / segment;
    }
    wait_for_segments(ring, offset / segment, (offset + bytes - 1) / segment);
    std::memcpy(ring.mapped + offset, data, bytes);
    ring.used = offset + bytes;
    return offset;
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
    point_attributes(stream_vertices_.buffer, layout, stride, 0);
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
        glDrawRangeElementsBaseVertex(primitive_mode(type), 0, range.highest - range.lowest, static_cast<GLsizei>(count),
                                      index_type, reinterpret_cast<const void*>(static_cast<uintptr_t>(index_offset)),
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
        const uint32_t offset =
            append_stream(GL_ARRAY_BUFFER, stream_vertices_, buffer->contents() + static_cast<size_t>(start_vertex) * stride,
                          vertex_count * stride, stride);
        point_attributes(stream_vertices_.buffer, layout, stride, 0);
        glDrawArrays(primitive_mode(type), static_cast<GLint>(offset / stride), static_cast<GLsizei>(vertex_count));
        return kOk;
    }
    point_attributes(buffer->name(), layout, stride, 0);
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
    uniform_buffer_ = vertex_array_ = sampler_ = 0;
    stream_vertices_ = stream_indices_ = StreamRing{};
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
