// A real picture: the tank drawn by the OpenGL device on the offscreen
// graphics system with the application's lights, read back pixel by pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "app/aquarium_app.h"
#include "platform/egl/egl_graphics.h"
#include "platform/egl/egl_headless_graphics.h"
#include "render/render_frame.h"
#include "tests/render/render_test_support.h"
#include "tests/support/fake_platform.h"
#include "tests/support/present_params.h"

namespace {

constexpr uint32_t kWidth = 640;
constexpr uint32_t kHeight = 480;

// The lit colour of a surface facing up (every tank line's normal): the
// ambient 0x40 plus the two directional lights at their angles to the vertical.
constexpr double kUpLighting = 0.25 + 0.5 * 1.0 / 1.8708286933869707 + 0.4 * 1.5 / 2.0615528128088303;

// Pixels within `tolerance` of the colour (r, g, b), given as 0..1 before lighting.
int count_lit(const std::vector<uint8_t>& rgba, double r, double g, double b, double lighting, int tolerance) {
    const int want[3] = {static_cast<int>(r * lighting * 255 + 0.5), static_cast<int>(g * lighting * 255 + 0.5),
                         static_cast<int>(b * lighting * 255 + 0.5)};
    int n = 0;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        n += std::abs(rgba[i] - want[0]) <= tolerance && std::abs(rgba[i + 1] - want[1]) <= tolerance &&
                     std::abs(rgba[i + 2] - want[2]) <= tolerance
                 ? 1
                 : 0;
    }
    return n;
}

TEST(RenderPixels, BackgroundAndTheTankLinesInTheirLitColours) {
    platform::GraphicsSystem* system =
        platform::make_headless_graphics_system_factory(kWidth, kHeight)->create(platform::kGraphicsSystemVersion);
    ASSERT_NE(system, nullptr) << "no offscreen OpenGL (EGL surfaceless) on this machine";
    platform::PresentParams params =
        test_support::windowed_params({.width = kWidth, .height = kHeight, .depth = platform::kFormatD24S8});
    platform::GraphicsDevice* device = nullptr;
    ASSERT_EQ(
        system->create_device(0, platform::kDeviceHal, 0, platform::kCreateHardwareVertexProcessing, params, &device),
        platform::kOk);

    // The application's device states and lights.
    test_support::FakePlatform fakes;
    auto application = std::make_unique<app::AquariumApp>(fakes.bundle());
    application->app.device = device;
    ASSERT_EQ(application->reset_device_objects(application->app), platform::kOk);

    // Look at the foot of the far wall (drawing z = 10) with the fish behind
    // the eye, out of the picture.
    rendertest::Scene scene = rendertest::make_swimming_scene(3, 120);
    sim::Creature& creature = *scene.creature;
    scene.world->start_position = sim::Vec3{0.0, 10.0, 0.3};
    creature.head_pt = creature.head_pt_prev = scene.world->start_position;
    creature.position = sim::Vec3{0.0, -3.0, 4.0};
    settings::Settings settings{};
    auto state = std::make_unique<render::RendererState>();
    render::reset_renderer_state(*state);
    const render::FrameContext frame{device,    kWidth, kHeight, scene.creature.get(),     scene.world.get(),
                                     &settings, 0,      nullptr, render::InformationText{}};
    ASSERT_EQ(render::render_frame(frame, *state), platform::kOk);
    std::vector<uint8_t> rgba(static_cast<size_t>(kWidth) * kHeight * 4);
    ASSERT_EQ(platform::read_pixels(device, rgba.data(), kWidth, kHeight), platform::kOk);

    // Thin lines over the background colour 0xFF000028.
    EXPECT_GT(count_lit(rgba, 0.0, 0.0, 0x28 / 255.0, 1.0, 0), static_cast<int>(kWidth * kHeight / 2));
    EXPECT_GT(count_lit(rgba, 0.25, 0.55, 0.4, kUpLighting, 3), 200) << "floor";
    EXPECT_GT(count_lit(rgba, 0.35, 0.45, 0.65, kUpLighting, 3), 200) << "walls";

    application.reset();
    device->release();
    system->release();
}

}  // namespace
