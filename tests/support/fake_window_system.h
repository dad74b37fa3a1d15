// Scripted stand-in for windows and the message pump. Windows are records;
// send_message and dispatch_message call the registered window procedure;
// posted messages wait in a queue the test can fill. Every call that
// changes something is recorded in order.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace test_support {

struct FakeWindow {
    platform::NativeWindow id = 0;
    std::string class_name;
    std::string title;
    uint32_t style = 0;
    platform::Rect window_rect{};  // screen pixels
    platform::Rect client_rect{};  // client pixels, origin 0, 0
    platform::NativeWindow parent = 0;
    bool visible = false;
    bool destroyed = false;
};

struct FakeWindowClass {
    std::string name;
    platform::WindowProc proc = nullptr;
    void* context = nullptr;
    uint32_t style = 0;
    uint32_t icon = 0;
    platform::Brush background = platform::Brush::White;
};

class FakeWindowSystem : public platform::WindowSystem {
public:
    FakeWindowSystem();

    // ---- script ----
    platform::Result register_class_answer = platform::kOk;
    bool create_window_fails = false;
    int32_t screen_w = 1024;
    int32_t screen_h = 768;
    platform::Point cursor{100, 100};       // screen pixels
    platform::NativeWindow foreground = 0;
    intptr_t default_answer = 0;            // what default_window_proc answers
    int32_t border = 4;                     // adjust_window_rect: frame on every side of a captioned window
    int32_t caption = 20;                   // adjust_window_rect: caption height of a captioned window
    int32_t menu = 20;                      // adjust_window_rect: menu height when asked for
    // The desktop's monitors; empty: the default, one of the screen's size.
    std::vector<platform::MonitorInfo> monitors;
    // get_message with nothing queued: a real system would wait; the fake
    // answers the quit message with this code and counts the wait.
    int32_t idle_exit_code = -999;
    // Called when peek_message finds nothing queued (a test can move its
    // clock on here, as real time would between two polls).
    std::function<void()> on_idle_peek;
    // Called as a window goes, before its kMsgDestroy (a test can send what
    // a real system sends it then, such as its deactivation).
    std::function<void(platform::NativeWindow)> on_destroy;
    // Called by wait_message with its timeout when nothing is queued (a
    // test moves its clock on by that much here, or posts a message).
    std::function<void(uint32_t milliseconds)> on_wait_message;
    // When set, every recorded call is also appended here (to order calls
    // of several fakes against each other).
    std::vector<std::string>* journal = nullptr;
    bool recording = true;  // false: keep no call log (for allocation-free frames)

    // ---- what happened ----
    std::vector<std::string> calls;
    std::deque<platform::Message> queue;
    std::vector<FakeWindow> windows;
    std::vector<FakeWindowClass> classes;
    std::vector<platform::Message> sent;        // send_message and accelerator commands
    std::vector<platform::Message> dispatched;
    bool cursor_clipped = false;
    platform::Rect cursor_clip{};
    bool cursor_visible = true;
    int peeks = 0;
    int waits = 0;        // get_message calls
    int idle_waits = 0;   // get_message calls that found nothing queued
    int message_waits = 0;  // wait_message calls that found nothing queued
    int quit_posts = 0;

    // ---- helpers ----
    void post(platform::NativeWindow window, uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);
    FakeWindow* find(platform::NativeWindow window);
    // A window created by the test itself, with its procedure's class.
    platform::NativeWindow add_window(const char* class_name, const platform::Rect& window_rect,
                                      const platform::Rect& client_rect);
    int count_calls(const std::string& prefix) const;
    static intptr_t make_lparam(int32_t x, int32_t y);
    // A monitor at (left, top) of width x height pixels.
    static platform::MonitorInfo monitor(int32_t left, int32_t top, int32_t width, int32_t height,
                                         int32_t dpi = platform::kDefaultDpi);
    // The monitors change as a system reports it: every top-level window
    // gets kMsgDisplayChange in the queue.
    void change_monitors(std::vector<platform::MonitorInfo> now);

    // ---- the window system ----
    platform::Result register_class(const platform::WindowClass& window_class) override;
    platform::NativeWindow create_window(const platform::WindowCreate& params) override;
    bool destroy_window(platform::NativeWindow window) override;
    bool window_exists(platform::NativeWindow window) override;
    bool peek_message(platform::Message& message, bool remove) override;
    bool get_message(platform::Message& message) override;
    bool wait_message(uint32_t milliseconds) override;
    bool translate_accelerator(platform::NativeWindow window, const platform::Accelerator* table, int count,
                               const platform::Message& message) override;
    void dispatch_message(const platform::Message& message) override;
    intptr_t send_message(platform::NativeWindow window, uint32_t message, uintptr_t wparam,
                          intptr_t lparam) override;
    void post_quit_message(int32_t exit_code) override;
    intptr_t default_window_proc(platform::NativeWindow window, uint32_t message, uintptr_t wparam,
                                 intptr_t lparam) override;
    bool set_window_pos(platform::NativeWindow window, platform::ZOrder order, const platform::Rect& bounds,
                        uint32_t flags) override;
    bool get_window_rect(platform::NativeWindow window, platform::Rect& rect) override;
    bool get_client_rect(platform::NativeWindow window, platform::Rect& rect) override;
    uint32_t get_window_style(platform::NativeWindow window) override;
    void set_window_style(platform::NativeWindow window, uint32_t style) override;
    void set_window_title(platform::NativeWindow window, const char* title) override;
    void show_window(platform::NativeWindow window, int32_t show_command) override;
    void update_window(platform::NativeWindow window) override;
    platform::Rect adjust_window_rect(const platform::Rect& client, uint32_t style, bool has_menu) override;
    bool clip_cursor(const platform::Rect* rect) override;
    void set_cursor_visible(bool visible) override;
    bool get_cursor_pos(platform::Point& point) override;
    bool screen_to_client(platform::NativeWindow window, platform::Point& point) override;
    int32_t screen_width() override;
    int32_t screen_height() override;
    platform::NativeWindow foreground_window() override;
    uint32_t monitor_count() override;
    bool get_monitor(uint32_t index, platform::MonitorInfo& monitor) override;
    bool stretch_bitmap(platform::NativeWindow window, const uint32_t* pixels, int32_t width, int32_t height,
                        const platform::Rect& dest) override;

private:
    void record(const std::string& call);
    void record(const char* call);
    intptr_t deliver(platform::NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam);
    const FakeWindowClass* class_of(const FakeWindow& window) const;

    platform::NativeWindow next_id_ = 0x1001;
};

// A message box as it was shown.
struct ShownMessageBox {
    platform::NativeWindow owner;
    std::string text;
    std::string caption;
    uint32_t flags;
};

class FakeMessageBoxes : public platform::MessageBoxes {
public:
    int32_t answer = 1;
    std::vector<std::string>* journal = nullptr;  // gets "message_box(<caption>)"
    std::vector<ShownMessageBox> shown;
    std::function<void()> while_shown;  // what happens while a box is up

    int32_t show(platform::NativeWindow owner, const char* text, const char* caption, uint32_t flags) override;
};

}  // namespace test_support
