// Run mode on several monitors, against the fakes: which monitors get a
// cover for each adapter choice and setting, what input on a cover does, how
// the covers follow monitors that come, go and move, and that the main fish
// is the same with or without covers. The pure rules are at the end.
#include "app/monitor_covers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/aquarium_app.h"
#include "app/create.h"
#include "app/frame_loop.h"
#include "app/monitor_layout.h"
#include "tests/support/fake_platform.h"

namespace app {
namespace {

using platform::MonitorInfo;
using platform::NativeWindow;
using platform::Rect;
using test_support::FakeGraphicsDevice;
using test_support::FakeWindow;
using test_support::FakeWindowSystem;

constexpr double kFrame = 1.0 / 60.0;

MonitorInfo named(const char* name, int32_t left, int32_t top, int32_t width, int32_t height) {
    MonitorInfo monitor = FakeWindowSystem::monitor(left, top, width, height);
    std::snprintf(monitor.name, sizeof monitor.name, "%s", name);
    return monitor;
}

bool same_rect(const Rect& a, const Rect& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string text(const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// The program started in run mode on a desktop of these monitors, an
// adapter for each (adapter N is monitor N), the settings file saying
// whether the other monitors show a fish and which adapter was chosen.
struct Desk {
    test_support::FakePlatform fakes;
    std::unique_ptr<AquariumApp> aquarium;

    explicit Desk(const std::vector<MonitorInfo>& monitors, bool fish = true, int saved_adapter = -1,
                  const char* line = "/s") {
        fakes.windows.monitors = monitors;
        for (const MonitorInfo& m : monitors) {
            fakes.graphics.adapters.push_back(test_support::typical_adapter());
            fakes.graphics.adapters.back().desktop_mode.width = static_cast<uint32_t>(m.bounds.right - m.bounds.left);
            fakes.graphics.adapters.back().desktop_mode.height = static_cast<uint32_t>(m.bounds.bottom - m.bounds.top);
        }
        fakes.settings.key_exists = true;
        fakes.settings.values["d_other_monitors"] = fish ? 1 : 0;
        if (saved_adapter >= 0) {
            fakes.settings.values["r_adapter"] = static_cast<uint32_t>(saved_adapter);
            fakes.settings.values["r_device"] = 0;
            fakes.settings.values["r_mode"] = 2;
            fakes.settings.values["r_multi_sample"] = 0;
        }
        aquarium = std::make_unique<AquariumApp>(fakes.bundle());
        aquarium->fix_scene_seed(5);
        EXPECT_EQ(create(*aquarium, line, platform::kShowNormal), platform::kOk);
    }
    RenderApp& app() { return aquarium->app; }
    FakeWindow* main_window() { return fakes.windows.find(app().main_window); }
    FakeGraphicsDevice* main_device() { return fakes.graphics.devices.front().get(); }

    // The cover windows that exist, in the order they were made.
    std::vector<FakeWindow*> covers() {
        std::vector<FakeWindow*> out;
        for (FakeWindow& w : fakes.windows.windows) {
            if (!w.destroyed && w.class_name == kCoverWindowClassName) out.push_back(&w);
        }
        return out;
    }
    // The device drawing into `window`, if it has one still.
    FakeGraphicsDevice* device_of(NativeWindow window) {
        for (auto& d : fakes.graphics.devices) {
            if (!d->released && d->present_params.device_window == window && d.get() != main_device()) return d.get();
        }
        return nullptr;
    }
    void frames(int count) {
        for (int i = 0; i < count; ++i) {
            fakes.clock.advance(kFrame);
            ASSERT_EQ(step_frame(app()), platform::kOk);
        }
    }
    // Hands every waiting message to its window, as the loop does.
    void deliver_posted() {
        while (!fakes.windows.queue.empty()) {
            const platform::Message m = fakes.windows.queue.front();
            fakes.windows.queue.pop_front();
            fakes.windows.dispatch_message(m);
        }
    }
    intptr_t send(NativeWindow window, uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0) {
        return fakes.windows.send_message(window, message, wparam, lparam);
    }
    bool ended() const { return fakes.windows.quit_posts > 0; }
};

TEST(MonitorCoversTest, EveryMonitorButTheChosenAdaptersGetsACoverWithAFishOrBlack) {
    struct Case {
        const char* name;
        std::vector<MonitorInfo> monitors;
        int saved_adapter;  // -1: none saved, the table's own choice (adapter 0)
        bool fish;
        Rect main;  // where the main window is, screen pixels
        std::vector<Rect> covers;
    };
    const MonitorInfo wide = FakeWindowSystem::monitor(0, 0, 1024, 768);
    const Case cases[] = {
        {"one monitor", {wide}, -1, true, {0, 0, 1024, 768}, {}},
        {"a smaller one right of it",
         {wide, FakeWindowSystem::monitor(1024, 0, 800, 600)},
         -1,
         true,
         {0, 0, 1024, 768},
         {{1024, 0, 1824, 600}}},
        {"the same, black",
         {wide, FakeWindowSystem::monitor(1024, 0, 800, 600)},
         -1,
         false,
         {0, 0, 1024, 768},
         {{1024, 0, 1824, 600}}},
        {"the primary right of the other",
         {FakeWindowSystem::monitor(800, 0, 1024, 768), FakeWindowSystem::monitor(0, 0, 800, 600)},
         -1,
         true,
         {800, 0, 1824, 768},
         {{0, 0, 800, 600}}},
        {"the second adapter chosen, above the first",
         {FakeWindowSystem::monitor(0, 600, 1024, 768), FakeWindowSystem::monitor(0, 0, 800, 600)},
         1,
         true,
         {0, 0, 800, 600},
         {{0, 600, 1024, 1368}}},
        {"three, left of and above the primary",
         {wide, FakeWindowSystem::monitor(-800, 100, 800, 600), FakeWindowSystem::monitor(200, -480, 640, 480)},
         -1,
         false,
         {0, 0, 1024, 768},
         {{-800, 100, 0, 700}, {200, -480, 840, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Desk desk(c.monitors, c.fish, c.saved_adapter);
        ASSERT_NE(desk.main_window(), nullptr);
        const Rect main = desk.main_window()->window_rect;
        EXPECT_EQ(main.left, c.main.left);  // the fake's popup is 20 pixels taller (no menu in a popup)
        EXPECT_EQ(main.top, c.main.top);
        EXPECT_EQ(main.right, c.main.right);
        const std::vector<FakeWindow*> covers = desk.covers();
        ASSERT_EQ(covers.size(), c.covers.size());
        for (size_t i = 0; i < covers.size(); ++i) {
            EXPECT_TRUE(same_rect(covers[i]->window_rect, c.covers[i])) << text(covers[i]->window_rect);
            EXPECT_TRUE(covers[i]->visible);
            FakeGraphicsDevice* device = desk.device_of(covers[i]->id);
            const std::string paint = "stretch_bitmap(" + std::to_string(covers[i]->id);
            if (!c.fish) {
                EXPECT_EQ(device, nullptr);
                desk.send(covers[i]->id, platform::kMsgPaint);
                EXPECT_EQ(desk.fakes.windows.count_calls(paint), 1) << "a black cover is painted black";
                continue;
            }
            ASSERT_NE(device, nullptr);
            desk.send(covers[i]->id, platform::kMsgPaint);
            EXPECT_EQ(desk.fakes.windows.count_calls(paint), 0);
            const platform::PresentParams& params = device->present_params;
            EXPECT_EQ(params.windowed, 1u);
            EXPECT_EQ(params.back_buffer_width, static_cast<uint32_t>(c.covers[i].right - c.covers[i].left));
            EXPECT_EQ(params.back_buffer_height, static_cast<uint32_t>(c.covers[i].bottom - c.covers[i].top));
            EXPECT_EQ(params.presentation_interval, platform::kPresentIntervalImmediate);
            EXPECT_EQ(params.auto_depth_stencil_format, desk.main_device()->present_params.auto_depth_stencil_format);
        }
        // Every frame: the main picture, then each fish once.
        desk.frames(3);
        for (FakeWindow* cover : covers) {
            if (FakeGraphicsDevice* device = desk.device_of(cover->id)) {
                EXPECT_EQ(device->presents, 3);
                EXPECT_EQ(device->count_of(test_support::DeviceOp::BeginScene), 3);
            }
        }
        EXPECT_EQ(desk.main_device()->presents, 3);
        EXPECT_EQ(desk.main_device()->present_params.presentation_interval, platform::kPresentIntervalDefault);
    }
    // Configure mode covers nothing.
    Desk configure({wide, FakeWindowSystem::monitor(1024, 0, 800, 600)}, true, -1, "/c");
    EXPECT_TRUE(configure.covers().empty());
    EXPECT_EQ(configure.fakes.graphics.devices.size(), 1u);
}

TEST(MonitorCoversTest, InputOnACoverActsAsOnTheMainWindowAndTheEndSavesOnce) {
    const std::vector<MonitorInfo> two = {FakeWindowSystem::monitor(0, 0, 1024, 768),
                                          FakeWindowSystem::monitor(1024, 0, 800, 600)};
    {
        Desk desk(two);
        const NativeWindow cover = desk.covers().at(0)->id;
        // H and S act on the main view; a key that is not theirs ends it.
        desk.send(cover, platform::kMsgKeyDown, 'H');
        desk.send(cover, platform::kMsgKeyDown, 'S');
        EXPECT_EQ(desk.app().input.view_level, 1);
        EXPECT_FALSE(desk.aquarium->settings.d_show_info);
        EXPECT_FALSE(desk.ended());
        // The cursor is hidden over a cover as over the main window.
        desk.fakes.windows.cursor_visible = true;
        EXPECT_EQ(desk.send(cover, platform::kMsgSetCursor), 1);
        EXPECT_FALSE(desk.fakes.windows.cursor_visible);
        desk.fakes.settings.calls.clear();
        desk.send(cover, platform::kMsgKeyDown, 'X');
        EXPECT_TRUE(desk.ended());
    }
    for (const uint32_t click : {platform::kMsgLButtonDown, platform::kMsgRButtonDblClk, platform::kMsgSysKeyDown,
                                 platform::kMsgEnterMenuLoop, platform::kMsgClose}) {
        SCOPED_TRACE(click);
        Desk desk(two);
        const NativeWindow cover = desk.covers().at(0)->id;
        const NativeWindow main = desk.app().main_window;
        desk.fakes.settings.calls.clear();
        desk.fakes.windows.calls.clear();
        desk.send(cover, click);
        EXPECT_EQ(desk.fakes.windows.quit_posts, 1);
        EXPECT_EQ(desk.fakes.settings.written_names().size(), 9u) << "the settings are saved once";
        EXPECT_TRUE(desk.covers().empty());
        EXPECT_EQ(desk.device_of(cover), nullptr);
        EXPECT_TRUE(desk.main_device()->released);
        // The cover goes before the main window.
        const auto& calls = desk.fakes.windows.calls;
        const auto gone = [&](NativeWindow w) {
            return std::find(calls.begin(), calls.end(), "destroy_window(" + std::to_string(w) + ")") - calls.begin();
        };
        EXPECT_LT(gone(cover), gone(main));
        EXPECT_LT(gone(main), static_cast<long>(calls.size()));
    }
}

TEST(MonitorCoversTest, TheSeventhPointerPositionCountsAcrossWindows) {
    Desk desk({FakeWindowSystem::monitor(0, 0, 1024, 768), FakeWindowSystem::monitor(1024, 0, 800, 600)});
    const NativeWindow cover = desk.covers().at(0)->id;
    const NativeWindow main = desk.app().main_window;
    const intptr_t place = FakeWindowSystem::make_lparam(5, 5);
    // The same client place alternately on either window is a new position every time.
    for (int i = 0; i < 6; ++i) {
        desk.send(i % 2 == 0 ? cover : main, platform::kMsgMouseMove, 0, place);
        desk.send(i % 2 == 0 ? cover : main, platform::kMsgMouseMove, 0, place);  // not new
    }
    EXPECT_EQ(desk.app().input.mouse_moves_seen, 6);
    EXPECT_EQ(desk.app().input.last_mouse_x, 5);  // the main window's place
    EXPECT_FALSE(desk.ended());
    desk.send(cover, platform::kMsgMouseMove, 0, place);
    EXPECT_EQ(desk.app().input.last_mouse_x, 1029);  // the cover's place, seen from the main window
    EXPECT_TRUE(desk.ended());
}

TEST(MonitorCoversTest, CoversFollowMonitorsThatComeGoAndMoveAndTheRunGoesOn) {
    Desk desk({named("A", 0, 0, 1024, 768), named("B", 1024, 0, 800, 600)});
    const NativeWindow first = desk.covers().at(0)->id;
    desk.frames(1);

    // A third monitor: a cover of its own, with a fish.
    desk.fakes.windows.change_monitors(
        {named("A", 0, 0, 1024, 768), named("B", 1024, 0, 800, 600), named("C", 1824, 0, 640, 480)});
    desk.deliver_posted();
    ASSERT_EQ(desk.covers().size(), 2u);
    EXPECT_EQ(desk.covers()[0]->id, first);
    const NativeWindow third = desk.covers()[1]->id;
    EXPECT_TRUE(same_rect(desk.covers()[1]->window_rect, Rect{1824, 0, 2464, 480}));
    ASSERT_NE(desk.device_of(third), nullptr);

    // B moves left of A and grows: the same window follows, its device takes
    // the new size; A moves right, and the main window with it.
    desk.fakes.windows.change_monitors(
        {named("A", 1280, 0, 1024, 768), named("B", 0, 0, 1280, 1024), named("C", 2304, 0, 640, 480)});
    desk.deliver_posted();
    EXPECT_TRUE(same_rect(desk.main_window()->window_rect, Rect{1280, 0, 2304, 768}));
    EXPECT_TRUE(same_rect(desk.fakes.windows.cursor_clip, Rect{1280, 0, 2304, 768}));
    ASSERT_EQ(desk.covers().size(), 2u);
    EXPECT_EQ(desk.covers()[0]->id, first);
    EXPECT_TRUE(same_rect(desk.covers()[0]->window_rect, Rect{0, 0, 1280, 1024}));
    FakeGraphicsDevice* moved = desk.device_of(first);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->resets, 1);
    EXPECT_EQ(moved->present_params.back_buffer_width, 1280u);
    EXPECT_EQ(moved->present_params.back_buffer_height, 1024u);
    FakeGraphicsDevice* unchanged = desk.device_of(third);
    ASSERT_NE(unchanged, nullptr);
    EXPECT_EQ(unchanged->resets, 0);  // only moved

    // C goes: its window and device with it.
    desk.fakes.windows.change_monitors({named("A", 1280, 0, 1024, 768), named("B", 0, 0, 1280, 1024)});
    desk.deliver_posted();
    ASSERT_EQ(desk.covers().size(), 1u);
    EXPECT_EQ(desk.fakes.windows.find(third), nullptr);
    EXPECT_EQ(desk.device_of(third), nullptr);

    desk.frames(2);
    EXPECT_FALSE(desk.ended());
    EXPECT_EQ(desk.main_device()->presents, 3);
}

TEST(MonitorCoversTest, TheMainFishIsTheSameWithOrWithoutCoversAndEveryFishIsItsOwn) {
    Desk alone({FakeWindowSystem::monitor(0, 0, 1024, 768)});
    Desk beside({FakeWindowSystem::monitor(0, 0, 1024, 768), FakeWindowSystem::monitor(1024, 0, 800, 600),
                 FakeWindowSystem::monitor(1824, 0, 800, 600)});
    alone.frames(30);
    beside.frames(30);
    const sim::Creature& a = *alone.aquarium->creature;
    const sim::Creature& b = *beside.aquarium->creature;
    EXPECT_EQ(std::memcmp(&a.position, &b.position, sizeof a.position), 0);
    EXPECT_EQ(alone.aquarium->world->random.state, beside.aquarium->world->random.state);
    // The two other fish differ from the main one and from each other.
    const MonitorCovers& covers = *beside.aquarium->covers;
    ASSERT_NE(covers.covers[0].scene, nullptr);
    ASSERT_NE(covers.covers[1].scene, nullptr);
    const uint32_t first = covers.covers[0].scene->world.random.state;
    const uint32_t second = covers.covers[1].scene->world.random.state;
    EXPECT_NE(first, beside.aquarium->world->random.state);
    EXPECT_NE(first, second);
}

// ---- the rules ----

TEST(MonitorLayoutTest, AWindowIsOnTheMonitorOfItsCentreElseTheOneItOverlapsMost) {
    const MonitorInfo monitors[] = {FakeWindowSystem::monitor(0, 0, 1024, 768),
                                    FakeWindowSystem::monitor(-800, 0, 800, 600),
                                    FakeWindowSystem::monitor(0, -480, 640, 480)};
    struct Case {
        Rect window;
        int32_t monitor;
    };
    const Case cases[] = {
        {{0, 0, 1024, 768}, 0},         {{-800, 0, 0, 600}, 1},
        {{0, -480, 640, 0}, 2},         {{-700, 500, 300, 900}, 0},  // centre on none: most of it on the first
        {{-900, 550, -750, 700}, 1},                                 // centre outside, a corner on the second
        {{5000, 5000, 5100, 5100}, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(monitor_of(monitors, 3, c.window), c.monitor) << text(c.window);
    EXPECT_EQ(monitors_to_cover(3, 1), 0b101u);
    EXPECT_EQ(monitors_to_cover(3, -1), 0b111u);
    EXPECT_EQ(monitors_to_cover(1, 0), 0u);
    EXPECT_EQ(text_dpi(72), 96);
    EXPECT_EQ(text_dpi(96), 96);
    EXPECT_EQ(text_dpi(144), 144);
    EXPECT_NE(cover_seed(5, 0), cover_seed(5, 1));
    EXPECT_NE(cover_seed(5, 1), cover_seed(6, 1));
    EXPECT_NE(cover_seed(5, 0), 5u);
}

}  // namespace
}  // namespace app
