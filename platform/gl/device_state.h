// Everything the program can set on a device, as one plain record, with the
// values a newly created or reset device starts with. State blocks hold a
// copy of this record plus masks that say which parts were recorded.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"

namespace platform::gl {

class GlTexture;
class GlVertexBuffer;

inline constexpr uint32_t kStageCount = 8;
inline constexpr uint32_t kLightCount = 8;
inline constexpr uint32_t kRenderStateCount = static_cast<uint32_t>(RenderState::Count);
inline constexpr uint32_t kStageStateCount = static_cast<uint32_t>(TextureStageState::Count);

struct LightSlot {
    Light light;
    bool enabled;
};

struct DeviceState {
    uint32_t render[kRenderStateCount];
    uint32_t stage[kStageCount][kStageStateCount];
    Matrix4 world;
    Matrix4 view;
    Matrix4 projection;
    LightSlot lights[kLightCount];
    Material material;
    GlTexture* textures[kStageCount];
    uint32_t fvf;
    uint32_t pixel_shader;
    GlVertexBuffer* stream;
    uint32_t stream_stride;
};

// Which parts of a DeviceState a state block recorded.
struct StateMask {
    uint64_t render;                 // bit per RenderState
    uint32_t stage[kStageCount];     // bit per TextureStageState
    uint32_t textures;               // bit per stage
    uint32_t transforms;             // 1 world, 2 view, 4 projection
    uint32_t lights;                 // bit per light: the light record
    uint32_t light_enables;          // bit per light: its on/off switch
    bool material;
    bool fvf;
    bool pixel_shader;
    bool stream;
};

inline uint32_t render_index(RenderState state) { return static_cast<uint32_t>(state); }
inline uint32_t stage_index(TextureStageState state) { return static_cast<uint32_t>(state); }

inline uint32_t float_bits(float value) {
    uint32_t bits;
    __builtin_memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float bits_float(uint32_t bits) {
    float value;
    __builtin_memcpy(&value, &bits, sizeof value);
    return value;
}

inline Matrix4 identity_matrix() {
    return Matrix4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

// The state of a newly created or reset device. `has_depth_buffer` decides
// whether depth testing starts on.
inline void set_default_state(DeviceState& state, bool has_depth_buffer) {
    state = DeviceState{};
    uint32_t* r = state.render;
    r[render_index(RenderState::ZEnable)] = has_depth_buffer ? 1 : 0;
    r[render_index(RenderState::FillMode)] = kFillSolid;
    r[render_index(RenderState::ShadeMode)] = kShadeGouraud;
    r[render_index(RenderState::ZWriteEnable)] = 1;
    r[render_index(RenderState::SrcBlend)] = 2;   // one
    r[render_index(RenderState::DestBlend)] = 1;  // zero
    r[render_index(RenderState::CullMode)] = kCullCounterClockwise;
    r[render_index(RenderState::ZFunc)] = kCompareLessEqual;
    r[render_index(RenderState::AlphaFunc)] = 8;  // always
    r[render_index(RenderState::FogEnd)] = float_bits(1.0f);
    r[render_index(RenderState::FogDensity)] = float_bits(1.0f);
    r[render_index(RenderState::Clipping)] = 1;
    r[render_index(RenderState::Lighting)] = 1;
    for (uint32_t s = 0; s < kStageCount; ++s) {
        uint32_t* t = state.stage[s];
        t[stage_index(TextureStageState::ColorOp)] = s == 0 ? kTextureOpModulate : kTextureOpDisable;
        t[stage_index(TextureStageState::ColorArg1)] = kTextureArgTexture;
        t[stage_index(TextureStageState::ColorArg2)] = kTextureArgCurrent;
        t[stage_index(TextureStageState::AlphaOp)] = s == 0 ? kTextureOpSelectArg1 : kTextureOpDisable;
        t[stage_index(TextureStageState::AlphaArg1)] = kTextureArgTexture;
        t[stage_index(TextureStageState::AlphaArg2)] = kTextureArgCurrent;
        t[stage_index(TextureStageState::MinFilter)] = kFilterPoint;
        t[stage_index(TextureStageState::MagFilter)] = kFilterPoint;
        t[stage_index(TextureStageState::MipFilter)] = kFilterNone;
        t[stage_index(TextureStageState::AddressU)] = kAddressWrap;
        t[stage_index(TextureStageState::AddressV)] = kAddressWrap;
        t[stage_index(TextureStageState::TexCoordIndex)] = s;
    }
    state.world = identity_matrix();
    state.view = identity_matrix();
    state.projection = identity_matrix();
}

}  // namespace platform::gl
