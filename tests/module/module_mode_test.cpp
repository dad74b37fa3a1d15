// The display module without a display: which command lines ask for it,
// the window system that draws in the host's window, and the module's
// start-up and life in the message loop, on the platform fakes with the
// settings store that writes nothing.
#include "app/module_mode.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/create.h"
#include "app/frame_loop.h"
#include "platform/files/read_only_settings_store.h"
#include "platform/hosted/hosted_message_boxes.h"
#include "platform/hosted/hosted_window_system.h"
#include "tests/support/fake_platform.h"

namespace {

using app::ModuleRequest;
using platform::Message;
using platform::NativeWindow;
using platform::Rect;

// ---- the command line ----

// The arguments as the program gets them, with the joined command line.
struct Arguments {
    explicit Arguments(std::vector<std::string> words) : words_(std::move(words)) {
        pointers_.push_back("aquarium");
        for (const std::string& w : words_) {
            pointers_.push_back(w.c_str());
            if (!line_.empty()) line_ += ' ';
            line_ += w;
        }
    }
    ModuleRequest request(const char* xscreensaver_window = nullptr) const {
        return app::find_module_request(static_cast<int>(pointers_.size()), pointers_.data(), xscreensaver_window);
    }

private:
    std::vector<std::string> words_;
    std::vector<const char*> pointers_;
    std::string line_;
};

TEST(ModuleRequestTest, RootDrawsInTheHostsWindowOrOnTheRootWindow) {
    for (const char* flag : {"-root", "--root"}) {
        EXPECT_EQ(Arguments({flag}).request().kind, ModuleRequest::Kind::root) << flag;
        const ModuleRequest hosted = Arguments({flag}).request("0x2a00007");
        EXPECT_EQ(hosted.kind, ModuleRequest::Kind::window) << flag;
        EXPECT_EQ(hosted.window, 0x2a00007u);
        EXPECT_TRUE(hosted.from_host);
    }
    EXPECT_EQ(Arguments({"-root"}).request("4242").window, 4242u);
    // Other flags a host may add are ignored.
    EXPECT_EQ(Arguments({"-root", "-fps"}).request("0x10").window, 0x10u);
    const ModuleRequest broken = Arguments({"-root"}).request("screen");
    EXPECT_EQ(broken.kind, ModuleRequest::Kind::unusable);
    EXPECT_NE(broken.problem, nullptr);
}

TEST(ModuleRequestTest, WindowIdTakesTheNextArgumentAndWinsOverRoot) {
    EXPECT_EQ(Arguments({"-window-id", "0x1c00005"}).request().window, 0x1c00005u);
    EXPECT_EQ(Arguments({"--window-id", "4242"}).request().window, 4242u);
    const ModuleRequest both = Arguments({"-root", "-window-id", "77"}).request("0x99");
    EXPECT_EQ(both.kind, ModuleRequest::Kind::window);
    EXPECT_EQ(both.window, 77u);
    EXPECT_FALSE(both.from_host);
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"-window-id"}, {"-window-id", "0"}, {"-window-id", "12abc"},
          {"-window-id", "0x1FFFFFFFF"}, {"-window-id", "0x"}, {"--window-id", ""}}) {
        EXPECT_EQ(Arguments(words).request().kind, ModuleRequest::Kind::unusable) << words.size();
    }
}

TEST(ModuleRequestTest, HostOptionsHoldingTheScreenSaversSwitchesStayAModule) {
    // Options a host adds contain -s, -p, -c or -a; with a module flag they
    // are ignored like any other option and start neither the full-screen
    // run, the preview nor the dialog.
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"-root", "-sync"}, {"-root", "-pair"}, {"-root", "-count", "3"},
          {"-root", "-visual", "default"}, {"--root", "--sync", "--count", "3"}, {"-root", "-s"},
          {"-root", "-a"}, {"-root", "/A"}, {"-root", "x-p"}}) {
        const ModuleRequest request = Arguments(words).request("0x10");
        EXPECT_EQ(request.kind, ModuleRequest::Kind::window) << words[1];
        EXPECT_EQ(request.window, 0x10u);
    }
    EXPECT_EQ(Arguments({"-sync", "-window-id", "7", "/c"}).request().window, 7u);
    EXPECT_EQ(Arguments({"-pair", "--window-id", "7", "-S"}).request().kind, ModuleRequest::Kind::window);
    // Without a module flag nothing is a module's.
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{}, {"-x"}, {"-rooted"}, {"root"}, {"-window-idx", "5"}, {"-Root"}, {"-s"},
          {"-fps", "-delay", "100"}}) {
        EXPECT_EQ(Arguments(words).request("0x10").kind, ModuleRequest::Kind::none);
    }
}

