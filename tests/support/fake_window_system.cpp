#include "tests/support/fake_window_system.h"

#include <cstdio>

namespace test_support {

using platform::Message;
using platform::NativeWindow;
using platform::Rect;

namespace {

// Formats into one reused buffer, so that a call that is not recorded
// allocates nothing.
const char* text_of(const char* format, long long a = 0, long long b = 0, long long c = 0, long long d = 0,
                    long long e = 0, long long f = 0, long long g = 0) {
    static char buffer[160];
    std::snprintf(buffer, sizeof buffer, format, a, b, c, d, e, f, g);
    return buffer;
}

}  // namespace

FakeWindowSystem::FakeWindowSystem() {
    calls.reserve(1024);
    sent.reserve(256);
    dispatched.reserve(256);
}

void FakeWindowSystem::record(const std::string& call) {
    if (!recording) return;
    if (journal != nullptr) journal->push_back(call);
    calls.push_back(call);
}

void FakeWindowSystem::record(const char* call) {
    if (recording) record(std::string(call));
}

void FakeWindowSystem::post(NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    queue.push_back(Message{window, message, wparam, lparam});
}

FakeWindow* FakeWindowSystem::find(NativeWindow window) {
    for (FakeWindow& w : windows) {
        if (w.id == window && !w.destroyed) return &w;
    }
    return nullptr;
}

NativeWindow FakeWindowSystem::add_window(const char* class_name, const Rect& window_rect, const Rect& client_rect) {
    FakeWindow w;
    w.id = next_id_++;
    w.class_name = class_name;
    w.window_rect = window_rect;
    w.client_rect = client_rect;
    windows.push_back(w);
    return w.id;
}

int FakeWindowSystem::count_calls(const std::string& prefix) const {
    int n = 0;
    for (const std::string& c : calls) n += c.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    return n;
}

intptr_t FakeWindowSystem::make_lparam(int32_t x, int32_t y) {
    const uint32_t bits = (static_cast<uint32_t>(y & 0xFFFF) << 16) | static_cast<uint32_t>(x & 0xFFFF);
    return static_cast<intptr_t>(bits);
}

platform::MonitorInfo FakeWindowSystem::monitor(int32_t left, int32_t top, int32_t width, int32_t height, int32_t dpi) {
    return platform::MonitorInfo{Rect{left, top, left + width, top + height}, dpi, {}};
}

void FakeWindowSystem::change_monitors(std::vector<platform::MonitorInfo> now) {
    monitors = std::move(now);
    for (const FakeWindow& w : windows) {
        if (!w.destroyed && w.parent == 0) post(w.id, platform::kMsgDisplayChange, 32, 0);
    }
}

uint32_t FakeWindowSystem::monitor_count() {
    return monitors.empty() ? WindowSystem::monitor_count() : static_cast<uint32_t>(monitors.size());
}

bool FakeWindowSystem::get_monitor(uint32_t index, platform::MonitorInfo& monitor) {
    if (monitors.empty()) return WindowSystem::get_monitor(index, monitor);
    if (index >= monitors.size()) return false;
    monitor = monitors[index];
    return true;
}

const FakeWindowClass* FakeWindowSystem::class_of(const FakeWindow& window) const {
    for (const FakeWindowClass& c : classes) {
        if (c.name == window.class_name) return &c;
    }
    return nullptr;
}

intptr_t FakeWindowSystem::deliver(NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    FakeWindow* w = find(window);
    if (w == nullptr) return 0;
    const FakeWindowClass* c = class_of(*w);
    if (c == nullptr || c->proc == nullptr) return 0;
    return c->proc(c->context, window, message, wparam, lparam);
}

platform::Result FakeWindowSystem::register_class(const platform::WindowClass& window_class) {
    record(std::string("register_class(") + (window_class.name ? window_class.name : "") + ")");
    if (platform::failed(register_class_answer)) return register_class_answer;
    for (const FakeWindowClass& c : classes) {
        if (c.name == window_class.name) return platform::kFail;  // already registered
    }
    FakeWindowClass c;
    c.name = window_class.name;
    c.proc = window_class.proc;
    c.context = window_class.context;
    c.style = window_class.style;
    c.icon = window_class.icon;
    c.background = window_class.background;
    classes.push_back(c);
    return platform::kOk;
}

NativeWindow FakeWindowSystem::create_window(const platform::WindowCreate& params) {
    record(std::string("create_window(") + (params.class_name ? params.class_name : "") +
           text_of(",0x%llx,%lld,%lld,%lld,%lld,%lld)", params.style, params.bounds.left, params.bounds.top,
                   params.bounds.right, params.bounds.bottom, static_cast<long long>(params.parent)));
    if (create_window_fails) return 0;
    FakeWindow w;
    w.id = next_id_++;
    w.class_name = params.class_name ? params.class_name : "";
    w.title = params.title ? params.title : "";
    w.style = params.style;
    w.parent = params.parent;
    Rect r = params.bounds;
    // With a default position, right and bottom are the extent.
    if (r.left == platform::kUseDefaultPosition) {
        r.left = 0;
    }
    if (r.top == platform::kUseDefaultPosition) {
        r.top = 0;
    }
    w.window_rect = r;
    const bool framed = (params.style & platform::kStyleCaption) != 0;
    const int32_t frame_x = framed ? 2 * border : 0;
    const int32_t frame_y = framed ? 2 * border + caption : 0;
    w.client_rect = Rect{0, 0, r.right - r.left - frame_x, r.bottom - r.top - frame_y};
    w.visible = (params.style & platform::kStyleVisible) != 0;
    windows.push_back(w);
    return w.id;
}

bool FakeWindowSystem::destroy_window(NativeWindow window) {
    record(text_of("destroy_window(%lld)", static_cast<long long>(window)));
    if (find(window) == nullptr) return false;
    if (on_destroy) on_destroy(window);
    deliver(window, platform::kMsgDestroy, 0, 0);
    if (FakeWindow* w = find(window)) w->destroyed = true;
    return true;
}

bool FakeWindowSystem::window_exists(NativeWindow window) { return find(window) != nullptr; }

bool FakeWindowSystem::peek_message(Message& message, bool remove) {
    ++peeks;
    if (queue.empty() && on_idle_peek) on_idle_peek();
    if (queue.empty()) return false;
    message = queue.front();
    if (remove) queue.pop_front();
    return true;
}

bool FakeWindowSystem::get_message(Message& message) {
    ++waits;
    if (queue.empty()) {
        ++idle_waits;
        message = Message{0, platform::kMsgQuit, static_cast<uintptr_t>(static_cast<intptr_t>(idle_exit_code)), 0};
        return false;
    }
    message = queue.front();
    queue.pop_front();
    return message.message != platform::kMsgQuit;
}

bool FakeWindowSystem::wait_message(uint32_t milliseconds) {
    if (!queue.empty()) return true;
    ++message_waits;
    if (on_wait_message) on_wait_message(milliseconds);
    return !queue.empty();
}

bool FakeWindowSystem::translate_accelerator(NativeWindow window, const platform::Accelerator* table, int count,
                                             const Message& message) {
    const bool key = message.message == platform::kMsgKeyDown;
    const bool alt_key = message.message == platform::kMsgSysKeyDown;
    if (!key && !alt_key) return false;
    for (int i = 0; i < count; ++i) {
        if (table[i].key == message.wparam && table[i].alt == alt_key) {
            record(text_of("accelerator(%lld)", table[i].command));
            sent.push_back(Message{window, platform::kMsgCommand, table[i].command, 0});
            deliver(window, platform::kMsgCommand, table[i].command, 0);
            return true;
        }
    }
    return false;
}

void FakeWindowSystem::dispatch_message(const Message& message) {
    dispatched.push_back(message);
    deliver(message.window, message.message, message.wparam, message.lparam);
}

intptr_t FakeWindowSystem::send_message(NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    record(text_of("send_message(%lld,0x%llx)", static_cast<long long>(window), message));
    sent.push_back(Message{window, message, wparam, lparam});
    return deliver(window, message, wparam, lparam);
}

void FakeWindowSystem::post_quit_message(int32_t exit_code) {
    record(text_of("post_quit_message(%lld)", exit_code));
    ++quit_posts;
    queue.push_back(Message{0, platform::kMsgQuit, static_cast<uintptr_t>(static_cast<intptr_t>(exit_code)), 0});
}

intptr_t FakeWindowSystem::default_window_proc(NativeWindow window, uint32_t message, uintptr_t, intptr_t) {
    record(text_of("default_window_proc(%lld,0x%llx)", static_cast<long long>(window), message));
    return default_answer;
}

bool FakeWindowSystem::set_window_pos(NativeWindow window, platform::ZOrder order, const Rect& bounds,
                                      uint32_t flags) {
    record(text_of("set_window_pos(%lld,%lld,%lld,%lld,%lld,%lld,0x%llx)", static_cast<long long>(window),
                   static_cast<long long>(order), bounds.left, bounds.top, bounds.right, bounds.bottom, flags));
    FakeWindow* w = find(window);
    if (w == nullptr) return false;
    w->window_rect = bounds;
    if ((flags & platform::kPlaceShowWindow) != 0) w->visible = true;
    return true;
}

bool FakeWindowSystem::get_window_rect(NativeWindow window, Rect& rect) {
    FakeWindow* w = find(window);
    if (w == nullptr) return false;
    rect = w->window_rect;
    return true;
}

bool FakeWindowSystem::get_client_rect(NativeWindow window, Rect& rect) {
    FakeWindow* w = find(window);
    if (w == nullptr) return false;
    rect = w->client_rect;
    return true;
}

uint32_t FakeWindowSystem::get_window_style(NativeWindow window) {
    FakeWindow* w = find(window);
    return w == nullptr ? 0 : w->style;
}

void FakeWindowSystem::set_window_style(NativeWindow window, uint32_t style) {
    record(text_of("set_window_style(%lld,0x%llx)", static_cast<long long>(window), style));
    if (FakeWindow* w = find(window)) w->style = style;
}

void FakeWindowSystem::set_window_title(NativeWindow window, const char* title) {
    record(text_of("set_window_title(%lld)", static_cast<long long>(window)));
    if (FakeWindow* w = find(window)) w->title = title ? title : "";
}

void FakeWindowSystem::show_window(NativeWindow window, int32_t show_command) {
    record(text_of("show_window(%lld,%lld)", static_cast<long long>(window), show_command));
    if (FakeWindow* w = find(window)) w->visible = true;
}

void FakeWindowSystem::update_window(NativeWindow window) {
    record(text_of("update_window(%lld)", static_cast<long long>(window)));
}

Rect FakeWindowSystem::adjust_window_rect(const Rect& client, uint32_t style, bool has_menu) {
    Rect r = client;
    if ((style & platform::kStyleCaption) != 0) {
        r.left -= border;
        r.right += border;
        r.top -= border + caption;
        r.bottom += border;
    }
    if (has_menu) r.top -= menu;
    return r;
}

bool FakeWindowSystem::clip_cursor(const Rect* rect) {
    if (rect == nullptr) {
        record("clip_cursor(none)");
        cursor_clipped = false;
    } else {
        record(text_of("clip_cursor(%lld,%lld,%lld,%lld)", rect->left, rect->top, rect->right, rect->bottom));
        cursor_clipped = true;
        cursor_clip = *rect;
    }
    return true;
}

void FakeWindowSystem::set_cursor_visible(bool visible) {
    record(text_of("set_cursor_visible(%lld)", visible ? 1 : 0));
    cursor_visible = visible;
}

bool FakeWindowSystem::get_cursor_pos(platform::Point& point) {
    point = cursor;
    return true;
}

bool FakeWindowSystem::screen_to_client(NativeWindow window, platform::Point& point) {
    FakeWindow* w = find(window);
    if (w == nullptr) return false;
    point.x -= w->window_rect.left;
    point.y -= w->window_rect.top;
    return true;
}

int32_t FakeWindowSystem::screen_width() { return screen_w; }
int32_t FakeWindowSystem::screen_height() { return screen_h; }
NativeWindow FakeWindowSystem::foreground_window() {
    if (journal != nullptr) journal->push_back("foreground_window");
    return foreground;
}

bool FakeWindowSystem::stretch_bitmap(NativeWindow window, const uint32_t* pixels, int32_t width, int32_t height,
                                      const Rect& dest) {
    record(text_of("stretch_bitmap(%lld,%lld,%lld,%lld,%lld,%lld,%lld)", static_cast<long long>(window), width, height,
                   dest.left, dest.top, dest.right, dest.bottom));
    return pixels != nullptr && find(window) != nullptr;
}

int32_t FakeMessageBoxes::show(NativeWindow owner, const char* text, const char* caption, uint32_t flags) {
    if (journal != nullptr) journal->push_back(std::string("message_box(") + (caption ? caption : "") + ")");
    shown.push_back(ShownMessageBox{owner, text ? text : "", caption ? caption : "", flags});
    if (while_shown) while_shown();
    return answer;
}

}  // namespace test_support
