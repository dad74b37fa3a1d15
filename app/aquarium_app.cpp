#include "app/aquarium_app.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "sim/scene_setup.h"
#include "sim/scheduling.h"

namespace app {

namespace {

using platform::kOk;
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
    uint32_t id;     // RenderState or TextureStageState
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
    const float length = std::sqrt(scene_light.x * scene_light.x + scene_light.y * scene_light.y +
                                   scene_light.z * scene_light.z);
    light.direction = platform::Vector3f{scene_light.x / length, scene_light.y / length, scene_light.z / length};
    light.range = 1000.0f;
    light.diffuse.r = scene_light.level;
    light.diffuse.g = scene_light.level;
    light.diffuse.b = scene_light.level;
    return light;
}

}  // namespace

AquariumApp::AquariumApp(const platform::Platform& platform)
    : creature(std::make_unique<sim::Creature>()),
      world(std::make_unique<sim::SimWorld>()),
      settings(settings::default_settings()) {
    app.platform = platform;
    app.hooks = this;
    app.settings = &settings;
    std::snprintf(title, sizeof title, "%s", kInitialTitle);
    app.title = title;
    app.use_depth_buffer = true;
    sim::reset_records(*creature, *world);
    overlay = std::make_unique<render::TextOverlay>(kOverlayFace, kOverlayPoints, render::kTextBold,
                                                    platform.glyphs);
    render_state = std::make_unique<render::RendererState>();
    render::reset_renderer_state(*render_state);
}

void AquariumApp::salt_clock_seed(uint32_t salt) { clock_seed_salt_ = salt; }

void AquariumApp::fix_scene_seed(uint32_t seed) {
    scene_seed_fixed_ = true;
    scene_seed_ = seed;
}

platform::Result AquariumApp::check_device_caps(const platform::DeviceCaps& caps, uint32_t behaviour,
                                                platform::Format) {
    if ((behaviour & platform::kCreatePureDevice) != 0) return platform::kFail;
    const uint32_t alpha_textures = platform::kTextureCapsAlphaPalette | platform::kTextureCapsAlpha;
    return (caps.texture_caps & alpha_textures) != 0 ? kOk : platform::kFail;
}

platform::Result AquariumApp::create_device_objects(RenderApp& render_app) {
    // Without the atlas the text is simply not drawn.
    if (overlay) overlay->build_glyph_texture(render_app.device);
    return kOk;
}

platform::Result AquariumApp::reset_device_objects(RenderApp& render_app) {
    if (overlay) overlay->prepare_for_drawing();
    if (render_app.device == nullptr) return platform::kFail;
    // A state the device cannot take only changes the look of the picture, so
    // the scene goes on whatever the device answers.
    platform::GraphicsDevice& device = *render_app.device;
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
    return kOk;
}

platform::Result AquariumApp::release_device_objects(RenderApp&) {
    if (overlay) overlay->release_drawing_resources();
    return kOk;
}

platform::Result AquariumApp::destroy_device_objects(RenderApp&) {
    if (overlay) overlay->release_glyph_texture();
    return kOk;
}

platform::Result AquariumApp::shutdown_scene(RenderApp&) {
    overlay.reset();
    return kOk;
}

platform::Result AquariumApp::init_scene(RenderApp& render_app) {
    // The salt is spread over all bits (a multiplicative hash) before it
    // meets the seconds, so that neighbouring salts and neighbouring
    // seconds never cancel out.
    const uint32_t seed = scene_seed_fixed_
                              ? scene_seed_
                              : static_cast<uint32_t>(render_app.platform.clock->calendar_seconds()) ^
                                    (clock_seed_salt_ * 0x9E3779B1u);
    sim::reset_records(*creature, *world);
    sim::setup_scene(*creature, *world, seed);
    return kOk;
}

platform::Result AquariumApp::advance_frame(RenderApp& render_app) {
    sim::advance_frame(*creature, *world, render_app.app_time);
    return kOk;
}

platform::Result AquariumApp::render_frame(RenderApp& render_app) {
    render::FrameContext frame{};
    frame.device = render_app.device;
    frame.back_buffer_width = render_app.back_buffer_desc.width;
    frame.back_buffer_height = render_app.back_buffer_desc.height;
    frame.creature = creature.get();
    frame.world = world.get();
    frame.settings = &settings;
    frame.view_level = render_app.input.view_level;
    frame.overlay = overlay.get();
    frame.info = render::InformationText{render_app.title, render_app.frame_stats, render_app.device_stats,
                                         render_app.app_time};
    return render::render_frame(frame, *render_state);
}

}  // namespace app
