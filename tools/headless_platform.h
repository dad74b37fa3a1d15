// The platform services for running the application without a display:
// windows that exist only as records (with a fixed client size and the
// framework's window procedure), a clock that moves only when told, and a
// settings store that keeps nothing. Graphics come from the offscreen
// graphics system and glyphs from FreeType, as in the real program.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/settings_store.h"
#include "platform/window_system.h"

namespace tools {

inline constexpr int kHeadlessWindows = 4;

class HeadlessWindowSystem final : public platform::WindowSystem {
public:
    // Every window gets a client area of width x height pixels; the screen is that size too.
    HeadlessWindowSystem(int32_t width, int32_t height);

    platform::Result register_class(const platform::WindowClass& window_class) override;
    platform::NativeWindow create_window(const platform::WindowCreate& params) override;
    bool destroy_window(platform::NativeWindow window) override;
    bool window_exists(platform::NativeWindow window) override { return find(window) != nullptr; }

    bool peek_message(platform::Message& message, bool remove) override;
    bool get_message(platform::Message& message) override;
    bool wait_message(uint32_t) override { return quit_posted_; }  // nothing else ever arrives
    bool translate_accelerator(platform::NativeWindow, const platform::Accelerator*, int,
                               const platform::Message&) override {
        return false;
    }
    void dispatch_message(const platform::Message& message) override;
    intptr_t send_message(platform::NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) override;
    void post_quit_message(int32_t exit_code) override;
    intptr_t default_window_proc(platform::NativeWindow, uint32_t, uintptr_t, intptr_t) override { return 0; }

    bool set_window_pos(platform::NativeWindow window, platform::ZOrder, const platform::Rect&, uint32_t) override {
        return find(window) != nullptr;
    }
    bool get_window_rect(platform::NativeWindow window, platform::Rect& rect) override;
    bool get_client_rect(platform::NativeWindow window, platform::Rect& rect) override;
    uint32_t get_window_style(platform::NativeWindow window) override;
    void set_window_style(platform::NativeWindow window, uint32_t style) override;
    void set_window_title(platform::NativeWindow, const char*) override {}
    void show_window(platform::NativeWindow, int32_t) override {}
    void update_window(platform::NativeWindow) override {}
    platform::Rect adjust_window_rect(const platform::Rect& client, uint32_t, bool) override { return client; }

    bool clip_cursor(const platform::Rect*) override { return true; }
    void set_cursor_visible(bool) override {}
    bool get_cursor_pos(platform::Point& point) override;
    bool screen_to_client(platform::NativeWindow, platform::Point&) override { return true; }

    int32_t screen_width() override { return width_; }
    int32_t screen_height() override { return height_; }
    platform::NativeWindow foreground_window() override { return 0; }

    bool quit_posted() const { return quit_posted_; }

private:
    struct Window {
        platform::NativeWindow id;  // 0: slot free
        platform::WindowProc proc;  // the class's procedure
        void* context;              // handed back to proc
        uint32_t style;
    };
    Window* find(platform::NativeWindow window);

    int32_t width_, height_;  // client and screen size, pixels
    platform::WindowClass classes_[kHeadlessWindows] = {};
    int class_count_ = 0;
    Window windows_[kHeadlessWindows] = {};
    platform::NativeWindow next_id_ = 1;
    bool quit_posted_ = false;
    int32_t exit_code_ = 0;
};

// A counter of 600000 ticks per second (so that 1/60 s is a whole 10000
// ticks) and a millisecond clock, both moved on only by advance_ticks().
// Both start at zero, so the application time of frame k is k/60 s.
class VirtualClock final : public platform::Clock {
public:
    static constexpr int64_t kTicksPerSecond = 600000;

    void advance_ticks(int64_t ticks);

    bool query_performance_frequency(int64_t& ticks_per_second) override {
        ticks_per_second = kTicksPerSecond;
        return true;
    }
    int64_t query_performance_counter() override { return ticks_; }
    uint32_t time_get_time() override { return static_cast<uint32_t>(ticks_ / (kTicksPerSecond / 1000)); }
    uint32_t time_begin_period(uint32_t) override { return 0; }
    uint32_t time_end_period(uint32_t) override { return 0; }
    int64_t calendar_seconds() override { return 0; }

private:
    int64_t ticks_ = 0;  // counter ticks since the start
};


}  // namespace tools
