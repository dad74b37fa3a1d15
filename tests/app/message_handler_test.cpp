#include "app/message_handler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/app_error.h"
#include "app/error_report.h"
#include "tests/app/app_test_support.h"

namespace app {
namespace {

using app_test::Framework;
using test_support::DeviceOp;
using test_support::FakeWindowSystem;
using ::testing::ElementsAre;

struct Started : Framework {
    Started() {
        EXPECT_EQ(start(), platform::kOk);
        fakes.windows.default_answer = 42;  // tells default handling apart
        journal.clear();
    }
    intptr_t send(uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0) {
        return fakes.windows.send_message(app->main_window, message, wparam, lparam);
    }
    intptr_t move_to(int32_t x, int32_t y) { return send(platform::kMsgMouseMove, 0, FakeWindowSystem::make_lparam(x, y)); }
    bool closed() const { return fakes.windows.quit_posts > 0; }
    void go_full_screen() {
        app->windowed = false;
        fakes.windows.find(app->main_window)->window_rect = platform::Rect{10, 20, 826, 644};
    }
};

// ---- what ends the screen saver ----

TEST(MouseExitTest, SeventhMoveToANewPositionCloses) {
    Started f;
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(f.move_to(10 * i, 5), 42);
        EXPECT_EQ(f.move_to(10 * i, 5), 42);  // the same place again does not count
    }
    EXPECT_EQ(f.app->input.mouse_moves_seen, 6);
    EXPECT_FALSE(f.closed());
    EXPECT_EQ(f.move_to(0, 5), 0);
    EXPECT_TRUE(f.closed());
}

TEST(MouseExitTest, PositionsAreSignedSixteenBitHalves) {
    Started f;
    f.move_to(-1, -1);  // where the stored last position starts: not new
    EXPECT_EQ(f.app->input.mouse_moves_seen, 0);
    f.move_to(-3, 7);
    EXPECT_EQ(f.app->input.last_mouse_x, -3);
    EXPECT_EQ(f.app->input.last_mouse_y, 7);
    EXPECT_EQ(f.app->input.mouse_moves_seen, 1);
}

TEST(MouseExitTest, DeviceCursorFollowsInClientCoordinatesInFullScreen) {
    Started f;
    f.go_full_screen();
    f.fakes.windows.cursor = platform::Point{100, 100};
    f.move_to(1, 1);
    const auto moves = f.device_fake()->calls_of(DeviceOp::SetCursorPosition);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].a, 90u);
    EXPECT_EQ(moves[0].b, 80u);

    f.app->ready = false;  // paused: the device cursor is left alone
    f.move_to(2, 2);
    EXPECT_EQ(f.device_fake()->count_of(DeviceOp::SetCursorPosition), 1);
}

TEST(InputExitTest, ClicksOtherKeysSystemKeysAndMenusClose) {
    const struct {
        uint32_t message;
        uintptr_t wparam;
    } closing[] = {{platform::kMsgLButtonDown, 0},  {platform::kMsgRButtonDown, 0},
                   {platform::kMsgLButtonDblClk, 0}, {platform::kMsgRButtonDblClk, 0},
                   {platform::kMsgKeyDown, 'A'},     {platform::kMsgKeyDown, platform::kKeyEscape},
                   {platform::kMsgSysKeyDown, 'F'},  {platform::kMsgEnterMenuLoop, 0}};
    for (const auto& c : closing) {
        SCOPED_TRACE(testing::Message() << std::hex << c.message << " " << c.wparam);
        Started f;
        EXPECT_EQ(f.send(c.message, c.wparam), 0);
        EXPECT_TRUE(f.closed());
    }
}

TEST(InputExitTest, MiddleButtonWheelAndUnknownCommandsDoNotClose) {
    Started f;
    EXPECT_EQ(f.send(platform::kMsgMButtonDown), 42);
    EXPECT_EQ(f.send(platform::kMsgMouseWheel, 120u << 16), 42);
    EXPECT_EQ(f.send(platform::kMsgCommand, 40001), 42);
    EXPECT_FALSE(f.closed());
}

TEST(ViewKeysTest, HRaisesLLowersWithinBoundsAndSTogglesTheInformationText) {
    Started f;
    EXPECT_EQ(f.send(platform::kMsgKeyDown, 'H'), 42);
    f.send(platform::kMsgKeyDown, 'H');
    EXPECT_EQ(f.app->input.view_level, 1);
    f.send(platform::kMsgKeyDown, 'L');
    f.send(platform::kMsgKeyDown, 'L');
    EXPECT_EQ(f.app->input.view_level, 0);
    f.send(platform::kMsgKeyDown, 'S');
    EXPECT_FALSE(f.stored_settings.d_show_info);
    f.send(platform::kMsgKeyDown, 'S');
    EXPECT_TRUE(f.stored_settings.d_show_info);
    EXPECT_FALSE(f.closed());
}

