// The device's state setters and its state blocks: a setter changes the
// device's state record (and marks what OpenGL must be told at the next
// draw), or, while a block is recorded, that block's copy and mask.
#include "platform/gl/gl_device.h"

namespace platform::gl {
namespace {

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
            if (mask.stage[s] & (1u << i)) {
                set_texture_stage_state(s, static_cast<TextureStageState>(i), values.stage[s][i]);
            }
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

}  // namespace platform::gl
