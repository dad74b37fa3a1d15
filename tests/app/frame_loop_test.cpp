#include "app/frame_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/app_error.h"
#include "app/stats_text.h"
#include "tests/app/app_test_support.h"

namespace app {
namespace {

using app_test::Framework;
using test_support::DeviceOp;
using ::testing::ElementsAre;

constexpr double kFrame = 1.0 / 64.0;  // exact in binary, so times compare exactly

// A started framework whose clock has moved on by one frame, and moves on
// by one frame whenever the message loop finds nothing to do.
struct Running : Framework {
    Running() {
        EXPECT_EQ(start(), platform::kOk);
        fakes.clock.advance(kFrame);
        fakes.windows.on_idle_peek = [this] { fakes.clock.advance(kFrame); };
        journal.clear();
    }
};

// ---- one frame ----

TEST(StepFrameTest, AdvancesRendersAndPresents) {
    Running f;
    ASSERT_EQ(step_frame(*f.app), platform::kOk);
    EXPECT_THAT(f.journal_of({"hook:"}), ElementsAre("hook:advance_frame", "hook:render_frame"));
    EXPECT_EQ(f.device_fake()->presents, 1);
    EXPECT_FLOAT_EQ(f.app->elapsed_time, static_cast<float>(kFrame));
    EXPECT_EQ(f.hooks.last_app_time, f.app->app_time);
}

TEST(StepFrameTest, LostDeviceDrawsNothingAndShowsNothingUntilItCanBeReset) {
    Running f;
    f.device_fake()->cooperative_level_answers = {platform::kDeviceLost, platform::kDeviceLost,
                                                  platform::kDeviceNotReset};
    EXPECT_EQ(step_frame(*f.app), platform::kOk);
    EXPECT_EQ(step_frame(*f.app), platform::kOk);
    EXPECT_TRUE(f.journal_of({"hook:"}).empty());
    EXPECT_EQ(f.device_fake()->presents, 0);
    EXPECT_TRUE(f.fakes.message_boxes.shown.empty());

    // Resettable: the reset takes the place of the frame.
    f.fakes.graphics.adapters[0].desktop_mode.format = platform::kFormatR5G6B5;
    EXPECT_EQ(step_frame(*f.app), platform::kOk);
    EXPECT_THAT(f.journal_of({"hook:"}), ElementsAre("hook:release_device_objects", "hook:reset_device_objects"));
    EXPECT_EQ(f.device_fake()->resets, 1);
    EXPECT_EQ(f.device_fake()->presents, 0);
    EXPECT_EQ(f.device_fake()->present_params.back_buffer_format, platform::kFormatR5G6B5);
    EXPECT_EQ(f.app->device_table.adapters[0].desktop_mode.format, platform::kFormatR5G6B5);

    // Then frames come again.
    EXPECT_EQ(step_frame(*f.app), platform::kOk);
    EXPECT_EQ(f.device_fake()->presents, 1);
}

TEST(StepFrameTest, OtherDeviceFailuresAreReturnedUnchanged) {
    Running f;
    f.device_fake()->cooperative_level_answers = {platform::kInvalidCall, platform::kDeviceNotReset};
    f.device_fake()->reset_answers = {platform::kDeviceLost};
    EXPECT_EQ(step_frame(*f.app), platform::kInvalidCall);
    EXPECT_EQ(step_frame(*f.app), platform::kDeviceLost);  // the reset failed
    EXPECT_EQ(f.hooks.renders, 0);
}

TEST(StepFrameTest, FrameWithoutElapsedTimeDrawsNothing) {
    Running f;
    ASSERT_EQ(step_frame(*f.app), platform::kOk);
    f.journal.clear();
    ASSERT_EQ(step_frame(*f.app), platform::kOk);  // the clock has not moved
    EXPECT_TRUE(f.journal_of({"hook:"}).empty());
    EXPECT_EQ(f.device_fake()->presents, 1);
}

TEST(StepFrameTest, WithTimeHeldStillOnlyTheDueStepAdvances) {
    Running f;
    f.app->frame_moving = false;
    f.app->single_step = true;
    ASSERT_EQ(step_frame(*f.app), platform::kOk);
    ASSERT_EQ(step_frame(*f.app), platform::kOk);  // no elapsed time, still drawn
    EXPECT_THAT(f.journal_of({"hook:"}),
                ElementsAre("hook:advance_frame", "hook:render_frame", "hook:render_frame"));
    EXPECT_FALSE(f.app->single_step);
}

TEST(StepFrameTest, HookFailuresAreReturnedUnchangedAndNothingIsPresented) {
    Running f;
    f.hooks.advance_answers = {kMediaMissing};
    f.hooks.render_answers = {platform::kOutOfVideoMemory};
    EXPECT_EQ(step_frame(*f.app), kMediaMissing);
    EXPECT_EQ(f.hooks.renders, 0);
    f.fakes.clock.advance(kFrame);
    EXPECT_EQ(step_frame(*f.app), platform::kOutOfVideoMemory);
    EXPECT_EQ(f.device_fake()->presents, 0);
}

// ---- frame statistics ----

TEST(FrameStatsTest, LineChangesOnlyAfterMoreThanOneSecond) {
    Framework f;
    ASSERT_EQ(f.start(), platform::kOk);
    f.app->use_depth_buffer = true;
    f.device(Framework::kHal).windowed_multisample = 2;
    f.fakes.clock.advance(0.5);
    ASSERT_EQ(step_frame(*f.app), platform::kOk);  // the first measurement, 5.5 s after the clock's zero
    EXPECT_STREQ(f.app->frame_stats, "0.18 fps (800x600x32) (D16) (2x Multisample)");

    f.fakes.clock.advance(0.5);
    ASSERT_EQ(step_frame(*f.app), platform::kOk);  // 0.5 s later
    f.fakes.clock.advance(0.5);
    ASSERT_EQ(step_frame(*f.app), platform::kOk);  // exactly 1.0 s later: not yet
    EXPECT_STREQ(f.app->frame_stats, "0.18 fps (800x600x32) (D16) (2x Multisample)");

    f.fakes.clock.advance(0.5);
    ASSERT_EQ(step_frame(*f.app), platform::kOk);  // 1.5 s later: three frames
    EXPECT_STREQ(f.app->frame_stats, "2.00 fps (800x600x32) (D16) (2x Multisample)");
    EXPECT_FLOAT_EQ(f.app->frames_per_second, 2.0f);
    EXPECT_EQ(f.app->frame_count, 0u);
}

TEST(FrameStatsTest, FormatsEveryDepthFormatAndMultisampleType) {
    const struct {
        platform::Format depth;
        const char* suffix;
    } depths[] = {{platform::kFormatD16, " (D16)"},         {platform::kFormatD15S1, " (D15S1)"},
                  {platform::kFormatD24S8, " (D24S8)"},     {platform::kFormatD24X8, " (D24X8)"},
                  {platform::kFormatD24X4S4, " (D24X4S4)"}, {platform::kFormatD32, " (D32)"},
                  {platform::kFormatUnknown, ""}};
    for (const auto& d : depths) {
        char text[kStatsTextSize];
        format_frame_stats(text, FrameStatsInput{59.999f, 1024, 768, platform::kFormatX8R8G8B8, true, d.depth, 0});
        EXPECT_EQ(std::string(text), std::string("60.00 fps (1024x768x32)") + d.suffix);
    }
    for (uint32_t type = 0; type <= 17; ++type) {
        char text[kStatsTextSize];
        format_frame_stats(text, FrameStatsInput{1.0f, 640, 480, platform::kFormatA8R8G8B8, false,
                                                 platform::kFormatD16, type});
        const std::string expected = type >= 2 && type <= 16
                                         ? "1.00 fps (640x480x16) (" + std::to_string(type) + "x Multisample)"
                                         : "1.00 fps (640x480x16)";
        EXPECT_EQ(std::string(text), expected);
    }
}

// ---- pause ----

TEST(PauseTest, TwoPausesNeedTwoResumes) {
    Running f;
    pause(*f.app, true);
    pause(*f.app, true);
    pause(*f.app, false);
    EXPECT_FALSE(f.app->ready);
    const float stopped_at = read_timer(*f.app, kTimerAppTime);
    f.fakes.clock.advance(3.0);
    EXPECT_EQ(read_timer(*f.app, kTimerAppTime), stopped_at);

    pause(*f.app, false);
    EXPECT_TRUE(f.app->ready);
    f.fakes.clock.advance(0.5);
    EXPECT_FLOAT_EQ(read_timer(*f.app, kTimerAppTime), stopped_at + 0.5f);
}

TEST(PauseTest, UnmatchedResumeDoesNotLeaveTheApplicationPausedForEver) {
    Running f;
    pause(*f.app, false);
    EXPECT_TRUE(f.app->ready);
    pause(*f.app, true);
    EXPECT_FALSE(f.app->ready);
    pause(*f.app, false);
    EXPECT_TRUE(f.app->ready);
}

// ---- the message loop ----

TEST(RunTest, DrawsFramesWhileNoMessageWaitsAndEndsWithTheQuitCode) {
    Running f;
    f.hooks.after_render = [&f](RenderApp& app) {
        if (f.hooks.renders == 3) f.fakes.windows.post(app.main_window, platform::kMsgClose);
    };
    EXPECT_EQ(run(*f.app), 0);
    EXPECT_EQ(f.hooks.renders, 3);
    EXPECT_EQ(f.fakes.windows.dispatched.size(), 1u);
    EXPECT_EQ(f.app->main_window, 0u);  // the exit sequence destroyed it
}

TEST(RunTest, WaitsForMessagesWhileNotActiveOrNotReady) {
    for (const bool active : {false, true}) {
        Running f;
        f.app->active = active;
        f.app->ready = !active;
        EXPECT_EQ(run(*f.app), f.fakes.windows.idle_exit_code);
        EXPECT_EQ(f.fakes.windows.idle_waits, 1);
        EXPECT_EQ(f.hooks.renders, 0);
    }
}

TEST(RunTest, FailingFrameClosesTheWindow) {
    Running f;
    f.hooks.render_answers = {kMediaMissing};
    EXPECT_EQ(run(*f.app), 0);
    EXPECT_EQ(f.hooks.renders, 1);
    EXPECT_EQ(f.fakes.windows.quit_posts, 1);
    EXPECT_TRUE(f.fakes.message_boxes.shown.empty());
}

TEST(RunTest, AcceleratorKeysBecomeCommandsThatClose) {
    struct Key {
        uint32_t message;
        uint32_t key;
        uint16_t command;
    };
    const Key keys[] = {{platform::kMsgKeyDown, 'P', 40004},
                        {platform::kMsgKeyDown, platform::kKeyEscape, 40006},
                        {platform::kMsgKeyDown, platform::kKeyF2, 40002},
                        {platform::kMsgKeyDown, platform::kKeySpace, 40005},
                        {platform::kMsgSysKeyDown, 'X', 40006}};
    for (const Key& k : keys) {
        SCOPED_TRACE(k.command);
        Running f;
        f.fakes.windows.post(f.app->main_window, k.message, k.key);
        EXPECT_EQ(run(*f.app), 0);
        ASSERT_FALSE(f.fakes.windows.sent.empty());
        EXPECT_EQ(f.fakes.windows.sent[0].message, platform::kMsgCommand);
        EXPECT_EQ(f.fakes.windows.sent[0].wparam, k.command);
        EXPECT_TRUE(f.fakes.windows.dispatched.empty());  // translated, not dispatched
        EXPECT_EQ(f.fakes.windows.quit_posts, 1);
    }
}

TEST(RunTest, AltEnterSwitchesPresentationAndBackWithoutClosing) {
    Running f;
    f.fakes.windows.post(f.app->main_window, platform::kMsgSysKeyDown, platform::kKeyReturn);
    f.hooks.after_render = [&f](RenderApp& app) {
        if (f.hooks.renders == 1) {
            EXPECT_FALSE(app.windowed);
            f.fakes.windows.post(app.main_window, platform::kMsgSysKeyDown, platform::kKeyReturn);
        }
        if (f.hooks.renders == 2) {
            EXPECT_TRUE(app.windowed);
            f.fakes.windows.post(0, platform::kMsgQuit, 3);
        }
    };
    EXPECT_EQ(run(*f.app), 3);
    EXPECT_EQ(f.hooks.renders, 2);
    EXPECT_EQ(f.device_fake()->resets, 2);
    EXPECT_EQ(f.fakes.windows.quit_posts, 0);
    EXPECT_TRUE(f.app->ready);
}

}  // namespace
}  // namespace app
