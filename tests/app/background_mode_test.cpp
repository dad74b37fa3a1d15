// The desktop background's loop against scripted surfaces and a fake
// graphics system: the fish follow the surfaces as they come, go and change
// size, nothing is drawn while the display reads dark, and everything is
// released at the end.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "app/background_mode.h"
#include "tests/support/fake_graphics.h"
#include "tests/support/fake_platform.h"
#include "tests/support/fake_power_status.h"
#include "tests/support/fake_settings_store.h"

namespace {

using platform::BackgroundSurface;
using test_support::FakeGraphicsDevice;

// Surfaces as a script of passes: list() is asked once per pass of the loop.
class ScriptedSurfaces final : public platform::BackgroundSurfaces {
public:
    std::vector<std::vector<BackgroundSurface>> passes;  // the last one repeats
    size_t pass = 0;                                     // lists asked for so far
    std::function<void(size_t pass)> on_list;

    uint32_t list(BackgroundSurface* surfaces, uint32_t capacity) override {
        if (on_list) on_list(pass);
        const std::vector<BackgroundSurface>& now = passes[pass < passes.size() ? pass : passes.size() - 1];
        ++pass;
        uint32_t count = 0;
        for (const BackgroundSurface& surface : now) {
            if (count < capacity) surfaces[count++] = surface;
        }
        return count;
    }
    bool wait(uint32_t) override { return true; }
};

ScriptedSurfaces* g_surfaces = nullptr;
size_t g_last_pass = 0;
bool end_after_last_pass() { return g_surfaces->pass >= g_last_pass; }

BackgroundSurface surface(platform::NativeWindow window, uint32_t width, uint32_t height) {
    BackgroundSurface made{window, width, height, {}};
    std::snprintf(made.output, sizeof made.output, "OUT-%u", static_cast<unsigned>(window));
    return made;
}

TEST(BackgroundModeTest, FishFollowTheSurfacesDrawNothingWhileDarkAndAllIsReleasedAtTheEnd) {
    test_support::FakeGraphicsSystem graphics;
    graphics.adapters.push_back(test_support::typical_adapter());
    test_support::FakeGraphicsSystemFactory factory(&graphics);
    test_support::FakeSettingsStore settings;
    test_support::FakePowerStatus power;
    ScriptedSurfaces surfaces;
    surfaces.passes = {
        {surface(11, 800, 600), surface(12, 640, 480)},    // 0: two outputs
        {surface(11, 800, 600), surface(12, 640, 480)},    // 1
        {surface(11, 800, 600), surface(12, 1280, 960)},   // 2: the second rescaled
        {surface(12, 1280, 960)},                          // 3: the first output went
        {surface(12, 1280, 960), surface(13, 1024, 768)},  // 4: a new output
        {surface(12, 1280, 960), surface(13, 1024, 768)},  // 5: dark
        {surface(12, 1280, 960), surface(13, 1024, 768)},  // 6: dark
        {surface(12, 1280, 960), surface(13, 1024, 768)},  // 7
    };
    std::vector<int> presents_per_pass;
    surfaces.on_list = [&](size_t pass) {
        int presents = 0;
        for (const auto& device : graphics.devices) presents += device->presents;
        presents_per_pass.push_back(presents);
        power.state.display_dark = pass == 5 || pass == 6;
    };
    g_surfaces = &surfaces;
    g_last_pass = surfaces.passes.size();

    const app::BackgroundServices services{&surfaces, &factory, &settings, &power, &end_after_last_pass, 7};
    EXPECT_EQ(app::run_background(services), 0);

    // One device per surface, at its size; the rescaled one reset to its new size.
    ASSERT_EQ(graphics.devices.size(), 3u);
    const FakeGraphicsDevice& first = *graphics.devices[0];
    const FakeGraphicsDevice& second = *graphics.devices[1];
    const FakeGraphicsDevice& third = *graphics.devices[2];
    EXPECT_EQ(first.present_params.device_window, 11u);
    EXPECT_EQ(first.present_params.back_buffer_width, 800u);
    EXPECT_EQ(second.resets, 1);
    EXPECT_EQ(second.present_params.back_buffer_width, 1280u);
    EXPECT_EQ(second.present_params.back_buffer_height, 960u);
    EXPECT_EQ(third.present_params.device_window, 13u);
    EXPECT_EQ(third.present_params.back_buffer_width, 1024u);
    // The first output's fish went with it, in the pass that no longer listed it.
    EXPECT_TRUE(first.released);
    EXPECT_EQ(first.presents, 3);
    // Every pass with light draws every fish once; the dark passes draw nothing.
    ASSERT_EQ(presents_per_pass.size(), surfaces.passes.size());
    EXPECT_EQ(presents_per_pass[1] - presents_per_pass[0], 2);
    EXPECT_EQ(presents_per_pass[5] - presents_per_pass[4], 2);  // pass 4: the new fish drew at once
    EXPECT_EQ(presents_per_pass[6], presents_per_pass[5]);      // passes 5 and 6: dark
    EXPECT_EQ(presents_per_pass[7], presents_per_pass[6]);
    // The end releases every device and the graphics system.
    EXPECT_TRUE(second.released);
    EXPECT_TRUE(third.released);
    EXPECT_TRUE(graphics.released);
    g_surfaces = nullptr;
}

}  // namespace
