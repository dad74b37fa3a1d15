// The window system of a module that draws inside a window another program
// owns: a screen-saver host's window (one per monitor) or the preview pane
// of its settings program.
//
// The first window created with the host as its parent is the host window
// itself: the program draws straight into it, at whatever size it has. Its
// messages go to the procedure of the class it was created with; moving,
// sizing, raising or restyling it is left to its owner, and destroying it
// only tells the procedure and forgets it, never the window itself. The
// host also owns the pointer and the keyboard: the cursor is neither
// confined nor hidden, and no input message (keys, mouse, the commands and
// menus they make) is ever handed out for the window, even when the system
// underneath has one, so only the host decides when the module ends.
//
// The host does not tell us what happens to its window, so the message pump
// looks before it answers:
//   - a new client size arrives as an interactive resize would: enter
//     size-move, size, exit size-move;
//   - a vanished host window, or a termination request (a signal), arrives
//     as one close message, which runs the program's exit sequence.
// Every other window and message belongs to the system underneath.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace platform {

class HostedWindowSystem final : public WindowSystem {
public:
    using StopRequested = bool (*)();

    // `system`: the window system underneath, used for everything else and
    // to ask after the host's window; `stop_requested`: polled with every
    // message (may be null).
    HostedWindowSystem(WindowSystem& system, NativeWindow host, StopRequested stop_requested);

    NativeWindow host() const { return host_; }
    // True once the message pump found the host's window gone, or asking
    // after it found it gone: the host ended the module.
    bool host_lost() const { return host_lost_; }

    Result register_class(const WindowClass& window_class) override;
    NativeWindow create_window(const WindowCreate& params) override;
    bool destroy_window(NativeWindow window) override;
    bool window_exists(NativeWindow window) override;

    bool peek_message(Message& message, bool remove) override;
    bool get_message(Message& message) override;
    bool wait_message(uint32_t milliseconds) override;
    bool translate_accelerator(NativeWindow window, const Accelerator* table, int count,
                               const Message& message) override;
    void dispatch_message(const Message& message) override;
    intptr_t send_message(NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) override;
    void post_quit_message(int32_t exit_code) override;
    intptr_t default_window_proc(NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) override;

    bool set_window_pos(NativeWindow window, ZOrder order, const Rect& bounds, uint32_t flags) override;
    bool get_window_rect(NativeWindow window, Rect& rect) override;
    bool get_client_rect(NativeWindow window, Rect& rect) override;
    uint32_t get_window_style(NativeWindow window) override;
    void set_window_style(NativeWindow window, uint32_t style) override;
    void set_window_title(NativeWindow window, const char* title) override;
    void show_window(NativeWindow window, int32_t show_command) override;
    void update_window(NativeWindow window) override;
    Rect adjust_window_rect(const Rect& client, uint32_t style, bool has_menu) override;

    bool clip_cursor(const Rect* rect) override;
    void set_cursor_visible(bool visible) override;
    bool get_cursor_pos(Point& point) override;
    bool screen_to_client(NativeWindow window, Point& point) override;

    int32_t screen_width() override;
    int32_t screen_height() override;
    uint32_t monitor_count() override;
    bool get_monitor(uint32_t index, MonitorInfo& monitor) override;
    NativeWindow foreground_window() override;
    bool stretch_bitmap(NativeWindow window, const uint32_t* pixels, int32_t width, int32_t height,
                        const Rect& dest) override;

private:
    static constexpr int kMaxClasses = 8;
    static constexpr int kMaxPending = 8;
    static constexpr int kClassNameBytes = 64;

    struct ClassEntry {
        char name[kClassNameBytes];
        WindowProc proc;
        void* context;
    };

    bool is_hosted(NativeWindow window) const { return window != 0 && window == hosted_; }
    const ClassEntry* find_class(const char* name) const;
    // Queues what the host's window and the stop request call for.
    void watch_host();
    void queue(uint32_t message, uintptr_t wparam, intptr_t lparam);

    WindowSystem& system_;
    NativeWindow host_;
    StopRequested stop_requested_;

    ClassEntry classes_[kMaxClasses] = {};
    int class_count_ = 0;

    NativeWindow hosted_ = 0;  // the host's window while we draw in it
    WindowProc proc_ = nullptr;
    void* context_ = nullptr;
    uint32_t style_ = 0;
    int32_t width_ = 0;        // the client size last reported to the procedure
    int32_t height_ = 0;
    bool close_queued_ = false;
    bool host_lost_ = false;

    Message pending_[kMaxPending] = {};
    int pending_first_ = 0;
    int pending_count_ = 0;
};

}  // namespace platform