// ---- display-mode toggle ----

TEST(ToggleCommandTest, FailedToggleIsReportedAsAFatalResetFailure) {
    Started f;
    f.device_fake()->reset_answers = {platform::kInvalidCall};
    EXPECT_EQ(f.send(platform::kMsgCommand, 40003), 0);
    ASSERT_EQ(f.fakes.message_boxes.shown.size(), 1u);
    EXPECT_EQ(f.fakes.message_boxes.shown[0].text, std::string("Could not reset the Direct3D device.") + kFatalSuffix);
    EXPECT_TRUE(f.closed());
}

TEST(ToggleCommandTest, IgnoredWhilePaused) {
    Started f;
    f.app->ready = false;
    EXPECT_EQ(f.send(platform::kMsgCommand, 40003), 0);
    EXPECT_EQ(f.device_fake()->resets, 0);
    EXPECT_TRUE(f.app->windowed);
}

// ---- the exit sequence ----

TEST(ExitSequenceTest, RunModeSavesTheGeneralSettingsThenShutsDown) {
    Started f;
    f.fakes.settings.key_exists = true;
    f.app->time_period_set = true;
    f.send(platform::kMsgKeyDown, 'S');
    const platform::NativeWindow window = f.app->main_window;
    f.journal.clear();
    EXPECT_EQ(f.send(platform::kMsgClose), 0);

    const auto order = f.journal_of({"settings:close_key", "hook:", "destroy_window", "post_quit"});
    EXPECT_THAT(order, ElementsAre("settings:close_key", "hook:release_device_objects", "hook:destroy_device_objects",
                                   "hook:shutdown_scene", "destroy_window(" + std::to_string(window) + ")",
                                   "post_quit_message(0)"));
    EXPECT_THAT(f.fakes.settings.written_names(), ElementsAre("r_floor", "d_show_info", "d_exit_omm", "camxz", "camyy",
                                                              "camrr", "camlr", "camhh", "d_other_monitors"));
    EXPECT_EQ(f.fakes.settings.values["d_show_info"], 0u);
    EXPECT_THAT(f.fakes.clock.ended_periods, ElementsAre(1u));
    EXPECT_EQ(f.app->main_window, 0u);
    EXPECT_EQ(f.app->device, nullptr);
}

TEST(ExitSequenceTest, ConfigureModeSavesNothingAndKeepsTheClockResolution) {
    Started f;
    f.fakes.settings.key_exists = true;
    f.app->mode = ScreenSaverMode::configure;
    f.send(platform::kMsgClose);
    EXPECT_TRUE(f.fakes.settings.calls.empty());
    EXPECT_TRUE(f.fakes.clock.ended_periods.empty());
    EXPECT_TRUE(f.closed());
}

// ---- window state ----

TEST(WindowMessagesTest, MinimiseDeactivatesAndFreesTheCursorInFullScreen) {
    Started f;
    f.go_full_screen();
    f.fakes.windows.clip_cursor(&f.app->window_rect);
    for (uintptr_t hidden : {platform::kSizeMinimized, platform::kSizeMaxHide}) {
        f.send(platform::kMsgSize, hidden);
        EXPECT_FALSE(f.app->active);
        EXPECT_FALSE(f.fakes.windows.cursor_clipped);
        f.send(platform::kMsgSize, platform::kSizeRestored);
        EXPECT_TRUE(f.app->active);
        f.fakes.windows.clip_cursor(&f.app->window_rect);
    }
}

TEST(WindowMessagesTest, RestoredWindowIsActiveOnlyWithADevice) {
    Started f;
    platform::GraphicsDevice* device = f.app->device;
    f.send(platform::kMsgSize, platform::kSizeMinimized);
    f.app->device = nullptr;  // as after a failed device change
    f.send(platform::kMsgSize, platform::kSizeRestored);
    EXPECT_FALSE(f.app->active);
    f.app->device = device;
    f.send(platform::kMsgSize, platform::kSizeRestored);
    EXPECT_TRUE(f.app->active);
}

