#include "app/create.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
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
    std::function<void(RenderApp&)> on_show;
    int32_t run_modal(RenderApp& app) override {
        ++shown;
        if (on_show) on_show(app);
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

// ---- start-up order, journaled across the platform's services ----

// Services that write what the start-up asks of them into one journal and
// hand the work to the fakes. The settings store also notes the title the
// program had at its first settings call.
struct Journal {
    std::vector<std::string> entries;
    const char* title = nullptr;  // the program's title buffer
    void add(std::string entry) { entries.push_back(std::move(entry)); }
};

class JournalingSettings final : public platform::SettingsStore {
public:
    JournalingSettings(test_support::FakeSettingsStore& store, Journal& journal) : store_(store), journal_(journal) {}
    Result create_key(bool& created) override { return note("create_key"), store_.create_key(created); }
    Result open_key() override { return note("open_key"), store_.open_key(); }
    bool read_value(const char* name, uint32_t& value) override {
        return note(std::string("read ") + name), store_.read_value(name, value);
    }
    Result write_value(const char* name, uint32_t value) override {
        return note(std::string("write ") + name), store_.write_value(name, value);
    }
    bool read_float_value(const char* name, uint32_t& bits) override {
        return note(std::string("read ") + name), store_.read_float_value(name, bits);
    }
    Result write_float_value(const char* name, uint32_t bits) override {
        return note(std::string("write ") + name), store_.write_float_value(name, bits);
    }
    Result close_key() override { return note("close_key"), store_.close_key(); }

private:
    void note(const std::string& call) {
        if (!titled_) journal_.add(std::string("title:") + (journal_.title ? journal_.title : ""));
        titled_ = true;
        journal_.add("settings:" + call);
    }
    test_support::FakeSettingsStore& store_;
    Journal& journal_;
    bool titled_ = false;
};

class JournalingLock final : public platform::InstanceLock {
public:
    JournalingLock(test_support::FakeInstanceLock& lock, Journal& journal) : lock_(lock), journal_(journal) {}
    bool try_acquire(const char* class_name) override {
        journal_.add(std::string("lock:") + class_name);
        return lock_.try_acquire(class_name);
    }
    void release() override { lock_.release(); }

private:
    test_support::FakeInstanceLock& lock_;
    Journal& journal_;
};

class JournalingClock final : public platform::Clock {
public:
    JournalingClock(test_support::FakeClock& clock, Journal& journal) : clock_(clock), journal_(journal) {}
    bool query_performance_frequency(int64_t& ticks) override { return clock_.query_performance_frequency(ticks); }
    int64_t query_performance_counter() override { return clock_.query_performance_counter(); }
    uint32_t time_get_time() override { return clock_.time_get_time(); }
    uint32_t time_begin_period(uint32_t ms) override {
        journal_.add("clock:begin_period");
        return clock_.time_begin_period(ms);
    }
    uint32_t time_end_period(uint32_t ms) override { return clock_.time_end_period(ms); }
    int64_t calendar_seconds() override {
        journal_.add("scene:seeded");  // the scene takes its seed from the calendar
        return clock_.calendar_seconds();
    }

private:
    test_support::FakeClock& clock_;
    Journal& journal_;
};

class JournalingGraphicsFactory final : public platform::GraphicsSystemFactory {
public:
    JournalingGraphicsFactory(test_support::FakeGraphicsSystemFactory& factory, Journal& journal)
        : factory_(factory), journal_(journal) {}
    platform::GraphicsSystem* create(uint32_t version) override {
        journal_.add("graphics:create");
        return factory_.create(version);
    }

private:
    test_support::FakeGraphicsSystemFactory& factory_;
    Journal& journal_;
};

// The start-up of the program on journaling services; the scene is seeded
// from the calendar so that the journal shows when the scene is built.
struct JournaledStartUp {
    test_support::FakePlatform fakes;
    Journal journal;
    JournalingSettings settings{fakes.settings, journal};
    JournalingLock lock{fakes.instance_lock, journal};
    JournalingClock clock{fakes.clock, journal};
    JournalingGraphicsFactory factory{fakes.graphics_factory, journal};
    CountingDialog dialog;
    std::unique_ptr<AquariumApp> aquarium;

    JournaledStartUp() {
        fakes.graphics.adapters.push_back(test_support::typical_adapter());
        fakes.windows.journal = &journal.entries;
        fakes.message_boxes.journal = &journal.entries;
        fakes.graphics.on_device_created = [this](test_support::FakeGraphicsDevice&) {
            journal.add("device:created");
        };
        platform::Platform services = fakes.bundle();
        services.settings = &settings;
        services.instance_lock = &lock;
        services.clock = &clock;
        services.graphics = &factory;
        aquarium = std::make_unique<AquariumApp>(services);
        aquarium->app.device_dialog = &dialog;
        journal.title = aquarium->title;
        journal.entries.clear();
    }
    Result create(const char* line) { return app::create(*aquarium, line, platform::kShowNormal); }

    // Index of the first entry starting with `prefix` (after `from`); the
    // journal's size when there is none.
    size_t at(const std::string& prefix, size_t from = 0) const {
        for (size_t i = from; i < journal.entries.size(); ++i) {
            if (journal.entries[i].rfind(prefix, 0) == 0) return i;
        }
        return journal.entries.size();
    }
    std::string dump() const {
        std::string out;
        for (const std::string& e : journal.entries) out += e + "\n";
        return out;
    }
};

TEST(StartUpOrderTest, RunModeTakesTitleSettingsLockLineAndClockBeforeSceneAndDevice) {
    JournaledStartUp s;
    s.fakes.settings.key_exists = true;
    s.fakes.settings.values = {{"r_adapter", 0}, {"r_device", 0}, {"r_mode", 1}, {"r_multi_sample", 0}};
    ASSERT_EQ(s.create("/s"), platform::kOk) << s.dump();
    const size_t n = s.journal.entries.size();
    // The title is set before anything else: the first settings call sees it.
    EXPECT_EQ(s.journal.entries.at(0), "title:" + expected_title()) << s.dump();
    const size_t general = s.at("settings:read d_show_info");
    const size_t lock = s.at("lock:pel WindowClassName");
    const size_t line = s.at("foreground_window");
    const size_t graphics = s.at("graphics:create");
    const size_t window = s.at("create_window(");
    const size_t period = s.at("clock:begin_period");
    const size_t scene = s.at("scene:seeded");
    const size_t device = s.at("device:created");
    ASSERT_LT(device, n) << s.dump();
    EXPECT_LT(general, lock) << s.dump();
    EXPECT_LT(lock, line) << s.dump();
    EXPECT_LT(line, graphics) << s.dump();
    EXPECT_LT(graphics, window) << s.dump();
    EXPECT_LT(window, period) << s.dump();
    EXPECT_LT(period, scene) << s.dump();
    EXPECT_LT(scene, device) << s.dump();
    // Then the window goes on top, then the saved device choice is read,
    // then the switch to full screen takes it.
    const std::string main = std::to_string(s.aquarium->app.main_window);
    const size_t topmost = s.at("set_window_pos(" + main + ",-1", device);
    const size_t saved = s.at("settings:read r_adapter", device);
    EXPECT_LT(topmost, saved) << s.dump();
    EXPECT_LT(saved, n) << s.dump();
    test_support::FakeGraphicsDevice* made = s.fakes.graphics.last_device();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->resets, 1);  // the switch to full screen
    EXPECT_EQ(made->present_params.windowed, 0u);
    EXPECT_EQ(made->present_params.back_buffer_width, 800u);  // the saved mode
    EXPECT_TRUE(s.fakes.message_boxes.shown.empty());
}