TEST(ModuleRequestTest, FpsShowsTheTextAndDelaySetsTheFrameInterval) {
    const ModuleRequest plain = Arguments({"-root"}).request();
    EXPECT_FALSE(plain.options.show_fps);
    EXPECT_EQ(plain.options.frame_delay_us, 0u);
    for (const char* flag : {"-fps", "--fps"}) {
        EXPECT_TRUE(Arguments({"-root", flag}).request().options.show_fps) << flag;
    }
    for (const char* flag : {"-delay", "--delay"}) {
        const ModuleRequest slowed = Arguments({flag, "50000", "-window-id", "0x10"}).request();
        EXPECT_EQ(slowed.kind, ModuleRequest::Kind::window) << flag;
        EXPECT_EQ(slowed.options.frame_delay_us, 50000u);
    }
    // The number after -delay is not a window id, nor a flag.
    const ModuleRequest both = Arguments({"--root", "--delay", "0", "--fps"}).request("0x20");
    EXPECT_EQ(both.window, 0x20u);
    EXPECT_TRUE(both.options.show_fps);
    EXPECT_EQ(Arguments({"-root", "-delay", "10000000"}).request().options.frame_delay_us, 10000000u);
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"-root", "-delay"}, {"-root", "-delay", "-fps"}, {"-root", "-delay", "1e5"},
          {"-root", "-delay", "10000001"}, {"-root", "-delay", "-5"}, {"-root", "-delay", ""}}) {
        const ModuleRequest broken = Arguments(words).request();
        EXPECT_EQ(broken.kind, ModuleRequest::Kind::unusable) << words.back();
        EXPECT_NE(broken.problem, nullptr);
    }
}

TEST(ModuleRequestTest, WindowNumbersAreDecimalOrHexadecimal) {
    EXPECT_EQ(app::parse_window_number("123"), 123u);
    EXPECT_EQ(app::parse_window_number("0x7b"), 123u);
    EXPECT_EQ(app::parse_window_number("0X7B"), 123u);
    EXPECT_EQ(app::parse_window_number("4294967295"), 0xFFFFFFFFu);
    for (const char* bad : {"", "0", "-5", "+5", " 5", "5 ", "4294967296", "0x", "7b", "0x1g", "12.0"}) {
        EXPECT_EQ(app::parse_window_number(bad), 0u) << '"' << bad << '"';
    }
    EXPECT_EQ(app::parse_window_number(nullptr), 0u);
}

// ---- the hosted window system ----

bool g_stop = false;
bool stop_requested() { return g_stop; }

struct Received {
    std::vector<Message> messages;
};

intptr_t record_message(void* context, NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    static_cast<Received*>(context)->messages.push_back(Message{window, message, wparam, lparam});
    return 0;
}

// A host window of 320 x 240 on the fake system, and the hosted system on
// top of it with our class registered.
struct Hosted {
    test_support::FakeWindowSystem system;
    NativeWindow host = system.add_window("host's own class", Rect{10, 10, 330, 250}, Rect{0, 0, 320, 240});
    platform::HostedWindowSystem windows{system, host, &stop_requested};
    Received received;

    Hosted() {
        g_stop = false;
        windows.register_class(platform::WindowClass{"ours", &record_message, &received, 0, 101,
                                                     platform::Brush::Black});
    }
    NativeWindow create_in_host() {
        const uint32_t style = platform::kStyleChild | platform::kStyleVisible;
        return windows.create_window(platform::WindowCreate{"ours", "title", style, Rect{0, 0, 320, 240}, host});
    }
    // Every message the pump hands out now.
    std::vector<uint32_t> drain() {
        std::vector<uint32_t> kinds;
        Message m{};
        while (windows.peek_message(m, true)) {
            kinds.push_back(m.message);
            windows.dispatch_message(m);
            if (m.message == platform::kMsgQuit) break;
        }
        return kinds;
    }
    void resize_host(int32_t width, int32_t height) { system.find(host)->client_rect = Rect{0, 0, width, height}; }
};

