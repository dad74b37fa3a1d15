// Counts every heap allocation of the process, so it lives in an executable
// of its own.
#include <gtest/gtest.h>


#include "render/render_frame.h"
#include "tests/render/render_test_support.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/fake_glyph_rasterizer.h"


namespace {

TEST(RenderAllocation, FramesAfterTheFirstAllocateNothing) {
    rendertest::Scene scene = rendertest::make_swimming_scene(5, 30);
    auto device = rendertest::make_device();
    test_support::FakeGlyphRasterizer glyphs;
    render::TextOverlay overlay("Arial", 12, render::kTextBold, &glyphs);
    ASSERT_EQ(overlay.build_glyph_texture(device.get()), platform::kOk);
    ASSERT_EQ(overlay.prepare_for_drawing(), platform::kOk);
    device->recording = false;
    settings::Settings settings{};
    settings.d_show_info = true;
    auto state = std::make_unique<render::RendererState>();
    render::reset_renderer_state(*state);
    const render::FrameContext frame{device.get(),
                                     800,
                                     600,
                                     scene.creature.get(),
                                     scene.world.get(),
                                     &settings,
                                     0,
                                     &overlay,
                                     render::InformationText{"Aquarium", "59.94 fps (800x600x32)", "HAL", 1.0f}};

    ASSERT_EQ(render::render_frame(frame, *state), platform::kOk);
    const long before = test_support::allocation_count();
    for (int k = 31; k < 151; ++k) {
        sim::advance_frame(*scene.creature, *scene.world, static_cast<float>(k / 60.0));
        ASSERT_EQ(render::render_frame(frame, *state), platform::kOk);
    }
    EXPECT_EQ(test_support::allocation_count() - before, 0);
}

}  // namespace
