#include "app/power_watch.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/frame_loop.h"
#include "tests/app/app_test_support.h"

namespace app {
namespace {

using app_test::Framework;

constexpr double kFrame = 1.0 / 64.0;

// A started framework whose fake clock moves on by `poll` whenever the
// message loop finds nothing to do, and by the whole timeout whenever it
// waits for messages (nothing arrives unless the test posts it).
struct Running : Framework {
    explicit Running(double poll = kFrame) {
        EXPECT_EQ(start(), platform::kOk);
        fakes.clock.advance(kFrame);
        fakes.windows.on_idle_peek = [this, poll] { fakes.clock.advance(poll); };
        fakes.windows.on_wait_message = [this](uint32_t milliseconds) {
            longest_wait = milliseconds > longest_wait ? milliseconds : longest_wait;
            fakes.clock.advance(milliseconds / 1000.0);
            if (on_wait) on_wait();
        };
    }
    double clock_seconds() const {
        return static_cast<double>(fakes.clock.counter) / static_cast<double>(fakes.clock.frequency);
    }
    std::function<void()> on_wait;
    uint32_t longest_wait = 0;
};

// Frames, then five seconds of a dark display, then frames again: nothing
// is drawn while dark, the loop wakes about four times a second, and the
// application time goes on from where it stood.
TEST(PowerWatchTest, ADarkDisplayGetsNoFramesFewWakesAndThePictureGoesOnFromWhereItWas) {
    Running f;
    platform::PowerState& power = f.fakes.power.state;
    double dark_from = 0.0, lit_at = 0.0;
    int renders_when_dark = -1, renders_when_lit = -1, wakes = 0;
    float last_time_before = 0.0f, first_time_after = 0.0f;
    f.hooks.after_render = [&](RenderApp& app) {
        if (f.hooks.renders == 10) {
            power.display_dark = true;
            dark_from = f.clock_seconds();
        }
        if (renders_when_lit >= 0 && f.hooks.renders == renders_when_lit + 1) first_time_after = app.app_time;
        if (renders_when_lit >= 0 && f.hooks.renders == renders_when_lit + 5)
            f.fakes.windows.post(0, platform::kMsgQuit, 0);
    };
    f.on_wait = [&] {
        if (renders_when_dark < 0) {
            renders_when_dark = f.hooks.renders;
            last_time_before = f.hooks.last_app_time;
        }
        EXPECT_TRUE(f.app->timer.stopped);
        ++wakes;
        if (f.clock_seconds() - dark_from >= 5.0 && power.display_dark) {
            power.display_dark = false;
            lit_at = f.clock_seconds();
            renders_when_lit = f.hooks.renders;
        }
    };
    EXPECT_EQ(run(*f.app), 0);

    EXPECT_EQ(renders_when_lit, renders_when_dark) << "frames were drawn while the display was dark";
    EXPECT_EQ(f.device_fake()->presents, f.hooks.renders);
    // The darkness is seen at the next question, at most a quarter second late.
    EXPECT_LE(renders_when_dark - 10, static_cast<int>(kPowerReadSeconds / kFrame) + 1);
    EXPECT_LE(wakes, 5 * 4 + 1);
    EXPECT_LE(f.longest_wait, 250u);
    EXPECT_LE(f.fakes.power.reads, static_cast<int>(f.clock_seconds() * 4.0) + 2);
    // The dark seconds are not application time.
    EXPECT_GT(lit_at - dark_from, 5.0);
    EXPECT_LT(first_time_after - last_time_before, 0.3f);
    EXPECT_FALSE(f.app->timer.stopped);
}

// While dark, input is handled at once and still ends the run; a pause
// that ends meanwhile does not set the time going.
TEST(PowerWatchTest, InputEndsTheRunWhileTheDisplayIsDark) {
    Running f;
    f.fakes.power.state.display_dark = true;
    int waits = 0;
    f.on_wait = [&] {
        ++waits;
        if (waits == 1) {
            f.fakes.windows.post(f.app->main_window, platform::kMsgEnterSizeMove);
            f.fakes.windows.post(f.app->main_window, platform::kMsgExitSizeMove);
        }
        if (waits == 3) {
            EXPECT_TRUE(f.app->timer.stopped);
            f.fakes.windows.post(f.app->main_window, platform::kMsgKeyDown, 'Q');
        }
    };
    EXPECT_EQ(run(*f.app), 0);
    EXPECT_EQ(waits, 3);
    EXPECT_EQ(f.hooks.renders, 0);
    EXPECT_EQ(f.fakes.windows.quit_posts, 1);
}

// On battery frames begin a thirtieth of a second apart at least, however
// fast the machine; back on mains they come at the machine's pace again.
TEST(PowerWatchTest, OnBatteryFramesAreAThirtiethOfASecondApartAtLeast) {
    Running f(1.0 / 256.0);
    f.fakes.power.state.on_battery = true;
    std::vector<float> times;
    f.hooks.after_render = [&](RenderApp& app) {
        times.push_back(app.app_time);
        if (f.hooks.renders == 60) f.fakes.power.state.on_battery = false;
        if (f.hooks.renders == 200) f.fakes.windows.post(0, platform::kMsgQuit, 0);
    };
    EXPECT_EQ(run(*f.app), 0);

    ASSERT_EQ(times.size(), 200u);
    for (size_t i = 1; i < 60; ++i) {
        EXPECT_GE(times[i] - times[i - 1], static_cast<float>(kBatteryFrameSeconds) - 1e-4f) << "frame " << i;
    }
    for (size_t i = 190; i < 200; ++i) EXPECT_LT(times[i] - times[i - 1], 0.01f) << "frame " << i;
}

}  // namespace
}  // namespace app
