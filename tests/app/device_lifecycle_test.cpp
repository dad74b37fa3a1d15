#include "app/device_lifecycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/app_error.h"
#include "app/device_dialog_runner.h"
#include "app/frame_loop.h"
#include "app/stats_text.h"
#include "tests/app/app_test_support.h"

namespace app {
namespace {

using app_test::Framework;
using test_support::DeviceOp;
using ::testing::ElementsAre;

int create_calls(const Framework& f) {
    int n = 0;
    for (const std::string& c : f.fakes.graphics.calls) n += c.rfind("create_device", 0) == 0 ? 1 : 0;
    return n;
}

// ---- start ----

TEST(StartDeviceTest, HooksRunInStartUpOrderAroundTheDeviceCreation) {
    Framework f;
    ASSERT_EQ(f.start(), platform::kOk);
    const std::string window = std::to_string(f.app->main_window);
    EXPECT_THAT(f.journal_of({"hook:", "device_created", "set_window_style"}),
                ElementsAre("hook:init_scene", "set_window_style(" + window + ",0xce0000)", "device_created",
                            "hook:create_device_objects", "hook:reset_device_objects"));
    EXPECT_EQ(f.fakes.graphics.calls.back(), "create_device(0,1," + window + ") 0x40");
    EXPECT_TRUE(f.app->active);
    EXPECT_EQ(f.app->focus_window, f.app->main_window);
    EXPECT_STREQ(f.app->device_stats, "HAL (hw vp): Fake Display Adapter");
}

TEST(StartDeviceTest, TheGraphicsSystemIsAskedByTheAdapterOrdinalNotTheTableSlot) {
    // An unusable first display leaves the second in table slot 0.
    Framework f;
    f.fakes.graphics.adapters.insert(f.fakes.graphics.adapters.begin(),
                                     test_support::typical_adapter("Unusable Display"));
    f.app->device_table.adapters[0].ordinal = 1;
    ASSERT_EQ(f.start(), platform::kOk);
    const std::string window = std::to_string(f.app->main_window);
    EXPECT_EQ(f.fakes.graphics.calls.back(), "create_device(1,1," + window + ") 0x40");
    f.fakes.graphics.calls.clear();
    f.fakes.clock.advance(1.5);
    ASSERT_EQ(step_frame(*f.app), platform::kOk);
    EXPECT_THAT(f.fakes.graphics.calls, ::testing::Contains("get_adapter_display_mode(1)"));
}

TEST(StartDeviceTest, PresentationFollowsWindowedOrFullScreen) {
    Framework windowed;
    windowed.device(Framework::kHal).windowed_multisample = 2;
    ASSERT_EQ(windowed.start(), platform::kOk);
    const platform::PresentParams& w = windowed.app->present_params;
    EXPECT_EQ(w.windowed, 1u);
    EXPECT_EQ(w.back_buffer_width, 800u);  // the client area
    EXPECT_EQ(w.back_buffer_height, 600u);
    EXPECT_EQ(w.back_buffer_format, platform::kFormatX8R8G8B8);  // the desktop's
    EXPECT_EQ(w.multisample_type, 2u);
    EXPECT_EQ(w.back_buffer_count, 1u);
    EXPECT_EQ(w.swap_effect, platform::kSwapEffectDiscard);
    EXPECT_EQ(w.device_window, windowed.app->main_window);
    EXPECT_EQ(w.auto_depth_stencil_format, platform::kFormatD16);
    EXPECT_EQ(windowed.fakes.windows.count_calls("set_window_pos"), 1);
    EXPECT_FALSE(windowed.fakes.windows.cursor_clipped);

    Framework full;
    full.app->windowed = false;
    full.app->use_depth_buffer = true;
    full.device(Framework::kHal).windowed = false;
    full.device(Framework::kHal).current_mode = 1;
    full.device(Framework::kHal).fullscreen_multisample = 4;
    ASSERT_EQ(full.start(), platform::kOk);
    const platform::PresentParams& p = full.app->present_params;
    EXPECT_EQ(p.windowed, 0u);
    EXPECT_EQ(p.back_buffer_width, 800u);  // mode 1
    EXPECT_EQ(p.back_buffer_height, 600u);
    EXPECT_EQ(p.multisample_type, 4u);
    EXPECT_EQ(p.enable_auto_depth_stencil, 1u);
    EXPECT_EQ(full.fakes.windows.count_calls("set_window_pos"), 0);
    EXPECT_EQ(full.fakes.windows.find(full.app->main_window)->style, platform::kStyleFullScreen);
    EXPECT_TRUE(full.fakes.windows.cursor_clipped);
}

TEST(StartDeviceTest, ConfigureModeKeepsTheWindowHidden) {
    Framework f;
    f.app->mode = ScreenSaverMode::configure;
    ASSERT_EQ(f.start(), platform::kOk);
    EXPECT_EQ(f.fakes.windows.count_calls("set_window_pos(" + std::to_string(f.app->main_window) +
                                          ",-2,0,0,816,624,0x0)"), 1);
    EXPECT_FALSE(f.fakes.windows.find(f.app->main_window)->visible);
}

TEST(StartDeviceTest, FailingHardwareDeviceFallsBackToTheReferenceDeviceOnce) {
    Framework f;
    f.fakes.graphics.create_device_answers = {platform::kOutOfVideoMemory};
    ASSERT_EQ(f.start(), platform::kOk);
    ASSERT_EQ(f.fakes.message_boxes.shown.size(), 1u);
    const test_support::ShownMessageBox& box = f.fakes.message_boxes.shown[0];
    EXPECT_EQ(box.text, std::string("Not enough video memory.") + kFallbackSuffix);
    EXPECT_EQ(box.caption, "Test Title");
    EXPECT_EQ(box.flags, platform::kBoxIconWarning);
    EXPECT_EQ(f.app->device_table.adapters[0].current_device, Framework::kRef);
    EXPECT_STREQ(f.app->device_stats, "REF (simulated hw vp)");

    Framework twice;  // the reference device fails as well: its code comes back, no second fall-back
    twice.fakes.graphics.create_device_answers = {platform::kOutOfVideoMemory, platform::kNotAvailable};
    EXPECT_EQ(twice.start(), platform::kNotAvailable);
    EXPECT_EQ(twice.fakes.message_boxes.shown.size(), 1u);
    EXPECT_EQ(create_calls(twice), 2);
    EXPECT_EQ(twice.app->device, nullptr);
}

TEST(StartDeviceTest, FailingDeviceHookTearsTheDeviceDownBeforeTheFallBack) {
    Framework f;
    f.hooks.reset_answers = {platform::kOutOfMemory};
    ASSERT_EQ(f.start(), platform::kOk);
    EXPECT_THAT(f.journal_of({"hook:", "device_created", "message_box"}),
                ElementsAre("hook:init_scene", "device_created", "hook:create_device_objects",
                            "hook:reset_device_objects", "hook:release_device_objects",
                            "hook:destroy_device_objects", "message_box(Test Title)", "device_created",
                            "hook:create_device_objects", "hook:reset_device_objects"));
    EXPECT_TRUE(f.fakes.graphics.devices[0]->released);
}

TEST(StartDeviceTest, WithoutAReferenceDeviceTheHardwareFailureIsReturnedSilently) {
    Framework f;
    f.app->device_table.adapters[0].device_count = 1;
    f.fakes.graphics.create_device_answers = {platform::kOutOfVideoMemory};
    EXPECT_EQ(f.start(), platform::kOutOfVideoMemory);
    EXPECT_TRUE(f.fakes.message_boxes.shown.empty());
}

TEST(StartDeviceTest, StubReferenceDeviceIsWarnedAboutAndStillStarted) {
    Framework f;
    f.device(Framework::kRef).caps.primitive_misc_caps = platform::kMiscCapsNullReference;
    f.app->device_table.adapters[0].current_device = Framework::kRef;
    ASSERT_EQ(f.start(), platform::kOk);
    ASSERT_EQ(f.fakes.message_boxes.shown.size(), 1u);
    EXPECT_EQ(f.fakes.message_boxes.shown[0].text,
              "Warning: Nothing will be rendered.\nThe reference rendering device was selected, but your\n"
              "computer only has a reduced-functionality reference device\ninstalled.  Install the DirectX SDK "
              "to get the full\nreference device.\n");
    EXPECT_EQ(f.fakes.message_boxes.shown[0].flags, platform::kBoxIconWarning);
    EXPECT_NE(f.app->device, nullptr);
}

TEST(StartDeviceTest, SelectionsOutsideTheDeviceTableCreateNoDevice) {
    using Spoil = void (*)(settings::DeviceTable&);
    const Spoil spoils[] = {
        [](settings::DeviceTable& t) { t.current_adapter = 1; },
        [](settings::DeviceTable& t) { t.adapter_count = 11, t.current_adapter = 10; },
        [](settings::DeviceTable& t) { t.adapters[0].current_device = 2; },
        [](settings::DeviceTable& t) { t.adapters[0].devices[0].current_mode = 3; },
        [](settings::DeviceTable& t) { t.adapters[0].devices[0].mode_count = 500, t.adapters[0].devices[0].current_mode = 150; },
    };
    for (const Spoil spoil : spoils) {
        Framework f;
        spoil(f.app->device_table);
        f.make_main_window();
        EXPECT_EQ(start_device(*f.app), kNoUsableDevice);
        EXPECT_EQ(toggle_display_mode(*f.app), kNoUsableDevice);
        EXPECT_EQ(create_calls(f), 0);
    }
}

TEST(DeviceStatsTest, NamesTypeVertexProcessingAndHardwareAdapterWithinTheBuffer) {
    const struct {
        platform::DeviceType type;
        uint32_t behaviour;
        const char* text;
    } cases[] = {
        {platform::kDeviceHal, 0x50, "HAL (pure hw vp): Board"}, {platform::kDeviceRef, 0x50, "REF (simulated pure hw vp)"},
        {platform::kDeviceHal, 0x40, "HAL (hw vp): Board"},      {platform::kDeviceRef, 0x40, "REF (simulated hw vp)"},
        {platform::kDeviceHal, 0x80, "HAL (mixed vp): Board"},   {platform::kDeviceRef, 0x80, "REF (simulated mixed vp)"},
        {platform::kDeviceHal, 0x20, "HAL (sw vp): Board"},      {platform::kDeviceRef, 0x20, "REF (sw vp)"},
        {platform::kDeviceSw, 0x20, "SW (sw vp)"},
    };
    for (const auto& c : cases) {
        char text[kStatsTextSize];
        format_device_stats(text, c.type, c.behaviour, "Board");
        EXPECT_STREQ(text, c.text);
    }
    struct {
        char text[kStatsTextSize];
        char guard[8];
    } buffer;
    std::memset(buffer.guard, '#', sizeof buffer.guard);
    format_device_stats(buffer.text, platform::kDeviceHal, 0x40, std::string(511, 'x').c_str());
    EXPECT_EQ(std::strlen(buffer.text), static_cast<size_t>(kStatsTextSize - 1));
    EXPECT_EQ(std::string(buffer.guard, 8), "########");
}

// ---- reset and toggle ----

TEST(ResetDeviceTest, ReleasesResetsAndRebuildsStoppingAtTheFirstFailure) {
    Framework f;
    ASSERT_EQ(f.start(), platform::kOk);
    f.journal.clear();
    f.device_fake()->clear_calls();
    ASSERT_EQ(reset_device(*f.app), platform::kOk);
    EXPECT_THAT(f.journal_of({"hook:"}), ElementsAre("hook:release_device_objects", "hook:reset_device_objects"));
    EXPECT_EQ(f.device_fake()->calls[0].op, DeviceOp::Reset);

    f.hooks.release_answers = {kMediaMissing};
    EXPECT_EQ(reset_device(*f.app), kMediaMissing);
    EXPECT_EQ(f.device_fake()->resets, 1);
    f.device_fake()->reset_answers = {platform::kDeviceLost};
    f.journal.clear();
    EXPECT_EQ(reset_device(*f.app), platform::kDeviceLost);
    EXPECT_THAT(f.journal_of({"hook:"}), ElementsAre("hook:release_device_objects"));
}

TEST(ToggleDisplayModeTest, GoesToFullScreenInTheCurrentModeAndBack) {
    Framework f;
    ASSERT_EQ(f.start(), platform::kOk);
    ASSERT_EQ(toggle_display_mode(*f.app), platform::kOk);
    EXPECT_FALSE(f.app->windowed);
    EXPECT_FALSE(f.device(Framework::kHal).windowed);
    EXPECT_EQ(f.device_fake()->present_params.back_buffer_width, 1024u);
    EXPECT_EQ(f.fakes.windows.find(f.app->main_window)->style, platform::kStyleFullScreen);
    EXPECT_TRUE(f.app->ready);

    ASSERT_EQ(toggle_display_mode(*f.app), platform::kOk);
    EXPECT_TRUE(f.app->windowed);
    EXPECT_EQ(f.device_fake()->present_params.back_buffer_width, 800u);
    EXPECT_EQ(f.fakes.windows.find(f.app->main_window)->style, platform::kStyleConfigureWindow);
    EXPECT_EQ(f.fakes.windows.calls.back(),
              "set_window_pos(" + std::to_string(f.app->main_window) + ",-2,0,0,816,624,0x40)");
    EXPECT_EQ(f.device_fake()->resets, 2);
}

TEST(ToggleDisplayModeTest, FailedResetFailsIntoFullScreenAndRebuildsIntoAWindow) {
    Framework f;
    ASSERT_EQ(f.start(), platform::kOk);
    f.device_fake()->reset_answers = {platform::kInvalidCall, platform::kInvalidCall};
    EXPECT_EQ(toggle_display_mode(*f.app), platform::kFail);
    EXPECT_FALSE(f.app->ready);

    ASSERT_EQ(toggle_display_mode(*f.app), platform::kOk);  // back into the window: reset fails, rebuilt
    EXPECT_EQ(f.fakes.graphics.devices.size(), 2u);
    EXPECT_TRUE(f.fakes.graphics.devices[0]->released);
    EXPECT_EQ(f.app->device, f.fakes.graphics.devices[1].get());
    EXPECT_TRUE(f.app->ready);
}

TEST(ToggleDisplayModeTest, FullScreenOnlyDeviceLeavesForOneThatCanRenderInAWindow) {
    Framework f;
    f.app->windowed = false;
    f.device(Framework::kHal).windowed = false;
    f.device(Framework::kHal).can_render_windowed = false;
    ASSERT_EQ(f.start(), platform::kOk);
    ASSERT_EQ(toggle_display_mode(*f.app), platform::kOk);
    EXPECT_EQ(f.app->device_table.adapters[0].current_device, Framework::kRef);
    EXPECT_TRUE(f.app->windowed);
}

// ---- forced return to a window, shut-down ----

TEST(SwitchToWindowedTest, RemainingReferencesAreFatalAndTheDeviceIsForgotten) {
    Framework f;
    ASSERT_EQ(f.start(), platform::kOk);
    f.device_fake()->extra_references = 1;
    EXPECT_EQ(switch_to_windowed(*f.app), kObjectsStillReferenced);
    ASSERT_EQ(f.fakes.message_boxes.shown.size(), 1u);
    EXPECT_EQ(f.fakes.message_boxes.shown[0].flags, platform::kBoxIconError);
    EXPECT_EQ(f.app->device, nullptr);
    EXPECT_EQ(f.fakes.windows.quit_posts, 1);  // the fatal report closed the window
    EXPECT_EQ(create_calls(f), 1);
}

TEST(SwitchToWindowedTest, WithoutAnyWindowedDeviceFailsWithoutTouchingTheDevice) {
    Framework f;
    f.app->windowed = false;
    f.device(Framework::kHal).can_render_windowed = false;
    f.device(Framework::kRef).can_render_windowed = false;
    ASSERT_EQ(f.start(), platform::kOk);
    f.app->device_table.adapter_count = 1000;  // a count past the capacity is not followed
    EXPECT_EQ(switch_to_windowed(*f.app), platform::kFail);
    EXPECT_EQ(f.app->device, f.device_fake());
    EXPECT_TRUE(f.fakes.message_boxes.shown.empty());
}

TEST(ShutdownDeviceTest, ReleasesEverythingInOrderAndAnswersTheSceneShutdown) {
    Framework f;
    ASSERT_EQ(f.start(), platform::kOk);
    test_support::FakeGraphicsDevice* device = f.device_fake();
    f.journal.clear();
    f.hooks.shutdown_answers = {kMediaMissing};
    EXPECT_EQ(shutdown_device(*f.app), kMediaMissing);
    EXPECT_THAT(f.journal_of({"hook:"}), ElementsAre("hook:release_device_objects", "hook:destroy_device_objects",
                                                     "hook:shutdown_scene"));
    EXPECT_TRUE(device->released);
    EXPECT_TRUE(f.fakes.graphics.released);
    EXPECT_EQ(f.app->device, nullptr);
    EXPECT_EQ(f.app->graphics, nullptr);
    EXPECT_FALSE(f.app->active || f.app->ready);

    Framework never_started;  // no device: the graphics system still goes
    EXPECT_EQ(shutdown_device(*never_started.app), platform::kOk);
    EXPECT_TRUE(never_started.fakes.graphics.released);
}

// ---- device dialog ----

class ScriptedDialog : public DeviceDialogRunner {
public:
    int32_t answer = kDialogOk;
    int runs = 0;
    uint32_t windowed_when_shown = 2;
    uint32_t own_boxes_when_shown = 0;  // the dialog counts as the program's own: it does not end a run
    int32_t run_modal(RenderApp& app) override {
        ++runs;
        windowed_when_shown = app.windowed;
        own_boxes_when_shown = app.own_boxes_shown;
        return answer;
    }
};

TEST(RunDeviceDialogTest, ShownInAWindowAndOkWithTimeHeldDrawsOneFrame) {
    for (int32_t answer : {kDialogOk, kDialogCancel}) {
        Framework f;
        ScriptedDialog dialog;
        dialog.answer = answer;
        f.app->device_dialog = &dialog;
        ASSERT_EQ(f.start(), platform::kOk);
        f.app->frame_moving = false;
        EXPECT_EQ(run_device_dialog(*f.app), platform::kOk);
        EXPECT_EQ(f.app->single_step, answer == kDialogOk);
        EXPECT_EQ(dialog.own_boxes_when_shown, 1u);
        EXPECT_EQ(f.app->own_boxes_shown, 0u);
    }
    Framework full;
    ScriptedDialog dialog;
    full.app->device_dialog = &dialog;
    ASSERT_EQ(full.start(), platform::kOk);
    ASSERT_EQ(toggle_display_mode(*full.app), platform::kOk);
    EXPECT_EQ(run_device_dialog(*full.app), platform::kOk);
    EXPECT_EQ(dialog.windowed_when_shown, 1u);
}

TEST(RunDeviceDialogTest, FailedReturnToAWindowIsAFatalResetFailure) {
    Framework f;
    ScriptedDialog dialog;
    f.app->device_dialog = &dialog;
    f.app->windowed = false;
    f.device(Framework::kHal).can_render_windowed = false;
    f.device(Framework::kRef).can_render_windowed = false;
    ASSERT_EQ(f.start(), platform::kOk);
    EXPECT_EQ(run_device_dialog(*f.app), platform::kFail);
    EXPECT_EQ(dialog.runs, 0);
    ASSERT_EQ(f.fakes.message_boxes.shown.size(), 1u);
    EXPECT_EQ(f.fakes.message_boxes.shown[0].text, std::string("Could not reset the Direct3D device.") + kFatalSuffix);
}

}  // namespace
}  // namespace app