TEST(WindowMessagesTest, FullScreenAnswersForTheWholeWindow) {
    Started f;
    f.go_full_screen();
    EXPECT_EQ(f.send(platform::kMsgSetCursor), 1);
    EXPECT_FALSE(f.fakes.windows.cursor_visible);
    EXPECT_EQ(f.send(platform::kMsgNcHitTest), platform::kHitClient);
    for (uintptr_t command : {platform::kSysCommandMove, platform::kSysCommandSize, platform::kSysCommandMaximize,
                              platform::kSysCommandKeyMenu, platform::kSysCommandMonitorPower}) {
        EXPECT_EQ(f.send(platform::kMsgSysCommand, command), 1);
    }
    EXPECT_EQ(f.send(platform::kMsgSysCommand, 0xF060), 42);

    f.app->windowed = true;  // a window gets the system's handling
    EXPECT_EQ(f.send(platform::kMsgSetCursor), 42);
    EXPECT_EQ(f.send(platform::kMsgNcHitTest), 42);
    EXPECT_EQ(f.send(platform::kMsgSysCommand, platform::kSysCommandMove), 42);
}

TEST(WindowMessagesTest, PowerQueriesAreAllowedAndMinimumSizeIsSet) {
    Started f;
    EXPECT_EQ(f.send(platform::kMsgPowerBroadcast, 0), 1);
    EXPECT_EQ(f.send(platform::kMsgPowerBroadcast, 7), 1);
    EXPECT_EQ(f.send(platform::kMsgPowerBroadcast, 4), 42);
    platform::MinMaxInfo info{};
    EXPECT_EQ(f.send(platform::kMsgGetMinMaxInfo, 0, reinterpret_cast<intptr_t>(&info)), 42);
    EXPECT_EQ(info.min_track_size.x, 100);
    EXPECT_EQ(info.min_track_size.y, 100);
}

TEST(WindowMessagesTest, ResizedWindowResetsTheDeviceWithTheNewClientSize) {
    Started f;
    f.send(platform::kMsgEnterSizeMove);
    EXPECT_FALSE(f.app->ready);
    f.fakes.windows.find(f.app->main_window)->client_rect = platform::Rect{0, 0, 640, 400};
    f.send(platform::kMsgExitSizeMove);
    EXPECT_EQ(f.device_fake()->resets, 1);
    EXPECT_EQ(f.device_fake()->present_params.back_buffer_width, 640u);
    EXPECT_EQ(f.device_fake()->present_params.back_buffer_height, 400u);
    EXPECT_TRUE(f.app->ready);

    f.send(platform::kMsgEnterSizeMove);  // moved only: no reset
    f.send(platform::kMsgExitSizeMove);
    EXPECT_EQ(f.device_fake()->resets, 1);
}

TEST(WindowMessagesTest, ChangingOnlyTheWidthOrOnlyTheHeightResetsTheDeviceToo) {
    Started f;
    FakeWindowSystem& windows = f.fakes.windows;
    f.send(platform::kMsgEnterSizeMove);
    windows.find(f.app->main_window)->client_rect = platform::Rect{0, 0, 640, 600};  // narrower only
    f.send(platform::kMsgExitSizeMove);
    EXPECT_EQ(f.device_fake()->resets, 1);
    EXPECT_EQ(f.device_fake()->present_params.back_buffer_width, 640u);
    EXPECT_EQ(f.device_fake()->present_params.back_buffer_height, 600u);

    f.send(platform::kMsgEnterSizeMove);
    windows.find(f.app->main_window)->client_rect = platform::Rect{0, 0, 640, 400};  // lower only
    f.send(platform::kMsgExitSizeMove);
    EXPECT_EQ(f.device_fake()->resets, 2);
    EXPECT_EQ(f.device_fake()->present_params.back_buffer_width, 640u);
    EXPECT_EQ(f.device_fake()->present_params.back_buffer_height, 400u);
    EXPECT_TRUE(f.app->ready);
}

TEST(WindowMessagesTest, FailedResetAfterAResizeIsFatal) {
    Started f;
    f.device_fake()->reset_answers = {platform::kOutOfVideoMemory};
    f.send(platform::kMsgEnterSizeMove);
    f.fakes.windows.find(f.app->main_window)->client_rect = platform::Rect{0, 0, 640, 400};
    EXPECT_EQ(f.send(platform::kMsgExitSizeMove), 0);
    ASSERT_EQ(f.fakes.message_boxes.shown.size(), 1u);
    EXPECT_EQ(f.fakes.message_boxes.shown[0].text, std::string("Could not reset the Direct3D device.") + kFatalSuffix);
    EXPECT_TRUE(f.closed());
}

