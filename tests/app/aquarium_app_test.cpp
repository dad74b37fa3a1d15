#include "app/aquarium_app.h"

#include <cmath>
#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/device_lifecycle.h"
#include "settings/device_table.h"
#include "app/frame_loop.h"
#include "sim/scene_setup.h"
#include "sim/scheduling.h"
#include "tests/app/app_test_support.h"

namespace app {
namespace {

using test_support::DeviceCall;
using test_support::DeviceOp;

// The application on the fake platform with the device table of the
// framework tests and its main window.
struct Aquarium {
    test_support::FakePlatform fakes;
    std::unique_ptr<AquariumApp> aquarium;

    Aquarium() {
        fakes.graphics.adapters.push_back(test_support::typical_adapter());
        aquarium = std::make_unique<AquariumApp>(fakes.bundle());
        aquarium->app.graphics = &fakes.graphics;
        app_test::fill_device_table(aquarium->app, fakes.graphics.adapters[0]);
    }
    RenderApp& app() { return aquarium->app; }
    Result start() {
        app_test::make_main_window(app(), fakes.windows);
        const Result r = start_device(app());
        app().ready = true;
        return r;
    }
};

TEST(AquariumAppTest, ConstructionSetsTheApplicationsValuesOverTheFrameworkDefaults) {
    Aquarium a;
    const RenderApp& app = a.app();
    EXPECT_STREQ(app.title, "zizevov");
    EXPECT_TRUE(app.use_depth_buffer);
    EXPECT_EQ(app.hooks, a.aquarium.get());
    EXPECT_EQ(app.settings, &a.aquarium->settings);
    EXPECT_TRUE(a.aquarium->settings.d_show_info);
    EXPECT_TRUE(app.frame_moving);
    EXPECT_TRUE(app.clip_cursor_fullscreen);
    EXPECT_EQ(app.min_depth_bits, 16u);
    EXPECT_EQ(app.min_stencil_bits, 0u);
    EXPECT_EQ(app.default_width, 1017);
    EXPECT_EQ(app.default_height, 690);
    EXPECT_FALSE(app.active);
    EXPECT_FALSE(app.ready);
    EXPECT_FALSE(app.single_step);
    EXPECT_TRUE(app.mode == ScreenSaverMode::run);
}

TEST(AquariumAppTest, AcceptsOnlyNonPureDevicesWithAlphaTextures) {
    Aquarium a;
    platform::DeviceCaps caps{};
    const auto check = [&](uint32_t texture_caps, uint32_t behaviour) {
        caps.texture_caps = texture_caps;
        return a.aquarium->check_device_caps(caps, behaviour, platform::kFormatX8R8G8B8);
    };
    EXPECT_EQ(check(platform::kTextureCapsAlpha, 0x40), platform::kOk);
    EXPECT_EQ(check(platform::kTextureCapsAlphaPalette, 0x20), platform::kOk);
    EXPECT_EQ(check(platform::kTextureCapsAlpha, 0x80), platform::kOk);
    EXPECT_EQ(check(platform::kTextureCapsAlpha, 0x50), platform::kFail);
    EXPECT_EQ(check(0x1 | 0x2 | 0x100, 0x40), platform::kFail);

    // The device-table builder reaches the same test through the framework.
    const settings::CheckDeviceCaps through_framework = &check_device_caps_of;
    caps.texture_caps = platform::kTextureCapsAlpha;
    EXPECT_EQ(through_framework(&a.app(), caps, 0x40, platform::kFormatX8R8G8B8), platform::kOk);
    EXPECT_EQ(through_framework(&a.app(), caps, 0x50, platform::kFormatX8R8G8B8), platform::kFail);
}

// What the scene's drawing relies on once the device objects are reset,
// read from the device's resulting state (not from the order of the calls).
void expect_scene_state(const test_support::FakeGraphicsDevice& device) {
    using platform::RenderState;
    using platform::TextureStageState;
    const auto render = [&](RenderState s) { return device.render_state[static_cast<int>(s)]; };
    const auto stage = [&](TextureStageState s) { return device.stage_state[0][static_cast<int>(s)]; };
    // Lit, depth-tested, smooth-shaded drawing.
    EXPECT_EQ(render(RenderState::Lighting), 1u);
    EXPECT_EQ(render(RenderState::ZEnable), 1u);
    EXPECT_EQ(render(RenderState::ShadeMode), platform::kShadeGouraud);
    EXPECT_EQ(render(RenderState::DitherEnable), 1u);
    // A dim grey ambient light: the later of the two ambient values stays.
    EXPECT_EQ(render(RenderState::Ambient), 0x00404040u);
    // Fog is prepared (linear per vertex, by range, from 20 to 21 units) but off.
    EXPECT_EQ(render(RenderState::FogEnable), 0u);
    EXPECT_EQ(render(RenderState::FogVertexMode), platform::kFogLinear);
    EXPECT_EQ(render(RenderState::FogTableMode), platform::kFogNone);
    EXPECT_EQ(render(RenderState::RangeFogEnable), 1u);
    float start = 0.0f, end = 0.0f, density = 0.0f;
    const uint32_t start_bits = render(RenderState::FogStart), end_bits = render(RenderState::FogEnd),
                   density_bits = render(RenderState::FogDensity);
    std::memcpy(&start, &start_bits, sizeof start);
    std::memcpy(&end, &end_bits, sizeof end);
    std::memcpy(&density, &density_bits, sizeof density);
    EXPECT_EQ(start, 20.0f);
    EXPECT_EQ(end, 21.0f);
    EXPECT_EQ(density, 0.058f);
    // Blending, when switched on (the text), weighs by the source's alpha.
    EXPECT_EQ(render(RenderState::SrcBlend), platform::kBlendSourceAlpha);
    EXPECT_EQ(render(RenderState::DestBlend), platform::kBlendInverseSourceAlpha);
    // Textures modulate the lit colour and alpha, filtered and wrapped.
    EXPECT_EQ(stage(TextureStageState::ColorOp), platform::kTextureOpModulate);
    EXPECT_EQ(stage(TextureStageState::ColorArg1), platform::kTextureArgTexture);
    EXPECT_EQ(stage(TextureStageState::ColorArg2), platform::kTextureArgCurrent);
    EXPECT_EQ(stage(TextureStageState::AlphaOp), platform::kTextureOpModulate);
    EXPECT_EQ(stage(TextureStageState::AlphaArg1), platform::kTextureArgTexture);
    EXPECT_EQ(stage(TextureStageState::AlphaArg2), platform::kTextureArgCurrent);
    for (TextureStageState filter :
         {TextureStageState::MinFilter, TextureStageState::MagFilter, TextureStageState::MipFilter}) {
        EXPECT_EQ(stage(filter), platform::kFilterLinear);
    }
    EXPECT_EQ(stage(TextureStageState::AddressU), platform::kAddressWrap);
    EXPECT_EQ(stage(TextureStageState::AddressV), platform::kAddressWrap);

    // Two white directional lights, normalised, at half and 0.4 strength.
    const struct {
        float x, y, z, level;
    } lights[] = {{-0.5f, -1.0f, -1.5f, 0.5f}, {1.0f, -1.5f, 1.0f, 0.4f}};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(device.light_enabled[i]);
        const platform::Light& light = device.lights[i];
        const float length =
            std::sqrt(lights[i].x * lights[i].x + lights[i].y * lights[i].y + lights[i].z * lights[i].z);
        EXPECT_EQ(light.type, platform::kLightDirectional);
        EXPECT_EQ(light.diffuse.r, lights[i].level);
        EXPECT_EQ(light.diffuse.g, lights[i].level);
        EXPECT_EQ(light.diffuse.b, lights[i].level);
        EXPECT_EQ(light.diffuse.a, 0.0f);
        EXPECT_FLOAT_EQ(light.direction.x, lights[i].x / length);
        EXPECT_FLOAT_EQ(light.direction.y, lights[i].y / length);
        EXPECT_FLOAT_EQ(light.direction.z, lights[i].z / length);
        EXPECT_EQ(light.range, 1000.0f);
        EXPECT_EQ(light.specular.r + light.ambient.r + light.attenuation0, 0.0f);
    }
    EXPECT_FALSE(device.light_enabled[2]);
}

TEST(AquariumAppTest, ResetLeavesTheDeviceReadyToDrawTheScene) {
    Aquarium a;
    ASSERT_EQ(a.start(), platform::kOk);
    test_support::FakeGraphicsDevice& device = *a.fakes.graphics.last_device();
    expect_scene_state(device);
    // The text overlay has its vertex buffer and state blocks.
    EXPECT_EQ(device.count_of(DeviceOp::CreateVertexBuffer), 1);
    EXPECT_GE(device.count_of(DeviceOp::EndStateBlock), 2);
}

TEST(AquariumAppTest, RenderStatesTheDeviceRefusesDoNotStopTheScene) {
    Aquarium a;
    ASSERT_EQ(a.start(), platform::kOk);
    test_support::FakeGraphicsDevice& device = *a.fakes.graphics.last_device();
    device.render_state_answer = platform::kInvalidCall;
    EXPECT_EQ(a.aquarium->reset_device_objects(a.app()), platform::kOk);
    // The rest of the scene's set-up still happened.
    EXPECT_EQ(device.stage_state[0][static_cast<int>(platform::TextureStageState::ColorOp)],
              platform::kTextureOpModulate);
    EXPECT_TRUE(device.light_enabled[0] && device.light_enabled[1]);
}

TEST(AquariumAppTest, ADeviceResetRestoresTheSceneState) {
    Aquarium a;
    ASSERT_EQ(a.start(), platform::kOk);
    test_support::FakeGraphicsDevice& device = *a.fakes.graphics.last_device();
    // A real reset forgets every state; so does the fake here.
    std::memset(device.render_state, 0, sizeof device.render_state);
    std::memset(device.stage_state, 0, sizeof device.stage_state);
    std::memset(device.light_enabled, 0, sizeof device.light_enabled);
    std::memset(static_cast<void*>(device.lights), 0, sizeof device.lights);
    ASSERT_EQ(reset_device(a.app()), platform::kOk);
    expect_scene_state(device);
}

// The creature a seed builds, for comparison.
sim::Vec3 start_position(uint32_t seed) {
    auto creature = std::make_unique<sim::Creature>();
    auto world = std::make_unique<sim::SimWorld>();
    sim::reset_records(*creature, *world);
    sim::setup_scene(*creature, *world, seed);
    return creature->position;
}

TEST(AquariumAppTest, SceneIsSeededWithTheCalendarTimeOrAFixedSeed) {
    Aquarium calendar;
    calendar.fakes.clock.calendar = 1'000'000'007;
    ASSERT_EQ(calendar.aquarium->init_scene(calendar.app()), platform::kOk);
    const sim::Vec3 expected_calendar = start_position(1'000'000'007);
    EXPECT_EQ(std::memcmp(&calendar.aquarium->creature->position, &expected_calendar, sizeof expected_calendar), 0);

    Aquarium fixed;
    fixed.aquarium->fix_scene_seed(42);
    ASSERT_EQ(fixed.aquarium->init_scene(fixed.app()), platform::kOk);
    const sim::Vec3 expected_fixed = start_position(42);
    EXPECT_EQ(std::memcmp(&fixed.aquarium->creature->position, &expected_fixed, sizeof expected_fixed), 0);
    EXPECT_NE(std::memcmp(&expected_fixed, &expected_calendar, sizeof expected_fixed), 0);
}

TEST(AquariumAppTest, ASaltGivesProgramsStartedInTheSameSecondFishOfTheirOwn) {
    // Two modules (one per monitor) start in the same second.
    sim::Vec3 positions[3];
    for (uint32_t salt = 0; salt < 3; ++salt) {
        Aquarium module;
        module.fakes.clock.calendar = 1'000'000'007;
        module.aquarium->salt_clock_seed(4000 + salt);
        ASSERT_EQ(module.aquarium->init_scene(module.app()), platform::kOk);
        positions[salt] = module.aquarium->creature->position;
    }
    EXPECT_NE(std::memcmp(&positions[0], &positions[1], sizeof positions[0]), 0);
    EXPECT_NE(std::memcmp(&positions[1], &positions[2], sizeof positions[0]), 0);
    const sim::Vec3 unsalted = start_position(1'000'000'007);
    EXPECT_NE(std::memcmp(&positions[0], &unsalted, sizeof unsalted), 0);

    // A fixed seed stays what it is.
    Aquarium fixed;
    fixed.aquarium->salt_clock_seed(4000);
    fixed.aquarium->fix_scene_seed(42);
    ASSERT_EQ(fixed.aquarium->init_scene(fixed.app()), platform::kOk);
    const sim::Vec3 expected_fixed = start_position(42);
    EXPECT_EQ(std::memcmp(&fixed.aquarium->creature->position, &expected_fixed, sizeof expected_fixed), 0);
}

TEST(AquariumAppTest, FramesAdvanceTheSimulationAtTheFramesApplicationTime) {
    Aquarium a;
    a.aquarium->fix_scene_seed(7);
    ASSERT_EQ(a.start(), platform::kOk);  // the common window steps ran init_scene

    auto creature = std::make_unique<sim::Creature>();
    auto world = std::make_unique<sim::SimWorld>();
    sim::reset_records(*creature, *world);
    sim::setup_scene(*creature, *world, 7);

    for (int frame = 1; frame <= 5; ++frame) {
        a.fakes.clock.advance(1.0 / 64.0);
        ASSERT_EQ(step_frame(a.app()), platform::kOk);
        sim::advance_frame(*creature, *world, a.app().app_time);
    }
    // The timer is never reset: application time counts from the clock's zero.
    EXPECT_FLOAT_EQ(a.app().app_time, 5.0f + 5.0f / 64.0f);
    EXPECT_EQ(a.aquarium->world->sim_time, world->sim_time);
    EXPECT_EQ(std::memcmp(&a.aquarium->creature->position, &creature->position, sizeof creature->position), 0);
    EXPECT_EQ(a.fakes.graphics.last_device()->presents, 5);
    EXPECT_EQ(shutdown_device(a.app()), platform::kOk);
}

}  // namespace
}  // namespace app
