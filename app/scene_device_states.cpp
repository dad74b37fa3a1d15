#include "app/scene_device_states.h"

#include <cmath>
#include <cstring>

namespace app {

namespace {

using platform::RenderState;
using platform::TextureStageState;

uint32_t float_bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// One device state of the scene: a render state, or a state of texture
// stage 0.
struct SceneStateValue {
    bool stage_state;
    uint32_t id;  // RenderState or TextureStageState
    uint32_t value;
};

constexpr SceneStateValue render(RenderState state, uint32_t value) {
    return {false, static_cast<uint32_t>(state), value};
}
constexpr SceneStateValue stage(TextureStageState state, uint32_t value) {
    return {true, static_cast<uint32_t>(state), value};
}

// Order matters: ambient is set twice and the second value stays.
const SceneStateValue kSceneStates[] = {
    stage(TextureStageState::ColorOp, platform::kTextureOpModulate),
    stage(TextureStageState::ColorArg1, platform::kTextureArgTexture),
    stage(TextureStageState::ColorArg2, platform::kTextureArgCurrent),
    stage(TextureStageState::AlphaOp, platform::kTextureOpModulate),
    stage(TextureStageState::AlphaArg1, platform::kTextureArgTexture),
    stage(TextureStageState::AlphaArg2, platform::kTextureArgCurrent),
    render(RenderState::SrcBlend, platform::kBlendSourceAlpha),
    render(RenderState::DestBlend, platform::kBlendInverseSourceAlpha),
    stage(TextureStageState::MinFilter, platform::kFilterLinear),
    stage(TextureStageState::MagFilter, platform::kFilterLinear),
    stage(TextureStageState::MipFilter, platform::kFilterLinear),
    stage(TextureStageState::AddressU, platform::kAddressWrap),
    stage(TextureStageState::AddressV, platform::kAddressWrap),
    render(RenderState::DitherEnable, 1),
    render(RenderState::ZEnable, 1),
    render(RenderState::Lighting, 1),
    render(RenderState::ShadeMode, platform::kShadeGouraud),
    render(RenderState::FogEnable, 0),
    render(RenderState::FogStart, float_bits(20.0f)),
    render(RenderState::FogEnd, float_bits(21.0f)),
    render(RenderState::FogDensity, 0x3D6D9168u),  // 0.058
    render(RenderState::FogTableMode, platform::kFogNone),
    render(RenderState::FogVertexMode, platform::kFogLinear),
    render(RenderState::RangeFogEnable, 1),
    render(RenderState::Ambient, 0x00505050u),
    render(RenderState::Ambient, 0x00404040u),
    render(RenderState::Lighting, 1),
};
static_assert(sizeof kSceneStates / sizeof kSceneStates[0] == 27);

// A white directional light shining along (x, y, z), dimmed to `level`.
struct SceneLight {
    float x, y, z;  // drawing frame
    float level;    // 0..1
};

constexpr SceneLight kSceneLights[] = {
    {-0.5f, -1.0f, -1.5f, 0.5f},
    {1.0f, -1.5f, 1.0f, 0.4f},
};

platform::Light make_light(const SceneLight& scene_light) {
    platform::Light light{};
    light.type = platform::kLightDirectional;
    light.diffuse = platform::ColorValue{1.0f, 1.0f, 1.0f, 0.0f};
    light.position = platform::Vector3f{scene_light.x, scene_light.y, scene_light.z};
    const float length =
        std::sqrt(scene_light.x * scene_light.x + scene_light.y * scene_light.y + scene_light.z * scene_light.z);
    light.direction = platform::Vector3f{scene_light.x / length, scene_light.y / length, scene_light.z / length};
    light.range = 1000.0f;
    light.diffuse.r = scene_light.level;
    light.diffuse.g = scene_light.level;
    light.diffuse.b = scene_light.level;
    return light;
}

}  // namespace

void set_scene_device_states(platform::GraphicsDevice& device) {
    for (const SceneStateValue& state : kSceneStates) {
        if (state.stage_state) {
            device.set_texture_stage_state(0, static_cast<TextureStageState>(state.id), state.value);
        } else {
            device.set_render_state(static_cast<RenderState>(state.id), state.value);
        }
    }
    for (uint32_t index = 0; index < 2; ++index) {
        device.set_light(index, make_light(kSceneLights[index]));
    }
    for (uint32_t index = 0; index < 2; ++index) {
        device.light_enable(index, true);
    }
}

}  // namespace app
