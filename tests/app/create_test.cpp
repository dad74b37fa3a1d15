#include "app/create.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/app_error.h"
#include "app/device_dialog_runner.h"
#include "settings/about_text.h"
#include "tests/support/fake_platform.h"

namespace app {
namespace {

using test_support::FakeWindow;

class CountingDialog final : public DeviceDialogRunner {
public:
    int shown = 0;
    int32_t run_modal(RenderApp&) override {
        ++shown;
        return kDialogOk;
    }
};

// The application on the fake platform: one typical adapter on a
// 1024 x 768 desktop.
struct StartUp {
    test_support::FakePlatform fakes;
    CountingDialog dialog;
    std::unique_ptr<AquariumApp> aquarium;

    StartUp() {
        fakes.graphics.adapters.push_back(test_support::typical_adapter());
        aquarium = std::make_unique<AquariumApp>(fakes.bundle());
        aquarium->app.device_dialog = &dialog;
        aquarium->fix_scene_seed(7);
    }
    Result create(const char* line) { return app::create(*aquarium, line, platform::kShowNormal); }
    RenderApp& app() { return aquarium->app; }
    FakeWindow* main_window() { return fakes.windows.find(app().main_window); }
};

std::string expected_title() {
    char title[settings::kTitleBufferSize];
    settings::title_from_about_text(title, sizeof title);
    return title;
}

TEST(CreateTest, ConfigureModeShowsTheDialogOverAHiddenWindowThenCloses) {
    for (const char* line : {"", "/c", "-C:123"}) {
        StartUp s;
        ASSERT_EQ(s.create(line), platform::kOk) << line;
        EXPECT_EQ(s.dialog.shown, 1);
        EXPECT_EQ(s.app().mode, ScreenSaverMode::configure);
        EXPECT_EQ(s.fakes.graphics_factory.versions_asked, std::vector<uint32_t>{kGraphicsVersion});
        // The window was never shown; the close message ended it and
        // posted the quit message that ends the loop.
        ASSERT_FALSE(s.fakes.windows.windows.empty());
        const FakeWindow& window = s.fakes.windows.windows.front();
        EXPECT_EQ(window.style & ~platform::kStyleVisible, platform::kStyleConfigureWindow);
        EXPECT_FALSE(window.visible);
        EXPECT_TRUE(window.destroyed);
        EXPECT_EQ(s.fakes.windows.quit_posts, 1);
        EXPECT_EQ(window.title, expected_title());
        // A new key gets the general settings; the close itself saves nothing.
        EXPECT_EQ(s.fakes.settings.written_names().size(), 8u);
    }
}

TEST(CreateTest, RunModeCoversTheScreenOnTopAndGoesFullScreen) {
    StartUp s;
    ASSERT_EQ(s.create("/s"), platform::kOk);
    EXPECT_EQ(s.app().mode, ScreenSaverMode::run);
    EXPECT_EQ(s.dialog.shown, 0);
    const FakeWindow* window = s.main_window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->visible);
    EXPECT_EQ(s.fakes.windows.count_calls("set_window_pos(" + std::to_string(s.app().main_window) + ",-1"), 1);
    EXPECT_TRUE(s.app().time_period_set);
    // The toggle left the device presenting full screen in the desktop's mode.
    EXPECT_EQ(s.app().windowed, 0u);
    test_support::FakeGraphicsDevice* device = s.fakes.graphics.last_device();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->present_params.windowed, 0u);
    EXPECT_EQ(device->present_params.back_buffer_width, 1024u);
    EXPECT_EQ(device->present_params.back_buffer_height, 768u);
    EXPECT_EQ(s.app().ready, 1u);
    EXPECT_EQ(s.app().active, 1u);
}

TEST(CreateTest, RunModeSwitchesToTheSavedModeAndMultisampling) {
    StartUp s;
    s.fakes.settings.key_exists = true;
    s.fakes.settings.values = {{"r_adapter", 0}, {"r_device", 0}, {"r_mode", 1}, {"r_multi_sample", 2}};
    ASSERT_EQ(s.create("-s"), platform::kOk);
    test_support::FakeGraphicsDevice* device = s.fakes.graphics.last_device();
    ASSERT_NE(device, nullptr);
    // Modes sort with the higher format value first: mode 1 is 800 x 600 x 16.
    EXPECT_EQ(device->present_params.back_buffer_width, 800u);
    EXPECT_EQ(device->present_params.back_buffer_height, 600u);
    EXPECT_EQ(device->present_params.back_buffer_format, platform::kFormatR5G6B5);
    EXPECT_EQ(device->present_params.multisample_type, 2u);
}