TEST(HostedWindowSystemTest, TheWindowInTheHostIsTheHostsOwnWindow) {
    Hosted h;
    const size_t windows_before = h.system.windows.size();
    ASSERT_EQ(h.create_in_host(), h.host);
    EXPECT_EQ(h.system.windows.size(), windows_before);  // nothing was created
    EXPECT_EQ(h.create_in_host(), 0u);                   // and only once

    h.windows.send_message(h.host, platform::kMsgPaint, 0, 0);
    ASSERT_EQ(h.received.messages.size(), 1u);
    EXPECT_EQ(h.received.messages[0].window, h.host);
    Rect client{};
    ASSERT_TRUE(h.windows.get_client_rect(h.host, client));
    EXPECT_EQ(client.right, 320);
    EXPECT_NE(h.windows.get_window_style(h.host) & platform::kStyleVisible, 0u);

    // Placement, style and the pointer stay the host's business.
    EXPECT_TRUE(
        h.windows.set_window_pos(h.host, platform::ZOrder::TopMost, Rect{0, 0, 1, 1}, platform::kPlaceShowWindow));
    h.windows.set_window_style(h.host, platform::kStyleFullScreen);
    const Rect screen{0, 0, 1024, 768};
    EXPECT_FALSE(h.windows.clip_cursor(&screen));
    h.windows.set_cursor_visible(false);
    EXPECT_EQ(h.system.count_calls("set_window_pos"), 0);
    EXPECT_EQ(h.system.count_calls("set_window_style"), 0);
    EXPECT_EQ(h.system.count_calls("clip_cursor(0"), 0);
    EXPECT_EQ(h.system.count_calls("set_cursor_visible"), 0);
    EXPECT_FALSE(h.system.cursor_clipped);

    // Destroying it tells our procedure and forgets it; the host keeps it.
    EXPECT_TRUE(h.windows.destroy_window(h.host));
    EXPECT_EQ(h.received.messages.back().message, platform::kMsgDestroy);
    EXPECT_NE(h.system.find(h.host), nullptr);
    h.windows.send_message(h.host, platform::kMsgPaint, 0, 0);
    EXPECT_EQ(h.received.messages.back().message, platform::kMsgDestroy);
}

TEST(HostedWindowSystemTest, ANewHostSizeArrivesOnceAsAResize) {
    Hosted h;
    ASSERT_EQ(h.create_in_host(), h.host);
    EXPECT_TRUE(h.drain().empty());
    h.resize_host(480, 360);
    EXPECT_EQ(h.drain(), (std::vector<uint32_t>{platform::kMsgEnterSizeMove, platform::kMsgSize,
                                                platform::kMsgExitSizeMove}));
    const Message& size = h.received.messages[1];
    EXPECT_EQ(size.wparam, platform::kSizeRestored);
    EXPECT_EQ(size.lparam, test_support::FakeWindowSystem::make_lparam(480, 360));
    EXPECT_TRUE(h.drain().empty());
}

TEST(HostedWindowSystemTest, AVanishedHostOrAStopRequestClosesOnce) {
    {
        Hosted h;
        ASSERT_EQ(h.create_in_host(), h.host);
        h.system.find(h.host)->destroyed = true;
        EXPECT_EQ(h.drain(), std::vector<uint32_t>{platform::kMsgClose});
        EXPECT_TRUE(h.drain().empty());
    }
    {
        Hosted h;
        ASSERT_EQ(h.create_in_host(), h.host);
        g_stop = true;
        EXPECT_EQ(h.drain(), std::vector<uint32_t>{platform::kMsgClose});
        EXPECT_TRUE(h.drain().empty());
    }
    {
        // Without a window in the host, the request ends the loop itself.
        Hosted h;
        g_stop = true;
        EXPECT_EQ(h.drain(), std::vector<uint32_t>{platform::kMsgQuit});
        EXPECT_TRUE(h.drain().empty());
        g_stop = false;
    }
}

TEST(HostedWindowSystemTest, WaitingLooksAtTheHostToo) {
    Hosted h;
    ASSERT_EQ(h.create_in_host(), h.host);
    g_stop = true;
    Message m{};
    ASSERT_TRUE(h.windows.get_message(m));
    EXPECT_EQ(m.message, platform::kMsgClose);
    h.windows.post_quit_message(0);
    EXPECT_FALSE(h.windows.get_message(m));
    EXPECT_EQ(m.message, platform::kMsgQuit);
    g_stop = false;
}

