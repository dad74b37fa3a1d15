#include "tools/headless_platform.h"

#include <cstring>

namespace tools {

HeadlessWindowSystem::HeadlessWindowSystem(int32_t width, int32_t height) : width_(width), height_(height) {}

platform::Result HeadlessWindowSystem::register_class(const platform::WindowClass& window_class) {
    if (class_count_ == kHeadlessWindows || window_class.name == nullptr) return platform::kFail;
    classes_[class_count_++] = window_class;
    return platform::kOk;
}

platform::NativeWindow HeadlessWindowSystem::create_window(const platform::WindowCreate& params) {
    const platform::WindowClass* window_class = nullptr;
    for (int i = 0; i < class_count_; ++i) {
        if (params.class_name != nullptr && std::strcmp(classes_[i].name, params.class_name) == 0) {
            window_class = &classes_[i];
        }
    }
    if (window_class == nullptr) return 0;
    for (Window& w : windows_) {
        if (w.id == 0) {
            w = Window{next_id_++, window_class->proc, window_class->context, params.style};
            return w.id;
        }
    }
    return 0;
}

bool HeadlessWindowSystem::destroy_window(platform::NativeWindow window) {
    Window* w = find(window);
    if (w == nullptr) return false;
    const Window gone = *w;
    w->id = 0;
    if (gone.proc != nullptr) gone.proc(gone.context, window, platform::kMsgDestroy, 0, 0);
    return true;
}

bool HeadlessWindowSystem::peek_message(platform::Message& message, bool remove) {
    if (!quit_posted_) return false;
    message = platform::Message{0, platform::kMsgQuit, static_cast<uintptr_t>(exit_code_), 0};
    (void)remove;
    return true;
}

bool HeadlessWindowSystem::get_message(platform::Message& message) {
    // Nothing else ever arrives: without a quit message there is nothing to wait for.
    peek_message(message, true);
    return false;
}

void HeadlessWindowSystem::dispatch_message(const platform::Message& message) {
    send_message(message.window, message.message, message.wparam, message.lparam);
}

intptr_t HeadlessWindowSystem::send_message(platform::NativeWindow window, uint32_t message, uintptr_t wparam,
                                            intptr_t lparam) {
    Window* w = find(window);
    if (w == nullptr || w->proc == nullptr) return 0;
    return w->proc(w->context, window, message, wparam, lparam);
}

void HeadlessWindowSystem::post_quit_message(int32_t exit_code) {
    quit_posted_ = true;
    exit_code_ = exit_code;
}

bool HeadlessWindowSystem::get_window_rect(platform::NativeWindow window, platform::Rect& rect) {
    if (find(window) == nullptr) return false;
    rect = platform::Rect{0, 0, width_, height_};
    return true;
}

bool HeadlessWindowSystem::get_client_rect(platform::NativeWindow window, platform::Rect& rect) {
    return get_window_rect(window, rect);
}

uint32_t HeadlessWindowSystem::get_window_style(platform::NativeWindow window) {
    const Window* w = find(window);
    return w != nullptr ? w->style : 0;
}

void HeadlessWindowSystem::set_window_style(platform::NativeWindow window, uint32_t style) {
    if (Window* w = find(window)) w->style = style;
}

bool HeadlessWindowSystem::get_cursor_pos(platform::Point& point) {
    point = platform::Point{width_ / 2, height_ / 2};
    return true;
}

HeadlessWindowSystem::Window* HeadlessWindowSystem::find(platform::NativeWindow window) {
    if (window == 0) return nullptr;
    for (Window& w : windows_) {
        if (w.id == window) return &w;
    }
    return nullptr;
}

void VirtualClock::advance_ticks(int64_t ticks) { ticks_ += ticks; }

}  // namespace tools
