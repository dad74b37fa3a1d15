// What the framework tests share: the fake platform, a device table built by
// hand, a main window whose procedure is the framework's, and scene hooks
// that record their calls and answer as scripted.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/device_lifecycle.h"
#include "app/main_window.h"
#include "app/render_app.h"
#include "app/scene_hooks.h"
#include "tests/support/fake_platform.h"

namespace app_test {

using platform::Result;

// Scene hooks that write "hook:<name>" into a journal and answer from a
// per-hook script (success when the script is empty).
class RecordingHooks : public app::SceneHooks {
public:
    explicit RecordingHooks(std::vector<std::string>* journal) : journal_(journal) {}

    std::deque<Result> check_answers, init_answers, create_answers, reset_answers, advance_answers,
        render_answers, release_answers, destroy_answers, shutdown_answers;
    int advances = 0;
    int renders = 0;
    float last_app_time = -1.0f;
    // Called after every render (a test can post messages from here).
    std::function<void(app::RenderApp&)> after_render;

    Result check_device_caps(const platform::DeviceCaps&, uint32_t, platform::Format) override {
        return answer("check_device_caps", check_answers);
    }
    Result init_scene(app::RenderApp&) override { return answer("init_scene", init_answers); }
    Result create_device_objects(app::RenderApp&) override { return answer("create_device_objects", create_answers); }
    Result reset_device_objects(app::RenderApp&) override { return answer("reset_device_objects", reset_answers); }
    Result advance_frame(app::RenderApp& app) override {
        ++advances;
        last_app_time = app.app_time;
        return answer("advance_frame", advance_answers);
    }
    Result render_frame(app::RenderApp& app) override {
        ++renders;
        const Result r = answer("render_frame", render_answers);
        if (after_render) after_render(app);
        return r;
    }
    Result release_device_objects(app::RenderApp&) override {
        return answer("release_device_objects", release_answers);
    }
    Result destroy_device_objects(app::RenderApp&) override {
        return answer("destroy_device_objects", destroy_answers);
    }
    Result shutdown_scene(app::RenderApp&) override { return answer("shutdown_scene", shutdown_answers); }

private:
    Result answer(const char* hook, std::deque<Result>& script) {
        journal_->push_back(std::string("hook:") + hook);
        if (script.empty()) return platform::kOk;
        const Result r = script.front();
        script.pop_front();
        return r;
    }
    std::vector<std::string>* journal_;
};

inline settings::DisplayModeRecord mode_record(uint32_t width, uint32_t height, platform::Format format,
                                               uint32_t behaviour = platform::kCreateHardwareVertexProcessing,
                                               platform::Format depth = platform::kFormatD16) {
    return settings::DisplayModeRecord{width, height, format, behaviour, depth};
}

// Appends a device with the given modes to `adapter`; answers its index.
inline uint32_t add_device(settings::AdapterRecord& adapter, platform::DeviceType type, const platform::DeviceCaps& caps,
                           bool can_render_windowed, std::initializer_list<settings::DisplayModeRecord> modes) {
    settings::DeviceRecord& device = adapter.devices[adapter.device_count];
    device = settings::DeviceRecord{};
    device.device_type = type;
    device.caps = caps;
    device.description = type == platform::kDeviceHal ? "HAL" : "REF";
    device.can_render_windowed = can_render_windowed;
    device.windowed = can_render_windowed;
    for (const settings::DisplayModeRecord& m : modes) device.modes[device.mode_count++] = m;
    return adapter.device_count++;
}

// One adapter holding a HAL and a REF device (both can render in a window;
// three 32-bit modes each, the 1024 x 768 one current), the HAL current.
inline void fill_device_table(app::RenderApp& app, const test_support::FakeAdapter& fake) {
    settings::DeviceTable& table = app.device_table;
    settings::AdapterRecord& adapter = table.adapters[0];
    adapter.identifier = fake.identifier;
    adapter.desktop_mode = fake.desktop_mode;
    const auto modes = {mode_record(640, 480, platform::kFormatX8R8G8B8),
                        mode_record(800, 600, platform::kFormatX8R8G8B8),
                        mode_record(1024, 768, platform::kFormatX8R8G8B8)};
    add_device(adapter, platform::kDeviceHal, fake.hal_caps, true, modes);
    add_device(adapter, platform::kDeviceRef, fake.ref_caps, true, modes);
    adapter.devices[0].current_mode = 2;
    adapter.devices[1].current_mode = 2;
    adapter.current_device = 0;
    table.adapter_count = 1;
    table.current_adapter = 0;
    app.windowed = true;
}

// Registers the window class with the framework's procedure, creates the
// main window (816 x 624 outside, 800 x 600 client) and runs the common
// window steps.
inline void make_main_window(app::RenderApp& app, test_support::FakeWindowSystem& windows) {
    platform::WindowClass window_class{"pel WindowClassName", &app::main_window_proc, &app, 0, 101,
                                       platform::Brush::Black};
    windows.register_class(window_class);
    platform::WindowCreate create{"pel WindowClassName", app.title, platform::kStyleConfigureWindow,
                                  platform::Rect{0, 0, 816, 624}, 0};
    app.main_window = windows.create_window(create);
    windows.find(app.main_window)->client_rect = platform::Rect{0, 0, 800, 600};
    app::run_common_window_steps(app);
}

// The framework on the fake platform with one adapter holding a HAL and a
// REF device (both can render in a window; three modes each), a main window
// created and the common window steps run. Heap-allocated: the device table
// is large.
class Framework {
public:
    test_support::FakePlatform fakes;
    std::vector<std::string> journal;
    RecordingHooks hooks{&journal};
    std::unique_ptr<app::RenderApp> app = std::make_unique<app::RenderApp>();
    settings::Settings stored_settings = settings::default_settings();

    static constexpr uint32_t kHal = 0;  // device indices in adapter 0
    static constexpr uint32_t kRef = 1;

    Framework() {
        fakes.graphics.adapters.push_back(test_support::typical_adapter("Fake Display Adapter"));
        fakes.windows.journal = &journal;
        fakes.message_boxes.journal = &journal;
        fakes.settings.journal = &journal;
        fakes.graphics.on_device_created = [this](test_support::FakeGraphicsDevice&) {
            journal.push_back("device_created");
        };
        app->platform = fakes.bundle();
        app->hooks = &hooks;
        app->settings = &stored_settings;
        app->graphics = &fakes.graphics;
        app->title = "Test Title";
        fill_device_table();
    }

    void fill_device_table() { app_test::fill_device_table(*app, fakes.graphics.adapters[0]); }

    settings::DeviceRecord& device(uint32_t index) { return app->device_table.adapters[0].devices[index]; }

    void make_main_window() { app_test::make_main_window(*app, fakes.windows); }

    // Main window, device started, ready: the state after start-up.
    Result start() {
        make_main_window();
        const Result r = app::start_device(*app);
        if (platform::succeeded(r)) app->ready = true;
        return r;
    }

    test_support::FakeGraphicsDevice* device_fake() { return fakes.graphics.last_device(); }

    bool journal_has(const std::string& entry) const {
        for (const std::string& e : journal) {
            if (e == entry) return true;
        }
        return false;
    }

    // Journal entries that start with one of the prefixes, in order.
    std::vector<std::string> journal_of(std::initializer_list<const char*> prefixes) const {
        std::vector<std::string> out;
        for (const std::string& e : journal) {
            for (const char* p : prefixes) {
                if (e.rfind(p, 0) == 0) {
                    out.push_back(e);
                    break;
                }
            }
        }
        return out;
    }
};

}  // namespace app_test