TEST(StartUpOrderTest, ConfigureModeReadsTheSavedChoiceAfterTheDeviceAndBeforeTheDialog) {
    JournaledStartUp s;
    s.fakes.settings.key_exists = true;
    s.fakes.settings.values = {{"r_adapter", 0}, {"r_device", 0}, {"r_mode", 1}, {"r_multi_sample", 0}};
    uint32_t mode_in_dialog = 99;
    s.dialog.on_show = [&](RenderApp& app) {
        s.journal.add("dialog");
        const settings::AdapterRecord& adapter = app.device_table.adapters[app.device_table.current_adapter];
        mode_in_dialog = adapter.devices[adapter.current_device].current_mode;
    };
    ASSERT_EQ(s.create("/c"), platform::kOk) << s.dump();
    const size_t lock = s.at("lock:pel WindowClassName");
    const size_t device = s.at("device:created");
    const size_t saved = s.at("settings:read r_adapter", device);
    const size_t dialog = s.at("dialog");
    ASSERT_LT(dialog, s.journal.entries.size()) << s.dump();
    EXPECT_LT(lock, device);
    EXPECT_LT(device, saved) << s.dump();
    EXPECT_LT(saved, dialog) << s.dump();
    EXPECT_EQ(s.at("clock:begin_period"), s.journal.entries.size());  // configure keeps the clock as it is
    EXPECT_EQ(mode_in_dialog, 1u);  // the dialog opens on the saved choice
    EXPECT_EQ(s.fakes.graphics.last_device()->present_params.windowed, 1u);  // the device stays in the window
}