TEST(CreateTest, SavedChoicesOutsideTheTableKeepTheTablesOwn) {
    StartUp s;
    s.fakes.settings.key_exists = true;
    s.fakes.settings.values = {{"r_adapter", 3}, {"r_device", 0}, {"r_mode", 900}, {"r_multi_sample", 2}};
    ASSERT_EQ(s.create("/S"), platform::kOk);
    test_support::FakeGraphicsDevice* device = s.fakes.graphics.last_device();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->present_params.back_buffer_width, 1024u);
    EXPECT_EQ(device->present_params.multisample_type, 0u);
}

// A saved multisample type that the device does not offer (another card or
// driver since it was saved) must not keep the screen saver from running:
// it goes full screen without multisampling.
TEST(CreateTest, SavedMultisampleTheDeviceDoesNotOfferIsDropped) {
    StartUp s;
    s.fakes.settings.key_exists = true;
    s.fakes.settings.values = {{"r_adapter", 0}, {"r_device", 0}, {"r_mode", 0}, {"r_multi_sample", 8}};
    ASSERT_EQ(s.create("-s"), platform::kOk);
    test_support::FakeGraphicsDevice* device = s.fakes.graphics.last_device();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->present_params.windowed, 0u);
    EXPECT_EQ(device->present_params.multisample_type, 0u);
    ASSERT_NE(s.main_window(), nullptr);
    EXPECT_FALSE(s.main_window()->destroyed);
    EXPECT_EQ(s.app().ready, 1u);
}

TEST(CreateTest, OtherLinesAndSecondInstancesEndSilentlyBeforeAnyWindow) {
    for (const char* line : {"/x", "-a", "/A", "hello"}) {
        StartUp s;
        EXPECT_LT(s.create(line), 0) << line;
        EXPECT_TRUE(s.fakes.windows.windows.empty());
        EXPECT_TRUE(s.fakes.message_boxes.shown.empty());
        EXPECT_TRUE(s.fakes.graphics_factory.versions_asked.empty());
    }
    StartUp second;
    second.fakes.instance_lock.held_elsewhere(kWindowClassName);
    EXPECT_LT(second.create("/s"), 0);
    EXPECT_TRUE(second.fakes.windows.windows.empty());
    EXPECT_LT(second.create("/p 5"), 0);
    EXPECT_TRUE(second.fakes.windows.windows.empty());
}

TEST(CreateTest, MissingGraphicsSystemIsFatalWithItsText) {
    StartUp s;
    s.fakes.graphics_factory.fails = true;
    EXPECT_EQ(s.create("/s"), kNoDirect3D);
    ASSERT_EQ(s.fakes.message_boxes.shown.size(), 1u);
    EXPECT_EQ(s.fakes.message_boxes.shown[0].caption, expected_title());
    EXPECT_EQ(s.fakes.message_boxes.shown[0].text,
              std::string(app_error_text(kNoDirect3D)) + kFatalSuffix);
}

TEST(CreateTest, PreviewDrawsInsideTheHostAndEndsWithIt) {
    StartUp s;
    const platform::NativeWindow host =
        s.fakes.windows.add_window("host", platform::Rect{100, 50, 252, 162}, platform::Rect{0, 0, 152, 112});
    s.fakes.windows.foreground = host;
    // The preview window will be the next one created; close it from the
    // queue so that the loop ends.
    const platform::NativeWindow next = host + 1;
    s.fakes.windows.post(next, platform::kMsgPaint);
    s.fakes.windows.post(next, platform::kMsgClose);
    EXPECT_LT(s.create(("/p " + std::to_string(host)).c_str()), 0);
    const FakeWindow* preview = nullptr;
    for (const FakeWindow& w : s.fakes.windows.windows) {
        if (w.id == next) preview = &w;
    }
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->parent, host);
    EXPECT_EQ(preview->window_rect.right - preview->window_rect.left, 152);
    EXPECT_EQ(preview->window_rect.bottom - preview->window_rect.top, 112);
    EXPECT_TRUE(preview->destroyed);
    EXPECT_EQ(s.fakes.windows.count_calls("stretch_bitmap(" + std::to_string(next)), 1);
    EXPECT_TRUE(s.fakes.graphics_factory.versions_asked.empty());
}

}  // namespace
}  // namespace app