// ---- the module on the fake platform ----

constexpr double kFrame = 1.0 / 64.0;

// The application as the entry point assembles a module: the hosted window
// system over the fake one, a settings store that writes nothing, one
// typical adapter on a 1024 x 768 desktop, and a host window of 320 x 240.
struct Module {
    test_support::FakePlatform fakes;
    NativeWindow host = fakes.windows.add_window("host's own class", Rect{10, 10, 330, 250}, Rect{0, 0, 320, 240});
    platform::HostedWindowSystem windows{fakes.windows, host, &stop_requested};
    platform::files::ReadOnlySettingsStore settings{fakes.settings};
    std::unique_ptr<app::AquariumApp> aquarium;

    Module() {
        g_stop = false;
        fakes.graphics.adapters.push_back(test_support::typical_adapter());
        platform::Platform services = fakes.bundle();
        services.windows = &windows;
        services.settings = &settings;
        aquarium = std::make_unique<app::AquariumApp>(services);
        aquarium->fix_scene_seed(3);
    }
    app::RenderApp& app() { return aquarium->app; }
    test_support::FakeGraphicsDevice* device() { return fakes.graphics.last_device(); }
};

TEST(ModuleTest, StartsInTheHostsWindowAtItsSizeAndNothingElse) {
    Module m;
    m.fakes.settings.key_exists = true;
    m.fakes.settings.values = {{"d_show_info", 0}};
    ASSERT_EQ(app::create_module(*m.aquarium, m.host), platform::kOk);
    EXPECT_EQ(m.app().main_window, m.host);
    EXPECT_EQ(m.app().mode, app::ScreenSaverMode::run);
    EXPECT_TRUE(m.app().windowed);
    EXPECT_TRUE(m.app().active);
    EXPECT_TRUE(m.app().ready);
    ASSERT_NE(m.device(), nullptr);
    EXPECT_EQ(m.device()->present_params.windowed, 1u);
    EXPECT_EQ(m.device()->present_params.back_buffer_width, 320u);
    EXPECT_EQ(m.device()->present_params.back_buffer_height, 240u);
    EXPECT_EQ(m.device()->present_params.device_window, m.host);
    // The user's settings are read ...
    EXPECT_FALSE(m.aquarium->settings.d_show_info);
    // ... but no lock, no window of its own, no full screen, no pointer capture.
    EXPECT_EQ(m.fakes.instance_lock.acquires, 0);
    EXPECT_EQ(m.fakes.windows.count_calls("create_window"), 0);
    EXPECT_EQ(m.fakes.windows.count_calls("set_window_pos"), 0);
    EXPECT_EQ(m.fakes.windows.count_calls("set_window_style"), 0);
    EXPECT_FALSE(m.fakes.windows.cursor_clipped);
    EXPECT_TRUE(m.fakes.message_boxes.shown.empty());
}

TEST(ModuleTest, TheInformationTextShowsOnlyWithFps) {
    // The saved choice is the full-screen run's; a module, like the other
    // modules' frame rate, shows the text only when asked.
    for (const bool fps : {false, true}) {
        Module m;
        m.fakes.settings.key_exists = true;
        m.fakes.settings.values = {{"d_show_info", 1}};
        app::ModuleOptions options;
        options.show_fps = fps;
        ASSERT_EQ(app::create_module(*m.aquarium, m.host, options), platform::kOk);
        EXPECT_EQ(m.aquarium->settings.d_show_info, fps);
        // Read, never stored.
        EXPECT_TRUE(m.fakes.settings.written_names().empty());
    }
}

TEST(ModuleTest, FollowsTheHostsSizeAndEndsOnAStopRequestWithoutWritingSettings) {
    Module m;
    ASSERT_EQ(app::create_module(*m.aquarium, m.host), platform::kOk);
    int idle = 0;
    m.fakes.windows.on_idle_peek = [&] {
        m.fakes.clock.advance(kFrame);
        ++idle;
        if (idle == 5) m.fakes.windows.find(m.host)->client_rect = Rect{0, 0, 640, 400};
        if (idle == 10) g_stop = true;
    };
    EXPECT_EQ(app::run(m.app()), 0);
    g_stop = false;

    test_support::FakeGraphicsDevice* device = m.device();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->resets, 1);
    EXPECT_EQ(device->present_params.back_buffer_width, 640u);
    EXPECT_EQ(device->present_params.back_buffer_height, 400u);
    EXPECT_GE(device->presents, 5);
    EXPECT_TRUE(device->released);
    EXPECT_TRUE(m.fakes.graphics.released);
    // The exit sequence ran, the host's window is still there, and the
    // settings were neither created nor stored.
    EXPECT_EQ(m.app().main_window, 0u);
    EXPECT_NE(m.fakes.windows.find(m.host), nullptr);
    EXPECT_EQ(m.fakes.windows.quit_posts, 1);
    EXPECT_TRUE(m.fakes.settings.written_names().empty());
    EXPECT_FALSE(m.fakes.settings.key_exists);
}

