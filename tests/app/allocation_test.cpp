// Proves that frames allocate nothing: every heap allocation of the process
// is counted while the framework runs frames of the real application, with
// a fish of its own on a second monitor.

#include <gtest/gtest.h>

#include "app/aquarium_app.h"
#include "app/device_lifecycle.h"
#include "app/frame_loop.h"
#include "app/monitor_covers.h"
#include "tests/app/app_test_support.h"
#include "tests/support/counting_allocator.h"


namespace app {
namespace {

constexpr double kFrame = 1.0 / 64.0;

// The scripted graphics system, minus its call log (which allocates text).
class QuietGraphicsSystem : public test_support::FakeGraphicsSystem {
public:
    platform::Result get_adapter_display_mode(uint32_t adapter, platform::DisplayMode& out) override {
        if (adapter >= adapters.size()) return platform::kInvalidCall;
        out = adapters[adapter].desktop_mode;
        return platform::kOk;
    }
};

struct Started {
    test_support::FakePlatform fakes;
    QuietGraphicsSystem graphics;
    std::unique_ptr<AquariumApp> aquarium;

    Started() {
        graphics.adapters.push_back(test_support::typical_adapter());
        aquarium = std::make_unique<AquariumApp>(fakes.bundle());
        aquarium->fix_scene_seed(3);
        RenderApp& app = aquarium->app;
        app.graphics = &graphics;
        fakes.windows.monitors = {test_support::FakeWindowSystem::monitor(0, 0, 1024, 768),
                                  test_support::FakeWindowSystem::monitor(1024, 0, 800, 600)};
        app_test::fill_device_table(app, graphics.adapters[0]);
        app_test::make_main_window(app, fakes.windows);
        EXPECT_EQ(start_device(app), platform::kOk);
        app.ready = true;
        app.use_depth_buffer = true;
        app.device_table.adapters[0].devices[0].windowed_multisample = 4;
        cover_other_monitors(app);
        EXPECT_EQ(graphics.devices.size(), 2u);
        for (auto& device : graphics.devices) device->recording = false;
        fakes.windows.recording = false;
        for (int frame = 0; frame < 3; ++frame) {  // past the first frame's one-time work
            fakes.clock.advance(kFrame);
            EXPECT_EQ(step_frame(app), platform::kOk);
        }
    }
};

TEST(FrameAllocationTest, FramesAroundALossAndResetAllocateNothing) {
    Started s;
    RenderApp& app = s.aquarium->app;
    test_support::FakeGraphicsDevice& device = *s.graphics.devices.front();
    // Lost for two frames, then reset, somewhere in the middle.
    for (int i = 0; i < 300; ++i) device.cooperative_level_answers.push_back(platform::kOk);
    device.cooperative_level_answers.push_back(platform::kDeviceLost);
    device.cooperative_level_answers.push_back(platform::kDeviceLost);
    device.cooperative_level_answers.push_back(platform::kDeviceNotReset);

    // The reset itself rebuilds device resources (the text's vertex buffer
    // and state blocks), which may allocate; every other frame must not.
    constexpr int kResetFrame = 302;
    const long before = test_support::allocation_count();
    for (int frame = 0; frame < 1200; ++frame) {
        test_support::set_allocation_counting(frame != kResetFrame);
        s.fakes.clock.advance(kFrame);
        if (platform::failed(step_frame(app))) break;
    }
    test_support::set_allocation_counting(true);
    EXPECT_EQ(test_support::allocation_count() - before, 0);
    EXPECT_EQ(device.resets, 1);
    EXPECT_GT(device.presents, 1100);
    EXPECT_GT(s.graphics.devices.back()->presents, 1100);  // the other monitor's fish
    EXPECT_STRNE(app.frame_stats, "");
}

TEST(FrameAllocationTest, MessageLoopAllocatesNothingWhileItDrawsFrames) {
    Started s;
    RenderApp& app = s.aquarium->app;
    test_support::FakeGraphicsDevice& device = *s.graphics.devices.front();
    const int presents_before = device.presents;
    s.fakes.windows.on_idle_peek = [&] {
        s.fakes.clock.advance(kFrame);
        if (device.presents - presents_before == 600) {
            test_support::set_allocation_counting(false);
            s.fakes.windows.post(0, platform::kMsgQuit, 5);
        }
    };
    const long before = test_support::allocation_count();
    EXPECT_EQ(run(app), 5);
    test_support::set_allocation_counting(true);
    EXPECT_EQ(test_support::allocation_count() - before, 0);
    EXPECT_EQ(device.presents - presents_before, 600);
}

}  // namespace
}  // namespace app