TEST(StartUpOrderTest, RunModeWhoseSwitchToFullScreenFailsClosesAtOnce) {
    JournaledStartUp s;
    s.fakes.graphics.on_device_created = [&s](test_support::FakeGraphicsDevice& device) {
        s.journal.add("device:created");
        device.reset_answers = {platform::kOutOfVideoMemory};  // the switch to full screen
    };
    ASSERT_EQ(s.create("/s"), platform::kOk) << s.dump();
    // The window is closed through the ordinary exit: the loop that follows
    // finds the quit message at once, and the device and system are gone.
    const size_t saved = s.at("settings:read r_adapter");
    const size_t close = s.at("send_message(", saved);
    EXPECT_LT(close, s.journal.entries.size()) << s.dump();
    EXPECT_LT(close, s.at("destroy_window(", saved)) << s.dump();
    ASSERT_FALSE(s.fakes.windows.windows.empty());
    EXPECT_TRUE(s.fakes.windows.windows.front().destroyed);
    EXPECT_EQ(s.fakes.windows.quit_posts, 1);
    EXPECT_EQ(s.aquarium->app.main_window, 0u);
    ASSERT_NE(s.fakes.graphics.last_device(), nullptr);
    EXPECT_TRUE(s.fakes.graphics.last_device()->released);
    EXPECT_TRUE(s.fakes.graphics.released);
}

TEST(StartUpOrderTest, ALineWithoutASwitchEndsAfterTheLockAndBeforeAnyGraphics) {
    JournaledStartUp s;
    EXPECT_LT(s.create("hello"), 0);
    EXPECT_LT(s.at("lock:pel WindowClassName"), s.at("foreground_window")) << s.dump();
    EXPECT_EQ(s.at("graphics:create"), s.journal.entries.size()) << s.dump();
    EXPECT_EQ(s.at("create_window("), s.journal.entries.size()) << s.dump();
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
        EXPECT_EQ(s.fakes.settings.written_names().size(), 9u);
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
    EXPECT_FALSE(s.app().windowed);
    test_support::FakeGraphicsDevice* device = s.fakes.graphics.last_device();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->present_params.windowed, 0u);
    EXPECT_EQ(device->present_params.back_buffer_width, 1024u);
    EXPECT_EQ(device->present_params.back_buffer_height, 768u);
    EXPECT_TRUE(s.app().ready);
    EXPECT_TRUE(s.app().active);
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
    EXPECT_TRUE(s.app().ready);
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
