#include "platform/hosted/hosted_window_system.h"

#include <time.h>

#include <cstdio>
#include <cstring>

namespace platform {
namespace {

// How long get_message sleeps between two looks when nothing is waiting.
constexpr long kWaitNanoseconds = 10L * 1000L * 1000L;

// Keys, the mouse, and what they make (commands, menus): the host's.
bool is_input(uint32_t message) {
    constexpr uint32_t kFirstKeyMessage = 0x0100, kLastKeyMessage = 0x0109;
    constexpr uint32_t kFirstMouseMessage = 0x0200, kLastMouseMessage = 0x020E;
    return (message >= kFirstKeyMessage && message <= kLastKeyMessage) ||
           (message >= kFirstMouseMessage && message <= kLastMouseMessage) || message == kMsgCommand ||
           message == kMsgSysCommand || message == kMsgEnterMenuLoop || message == kMsgExitMenuLoop;
}

intptr_t pack_extent(int32_t width, int32_t height) {
    const uint32_t bits = (static_cast<uint32_t>(height & 0xFFFF) << 16) | static_cast<uint32_t>(width & 0xFFFF);
    return static_cast<intptr_t>(bits);
}

}  // namespace

HostedWindowSystem::HostedWindowSystem(WindowSystem& system, NativeWindow host, StopRequested stop_requested)
    : system_(system), host_(host), stop_requested_(stop_requested) {}

const HostedWindowSystem::ClassEntry* HostedWindowSystem::find_class(const char* name) const {
    if (name == nullptr) return nullptr;
    for (int i = 0; i < class_count_; ++i) {
        if (std::strcmp(classes_[i].name, name) == 0) return &classes_[i];
    }
    return nullptr;
}

// ---- classes and windows ----

Result HostedWindowSystem::register_class(const WindowClass& window_class) {
    const Result result = system_.register_class(window_class);
    if (failed(result)) return result;
    // Kept here too: the host's window gets the procedure of its class.
    if (window_class.name != nullptr && std::strlen(window_class.name) < kClassNameBytes &&
        find_class(window_class.name) == nullptr && class_count_ < kMaxClasses) {
        ClassEntry& entry = classes_[class_count_++];
        std::snprintf(entry.name, sizeof entry.name, "%s", window_class.name);
        entry.proc = window_class.proc;
        entry.context = window_class.context;
    }
    return result;
}

NativeWindow HostedWindowSystem::create_window(const WindowCreate& params) {
    if (host_ == 0 || params.parent != host_) return system_.create_window(params);
    const ClassEntry* entry = find_class(params.class_name);
    Rect client{};
    if (hosted_ != 0 || entry == nullptr || entry->proc == nullptr || !system_.get_client_rect(host_, client)) {
        return 0;
    }
    hosted_ = host_;
    proc_ = entry->proc;
    context_ = entry->context;
    style_ = params.style & ~kStyleVisible;
    width_ = client.right - client.left;
    height_ = client.bottom - client.top;
    close_queued_ = false;
    pending_count_ = 0;
    return hosted_;
}

bool HostedWindowSystem::destroy_window(NativeWindow window) {
    if (!is_hosted(window)) return system_.destroy_window(window);
    send_message(window, kMsgDestroy, 0, 0);
    // Forgotten, not destroyed: the window is the host's.
    hosted_ = 0;
    proc_ = nullptr;
    context_ = nullptr;
    pending_count_ = 0;
    return true;
}

bool HostedWindowSystem::window_exists(NativeWindow window) {
    if (window == host_ && host_ != 0) {
        const bool exists = system_.window_exists(host_);
        if (!exists) host_lost_ = true;
        return exists;
    }
    return system_.window_exists(window);
}

// ---- messages ----

void HostedWindowSystem::queue(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (pending_count_ >= kMaxPending) return;
    pending_[(pending_first_ + pending_count_) % kMaxPending] = Message{hosted_, message, wparam, lparam};
    ++pending_count_;
}

void HostedWindowSystem::watch_host() {
    const bool stop = stop_requested_ != nullptr && stop_requested_();
    if (hosted_ == 0) {
        // Nothing to close: the request ends the message loop directly.
        if (stop && !close_queued_) {
            close_queued_ = true;
            system_.post_quit_message(0);
        }
        return;
    }
    if (close_queued_) return;
    Rect client{};
    if (stop || !system_.get_client_rect(host_, client)) {
        if (!stop) host_lost_ = true;
        close_queued_ = true;
        queue(kMsgClose, 0, 0);
        return;
    }
    const int32_t width = client.right - client.left;
    const int32_t height = client.bottom - client.top;
    if ((width == width_ && height == height_) || pending_count_ + 3 > kMaxPending) return;
    width_ = width;
    height_ = height;
    queue(kMsgEnterSizeMove, 0, 0);
    queue(kMsgSize, kSizeRestored, pack_extent(width, height));
    queue(kMsgExitSizeMove, 0, 0);
}

bool HostedWindowSystem::peek_message(Message& message, bool remove) {
    watch_host();
    if (pending_count_ > 0) {
        message = pending_[pending_first_];
        if (remove) {
            pending_first_ = (pending_first_ + 1) % kMaxPending;
            --pending_count_;
        }
        return true;
    }
    while (system_.peek_message(message, remove)) {
        if (!is_hosted(message.window) || !is_input(message.message)) return true;
        // Should the system underneath see input in the host's window, it
        // is dropped: the host decides when the module ends.
        if (!remove) system_.peek_message(message, true);
    }
    return false;
}

bool HostedWindowSystem::get_message(Message& message) {
    // The host's window cannot wake a blocking wait, so this waits in
    // short sleeps and looks again.
    for (;;) {
        if (peek_message(message, true)) return message.message != kMsgQuit;
        const timespec pause{0, kWaitNanoseconds};
        nanosleep(&pause, nullptr);
    }
}

bool HostedWindowSystem::wait_message(uint32_t milliseconds) {
    // The host's window and the stop request are looked at again at least
    // this often, as get_message looks at them.
    constexpr uint32_t kHostLookMilliseconds = 250;
    Message waiting{};
    if (peek_message(waiting, false)) return true;
    system_.wait_message(milliseconds < kHostLookMilliseconds ? milliseconds : kHostLookMilliseconds);
    return peek_message(waiting, false);
}

bool HostedWindowSystem::translate_accelerator(NativeWindow window, const Accelerator* table, int count,
                                               const Message& message) {
    // No keys reach the host's window; its messages are never commands.
    if (is_hosted(window) || is_hosted(message.window)) return false;
    return system_.translate_accelerator(window, table, count, message);
}

void HostedWindowSystem::dispatch_message(const Message& message) {
    if (is_hosted(message.window)) {
        send_message(message.window, message.message, message.wparam, message.lparam);
        return;
    }
    system_.dispatch_message(message);
}

intptr_t HostedWindowSystem::send_message(NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (!is_hosted(window)) return system_.send_message(window, message, wparam, lparam);
    return proc_ != nullptr ? proc_(context_, window, message, wparam, lparam) : 0;
}

void HostedWindowSystem::post_quit_message(int32_t exit_code) { system_.post_quit_message(exit_code); }

intptr_t HostedWindowSystem::default_window_proc(NativeWindow window, uint32_t message, uintptr_t wparam,
                                                 intptr_t lparam) {
    if (!is_hosted(window)) return system_.default_window_proc(window, message, wparam, lparam);
    switch (message) {
        case kMsgClose:
            destroy_window(window);
            return 0;
        case kMsgNcHitTest:
            return kHitClient;
        default:
            return 0;
    }
}

// ---- placement and style: the host's business ----

bool HostedWindowSystem::set_window_pos(NativeWindow window, ZOrder order, const Rect& bounds, uint32_t flags) {
    if (is_hosted(window)) return true;
    return system_.set_window_pos(window, order, bounds, flags);
}

bool HostedWindowSystem::get_window_rect(NativeWindow window, Rect& rect) {
    return system_.get_window_rect(is_hosted(window) ? host_ : window, rect);
}

bool HostedWindowSystem::get_client_rect(NativeWindow window, Rect& rect) {
    return system_.get_client_rect(is_hosted(window) ? host_ : window, rect);
}

uint32_t HostedWindowSystem::get_window_style(NativeWindow window) {
    if (is_hosted(window)) return style_ | kStyleVisible;
    return system_.get_window_style(window);
}

void HostedWindowSystem::set_window_style(NativeWindow window, uint32_t style) {
    if (!is_hosted(window)) system_.set_window_style(window, style);
}

void HostedWindowSystem::set_window_title(NativeWindow window, const char* title) {
    if (!is_hosted(window)) system_.set_window_title(window, title);
}

void HostedWindowSystem::show_window(NativeWindow window, int32_t show_command) {
    if (!is_hosted(window)) system_.show_window(window, show_command);
}

void HostedWindowSystem::update_window(NativeWindow window) {
    if (is_hosted(window)) {
        send_message(window, kMsgPaint, 0, 0);
        return;
    }
    system_.update_window(window);
}

Rect HostedWindowSystem::adjust_window_rect(const Rect& client, uint32_t style, bool has_menu) {
    return system_.adjust_window_rect(client, style, has_menu);
}

// ---- the pointer: the host's too ----

bool HostedWindowSystem::clip_cursor(const Rect* rect) {
    if (rect != nullptr) return false;  // never confined
    return system_.clip_cursor(nullptr);
}

void HostedWindowSystem::set_cursor_visible(bool) {}

bool HostedWindowSystem::get_cursor_pos(Point& point) { return system_.get_cursor_pos(point); }

bool HostedWindowSystem::screen_to_client(NativeWindow window, Point& point) {
    return system_.screen_to_client(is_hosted(window) ? host_ : window, point);
}

// ---- the screen ----

int32_t HostedWindowSystem::screen_width() { return system_.screen_width(); }
int32_t HostedWindowSystem::screen_height() { return system_.screen_height(); }
uint32_t HostedWindowSystem::monitor_count() { return system_.monitor_count(); }
bool HostedWindowSystem::get_monitor(uint32_t index, MonitorInfo& monitor) {
    return system_.get_monitor(index, monitor);
}
NativeWindow HostedWindowSystem::foreground_window() { return system_.foreground_window(); }

bool HostedWindowSystem::stretch_bitmap(NativeWindow window, const uint32_t* pixels, int32_t width, int32_t height,
                                        const Rect& dest) {
    return system_.stretch_bitmap(is_hosted(window) ? host_ : window, pixels, width, height, dest);
}

}  // namespace platform