TEST(WindowMessagesTest, PausedWindowStillShowsItsPicture) {
    Started f;
    f.send(platform::kMsgPaint);
    EXPECT_EQ(f.hooks.renders, 0);
    f.app->ready = false;
    EXPECT_EQ(f.send(platform::kMsgPaint), 42);
    EXPECT_EQ(f.hooks.renders, 1);
    EXPECT_EQ(f.device_fake()->presents, 1);
}

// ---- error reports ----

TEST(ReportErrorTest, EveryCodeShowsItsTextWithTheSuffixOfItsSeverity) {
    const struct {
        Result code;
        const char* text;
    } cases[] = {
        {kNoDirect3D, "Could not initialize Direct3D. You may\nwant to check that the latest version of\nDirectX is "
                      "correctly installed on your\nsystem.  Also make sure that this program\nwas compiled with "
                      "header files that match\nthe installed DirectX DLLs."},
        {kNoUsableDevice, "Could not find any compatible Direct3D\ndevices."},
        {kDesktopModeUnusable, "This sample cannot run in a desktop\nwindow with the current display settings.\n"
                               "Please change your desktop settings to a\n16- or 32-bit display mode and re-run "
                               "this\nsample."},
        {kNoHardwareDevice, "No hardware-accelerated Direct3D devices\nwere found."},
        {kHardwareLacksFeatures, "This sample requires functionality that is\nnot available on your Direct3D "
                                 "hardware\naccelerator."},
        {kHardwareCannotWindow, "Your Direct3D hardware accelerator cannot\nrender into a window.\nPress F2 while "
                                "the app is running to see a\nlist of available devices and modes."},
        {kHardwareCannotUseDesktop, "Your Direct3D hardware accelerator cannot\nrender into a window with the "
                                    "current\ndesktop display settings.\nPress F2 while the app is running to see "
                                    "a\nlist of available devices and modes."},
        {kHardwareLacksFeaturesInMode, "This sample requires functionality that is\nnot available on your Direct3D "
                                       "hardware\naccelerator with the current desktop display\nsettings.\nPress F2 "
                                       "while the app is running to see a\nlist of available devices and modes."},
        {kObjectsStillReferenced, "A D3D object has a non-zero reference\ncount (meaning things were not "
                                  "properly\ncleaned up)."},
        {kMediaMissing, "Could not load required media."},
        {kResetFailed, "Could not reset the Direct3D device."},
        {platform::kOutOfMemory, "Not enough memory."},
        {platform::kOutOfVideoMemory, "Not enough video memory."},
        {kNoWindow, "Generic application error. Enable\ndebug output for detailed information."},
        {platform::kFail, "Generic application error. Enable\ndebug output for detailed information."},
    };
    const std::string fallback_suffix =
        "\n\nSwitching to the reference rasterizer,\na software device that implements the entire\n"
        "Direct3D feature set, but runs very slowly.";
    for (const auto& c : cases) {
        Framework f;
        EXPECT_EQ(report_error(*f.app, c.code, kSeverityWarning), c.code);
        EXPECT_EQ(report_error(*f.app, c.code, kSeverityFallbackToReference), c.code);
        EXPECT_EQ(report_error(*f.app, c.code, kSeverityFatal), c.code);
        const auto& shown = f.fakes.message_boxes.shown;
        ASSERT_EQ(shown.size(), 3u);
        EXPECT_EQ(shown[0].text, c.text);
        EXPECT_EQ(shown[0].flags, platform::kBoxIconWarning);
        EXPECT_EQ(shown[1].text, c.text + fallback_suffix);
        EXPECT_EQ(shown[1].flags, platform::kBoxIconWarning);
        EXPECT_EQ(shown[2].text, std::string(c.text) + "\n\nThis sample will now exit.");
        EXPECT_EQ(shown[2].flags, platform::kBoxIconError);
        EXPECT_EQ(shown[2].caption, "Test Title");
        EXPECT_EQ(f.fakes.windows.sent.size(), 0u);  // no main window to close
    }
}

TEST(ReportErrorTest, FatalReportClosesAnExistingMainWindowOthersDoNot) {
    Started f;
    report_error(*f.app, kMediaMissing, kSeverityWarning);
    report_error(*f.app, kMediaMissing, kSeverityFallbackToReference);
    EXPECT_FALSE(f.closed());
    report_error(*f.app, kMediaMissing, kSeverityFatal);
    EXPECT_TRUE(f.closed());
    EXPECT_EQ(f.app->main_window, 0u);
}

}  // namespace
}  // namespace app