TEST(ModuleTest, InputNeverReachesItAndAVanishedHostEndsIt) {
    Module m;
    ASSERT_EQ(app::create_module(*m.aquarium, m.host), platform::kOk);
    // Keys, clicks, commands and mouse moves that the system underneath
    // has for the host's window never reach the module: each of them
    // would end a run-mode screen saver at once.
    const intptr_t far = test_support::FakeWindowSystem::make_lparam(300, 200);
    for (int i = 0; i < 8; ++i) {
        m.fakes.windows.post(m.host, platform::kMsgMouseMove, 0, test_support::FakeWindowSystem::make_lparam(i, i));
    }
    m.fakes.windows.post(m.host, platform::kMsgKeyDown, 'X');
    m.fakes.windows.post(m.host, platform::kMsgSysKeyDown, platform::kKeyReturn);
    m.fakes.windows.post(m.host, platform::kMsgLButtonDown, 0, far);
    m.fakes.windows.post(m.host, platform::kMsgRButtonDblClk, 0, far);
    m.fakes.windows.post(m.host, platform::kMsgCommand, 40006);
    m.fakes.windows.post(m.host, platform::kMsgEnterMenuLoop);
    int idle = 0;
    m.fakes.windows.on_idle_peek = [&] {
        m.fakes.clock.advance(kFrame);
        if (++idle == 8) m.fakes.windows.find(m.host)->destroyed = true;
    };
    EXPECT_EQ(app::run(m.app()), 0);
    EXPECT_EQ(m.app().input.mouse_moves_seen, 0);
    EXPECT_EQ(m.app().main_window, 0u);
    ASSERT_NE(m.device(), nullptr);
    EXPECT_GE(m.device()->presents, 7);  // drawn until the host went away
    EXPECT_TRUE(m.fakes.graphics.released);
    EXPECT_TRUE(m.fakes.settings.written_names().empty());
}

TEST(HostedMessageBoxesTest, SayNothingOnceTheHostsWindowIsGone) {
    Module m;
    platform::HostedMessageBoxes boxes(m.fakes.message_boxes, m.windows, m.host);
    EXPECT_EQ(boxes.show(m.host, "first", "Aquarium", 0), 1);
    m.fakes.windows.find(m.host)->destroyed = true;
    EXPECT_EQ(boxes.show(m.host, "second", "Aquarium", 0), 0);
    ASSERT_EQ(m.fakes.message_boxes.shown.size(), 1u);
    EXPECT_TRUE(m.windows.host_lost());
}

TEST(ModuleTest, AVanishedHostIsNotedAsTheHostsEndAndAStopRequestIsNot) {
    for (const bool vanish : {false, true}) {
        Module m;
        ASSERT_EQ(app::create_module(*m.aquarium, m.host), platform::kOk);
        int idle = 0;
        m.fakes.windows.on_idle_peek = [&] {
            m.fakes.clock.advance(kFrame);
            if (++idle != 3) return;
            if (vanish) {
                m.fakes.windows.find(m.host)->destroyed = true;
            } else {
                g_stop = true;
            }
        };
        EXPECT_EQ(app::run(m.app()), 0);
        g_stop = false;
        EXPECT_EQ(m.windows.host_lost(), vanish);
    }
}

TEST(ModuleTest, AMissingHostEndsBeforeAnythingStarts) {
    Module m;
    m.fakes.windows.find(m.host)->destroyed = true;
    EXPECT_LT(app::create_module(*m.aquarium, m.host), 0);
    EXPECT_TRUE(m.fakes.graphics_factory.versions_asked.empty());
    EXPECT_TRUE(m.fakes.message_boxes.shown.empty());
}

}  // namespace
