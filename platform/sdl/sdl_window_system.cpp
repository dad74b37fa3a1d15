#include "platform/sdl/sdl_window_system.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include <cstdio>
#include <cstring>

#include "platform/sdl/sdl_displays.h"
#include "platform/sdl/sdl_event_translation.h"
#include "platform/sdl/sdl_video.h"
#include "platform/sdl/sdl_window_modes.h"
#include "platform/sdl/sdl_window_record.h"
#include "platform/sdl/wayland_monitors.h"
#include "platform/sdl/x11_monitors.h"
#include "platform/sdl/x11_windows.h"

namespace platform {
namespace {

using sdl::WindowRecord;

constexpr uint32_t kMaxClasses = 8;
constexpr uint32_t kMaxWindows = 16;
constexpr uintptr_t kSizeMaximized = 2;
constexpr int32_t kHostPollMilliseconds = 250;
constexpr uint32_t kLongestWaitMilliseconds = 0x7FFFFFFF;  // SDL takes a signed count; negative waits for ever

constexpr uintptr_t kSysCommandMinimize = 0xF020;
constexpr uintptr_t kSysCommandClose = 0xF060;
constexpr uintptr_t kSysCommandRestore = 0xF120;

struct ClassRecord {
    bool used;
    char name[64];
    WindowProc proc;
    void* context;
};

NativeWindow native_id(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11) {
        return static_cast<NativeWindow>(info.info.x11.window);
    }
    return static_cast<NativeWindow>(SDL_GetWindowID(window));
}

class SdlWindowSystem final : public WindowSystem {
public:
    // ---- classes and windows ----

    Result register_class(const WindowClass& window_class) override {
        if (window_class.name == nullptr || window_class.proc == nullptr ||
            std::strlen(window_class.name) >= sizeof(ClassRecord::name)) {
            return kInvalidCall;
        }
        if (find_class(window_class.name) >= 0) return kFail;  // already registered
        for (auto& record : classes_) {
            if (!record.used) {
                record.used = true;
                std::snprintf(record.name, sizeof record.name, "%s", window_class.name);
                record.proc = window_class.proc;
                record.context = window_class.context;
                return kOk;
            }
        }
        return kOutOfMemory;
    }

    NativeWindow create_window(const WindowCreate& params) override {
        const int32_t class_index = params.class_name != nullptr ? find_class(params.class_name) : -1;
        WindowRecord* slot = free_slot();
        if (class_index < 0 || slot == nullptr || !sdl_video_ready()) return 0;
        const Rect& b = params.bounds;
        // With a default position, right and bottom are the extent.
        const bool default_position = b.left == kUseDefaultPosition || b.top == kUseDefaultPosition;
        const int32_t width = default_position ? b.right : b.right - b.left;
        const int32_t height = default_position ? b.bottom : b.bottom - b.top;
        if (width <= 0 || height <= 0) return 0;

        SDL_Window* sdl_window = nullptr;
        NativeWindow child = 0;
        if (params.parent != 0) {
            // A child inside another program's window (or one of ours): a
            // plain X11 window of our own, which SDL never touches, so that
            // the host may take it away at any moment.
            child = x11::create_child(params.parent, width, height);
            if (child == 0) return 0;
        } else {
            uint32_t flags = (params.style & kStyleVisible) != 0 ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
            if ((params.style & kStyleCaption) != kStyleCaption) flags |= SDL_WINDOW_BORDERLESS;
            if ((params.style & kStyleThickFrame) != 0) flags |= SDL_WINDOW_RESIZABLE;
            const int x = default_position ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : b.left;
            const int y = default_position ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : b.top;
            sdl_window = SDL_CreateWindow(params.title != nullptr ? params.title : "", x, y, width, height, flags);
            if (sdl_window == nullptr) return 0;
        }
        *slot = WindowRecord{};
        slot->sdl = sdl_window;
        slot->sdl_id = sdl_window != nullptr ? SDL_GetWindowID(sdl_window) : 0;
        slot->id = child != 0 ? child : native_id(sdl_window);
        slot->class_index = static_cast<uint32_t>(class_index);
        slot->style = params.style & ~kStyleVisible;
        slot->child_of = child != 0 ? params.parent : 0;
        slot->expected_width = slot->windowed_width = width;
        slot->expected_height = slot->windowed_height = height;

        // The window procedure sets the smallest size the user may drag to.
        MinMaxInfo limits{};
        limits.max_track_size = Point{screen_width(), screen_height()};
        send_message(slot->id, kMsgGetMinMaxInfo, 0, reinterpret_cast<intptr_t>(&limits));
        if (child == 0 && limits.min_track_size.x > 0 && limits.min_track_size.y > 0) {
            SDL_SetWindowMinimumSize(sdl_window, limits.min_track_size.x, limits.min_track_size.y);
        }
        return slot->id;
    }

    bool destroy_window(NativeWindow window) override {
        WindowRecord* record = find(window);
        if (record == nullptr) return false;
        send_message(window, kMsgDestroy, 0, 0);
        record = find(window);  // the procedure may have destroyed it already
        if (record == nullptr) return true;
        forget_window(*record, true);
        return true;
    }

    bool window_exists(NativeWindow window) override {
        return find(window) != nullptr || (window != 0 && x11::window_exists(window));
    }

    // ---- messages ----

    bool peek_message(Message& message, bool remove) override {
        pump_events();
        if (!queue_.empty()) {
            message = queue_.front();
            if (remove) queue_.pop();
            return true;
        }
        if (quit_posted_) {
            message = Message{0, kMsgQuit, static_cast<uintptr_t>(quit_code_), 0};
            if (remove) quit_posted_ = false;
            return true;
        }
        return false;
    }

    bool get_message(Message& message) override {
        for (;;) {
            pump_events();
            if (!queue_.empty()) {
                message = queue_.front();
                queue_.pop();
                return true;
            }
            if (quit_posted_) {
                quit_posted_ = false;
                message = Message{0, kMsgQuit, static_cast<uintptr_t>(quit_code_), 0};
                return false;
            }
            if (!sdl_video_ready()) {
                // Nothing can ever arrive; end the loop rather than hang.
                message = Message{0, kMsgQuit, 0, 0};
                return false;
            }
            // Block until SDL has something. The children of other
            // programs' windows and the monitors report on our own X
            // connections, which SDL does not wait on, so those are looked
            // at a few times a second.
            SDL_Event event;
            const bool poll_own = has_child_windows() || monitors_read_;
            const bool got =
                poll_own ? SDL_WaitEventTimeout(&event, kHostPollMilliseconds) == 1 : SDL_WaitEvent(&event) == 1;
            if (got) translate(event);
        }
    }

    bool wait_message(uint32_t milliseconds) override {
        pump_events();
        if (!queue_.empty() || quit_posted_) return true;
        if (!sdl_video_ready()) {
            SDL_Delay(milliseconds);  // nothing can arrive; the caller's time passes all the same
            return false;
        }
        // The children of other programs' windows report on our own X
        // connection, which SDL does not wait on (see get_message).
        uint32_t wait = milliseconds < kLongestWaitMilliseconds ? milliseconds : kLongestWaitMilliseconds;
        if (has_child_windows() && wait > static_cast<uint32_t>(kHostPollMilliseconds)) wait = kHostPollMilliseconds;
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, static_cast<int>(wait)) == 1) translate(event);
        pump_events();
        return !queue_.empty() || quit_posted_;
    }

    bool translate_accelerator(NativeWindow window, const Accelerator* table, int count,
                               const Message& message) override {
        uint16_t command = 0;
        if (!sdl::match_accelerator(table, count, message, command)) return false;
        // High word 1: the command came from an accelerator.
        send_message(window, kMsgCommand, (uintptr_t{1} << 16) | command, 0);
        return true;
    }

    void dispatch_message(const Message& message) override {
        if (message.message == kMsgQuit) return;
        send_message(message.window, message.message, message.wparam, message.lparam);
    }

    intptr_t send_message(NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) override {
        const WindowRecord* record = find(window);
        if (record == nullptr) return 0;
        const ClassRecord& window_class = classes_[record->class_index];
        return window_class.proc(window_class.context, window, message, wparam, lparam);
    }

    void post_quit_message(int32_t exit_code) override {
        quit_posted_ = true;
        quit_code_ = exit_code;
    }

    intptr_t default_window_proc(NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t) override {
        switch (message) {
            case kMsgClose:
                destroy_window(window);
                return 0;
            case kMsgSetCursor:
                set_cursor_visible(true);  // the class's arrow
                return 1;
            case kMsgNcHitTest:
                return kHitClient;
            case kMsgSysCommand: {
                const WindowRecord* record = find(window);
                if (record == nullptr) return 0;
                const uintptr_t command = wparam & 0xFFF0;
                if (command == kSysCommandClose) send_message(window, kMsgClose, 0, 0);
                if (command == kSysCommandMinimize) SDL_MinimizeWindow(record->sdl);
                if (command == kSysCommandMaximize) SDL_MaximizeWindow(record->sdl);
                if (command == kSysCommandRestore) SDL_RestoreWindow(record->sdl);
                return 0;
            }
            default:
                return 0;
        }
    }

    // ---- placement and style ----

    bool set_window_pos(NativeWindow window, ZOrder order, const Rect& bounds, uint32_t flags) override {
        WindowRecord* record = find(window);
        if (record == nullptr || record->sdl == nullptr) return record != nullptr;
        constexpr uint32_t kNoSize = 0x1, kNoMove = 0x2, kNoZOrder = 0x4, kHide = 0x80;
        if ((flags & (kNoSize | kNoMove)) == 0 && sdl::place_over_output(*record, bounds)) {
            if (flags & kPlaceShowWindow) SDL_ShowWindow(record->sdl);
            if (flags & kHide) SDL_HideWindow(record->sdl);
            return true;
        }
        int top = 0, left = 0, bottom = 0, right = 0;
        SDL_GetWindowBordersSize(record->sdl, &top, &left, &bottom, &right);
        // A window in a display mode of its own stays where the mode put
        // it; one that covers its display may follow the display.
        const bool full_screen = (SDL_GetWindowFlags(record->sdl) & SDL_WINDOW_FULLSCREEN) != 0;
        if ((flags & kNoSize) == 0 && !full_screen) {
            const int scale = sdl::window_scale(*record);
            const int width = (bounds.right - bounds.left) / scale - left - right;
            const int height = (bounds.bottom - bounds.top) / scale - top - bottom;
            if (width > 0 && height > 0) {
                record->expected_width = width * scale;
                record->expected_height = height * scale;
                SDL_SetWindowSize(record->sdl, width, height);
            }
        }
        if ((flags & kNoMove) == 0 && !full_screen && record->child_of == 0) {
            SDL_SetWindowPosition(record->sdl, bounds.left + left, bounds.top + top);
        }
        if ((flags & kNoZOrder) == 0 && record->child_of == 0) {
            if (order == ZOrder::TopMost) SDL_SetWindowAlwaysOnTop(record->sdl, SDL_TRUE);
            if (order == ZOrder::NoTopMost) SDL_SetWindowAlwaysOnTop(record->sdl, SDL_FALSE);
        }
        if (flags & kPlaceShowWindow) {
            SDL_ShowWindow(record->sdl);
            if (order == ZOrder::TopMost || order == ZOrder::Top) SDL_RaiseWindow(record->sdl);
        }
        if (flags & kHide) SDL_HideWindow(record->sdl);
        return true;
    }

    bool get_window_rect(NativeWindow window, Rect& rect) override {
        const WindowRecord* record = find(window);
        if (record == nullptr) return x11::window_rect(window, rect);
        if (record->child_of != 0) return x11::window_rect(window, rect);
        int x = 0, y = 0, width = 0, height = 0;
        int top = 0, left = 0, bottom = 0, right = 0;
        SDL_GetWindowPosition(record->sdl, &x, &y);
        SDL_GetWindowSize(record->sdl, &width, &height);
        SDL_GetWindowBordersSize(record->sdl, &top, &left, &bottom, &right);
        const int scale = sdl::window_scale(*record);
        rect = Rect{x - left, y - top, x + (width + right) * scale, y + (height + bottom) * scale};
        return true;
    }

    bool get_client_rect(NativeWindow window, Rect& rect) override {
        uint32_t width = 0, height = 0;
        if (!sdl_window_client_size(window, width, height)) return false;
        rect = Rect{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
        return true;
    }

    uint32_t get_window_style(NativeWindow window) override {
        const WindowRecord* record = find(window);
        if (record == nullptr) return 0;
        if (record->sdl == nullptr) return record->style | kStyleVisible;
        const bool shown = (SDL_GetWindowFlags(record->sdl) & SDL_WINDOW_SHOWN) != 0;
        return record->style | (shown ? kStyleVisible : 0);
    }

    // The visible bit is not taken from a style: showing and hiding go
    // through show_window and set_window_pos.
    void set_window_style(NativeWindow window, uint32_t style) override {
        WindowRecord* record = find(window);
        if (record == nullptr || record->child_of != 0) return;
        record->style = style & ~kStyleVisible;
        SDL_SetWindowBordered(record->sdl, (style & kStyleCaption) == kStyleCaption ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowResizable(record->sdl, (style & kStyleThickFrame) != 0 ? SDL_TRUE : SDL_FALSE);
    }

    void set_window_title(NativeWindow window, const char* title) override {
        const WindowRecord* record = find(window);
        if (record != nullptr && record->sdl != nullptr) SDL_SetWindowTitle(record->sdl, title != nullptr ? title : "");
    }

    void show_window(NativeWindow window, int32_t show_command) override {
        const WindowRecord* record = find(window);
        if (record == nullptr || record->sdl == nullptr) return;
        switch (show_command) {
            case 0: SDL_HideWindow(record->sdl); break;
            case 2:
            case 6:
            case 7: SDL_MinimizeWindow(record->sdl); break;
            case 3: SDL_MaximizeWindow(record->sdl); break;
            case 9: SDL_RestoreWindow(record->sdl); break;
            default: SDL_ShowWindow(record->sdl); break;
        }
    }

    void update_window(NativeWindow window) override { send_message(window, kMsgPaint, 0, 0); }

    // The window manager draws its frame outside the client area and tells
    // its size only once a window exists, so no room is added here.
    Rect adjust_window_rect(const Rect& client, uint32_t, bool) override { return client; }

    // ---- cursor and screen ----

    bool clip_cursor(const Rect* rect) override {
        if (!sdl_video_ready()) return false;
        bool done = rect == nullptr;
        for (const auto& record : windows_) {
            if (record.id == 0 || record.child_of != 0) continue;
            if (rect == nullptr) {
                SDL_SetWindowMouseRect(record.sdl, nullptr);
                continue;
            }
            int x = 0, y = 0;
            SDL_GetWindowPosition(record.sdl, &x, &y);
            const SDL_Rect area{rect->left - x, rect->top - y, rect->right - rect->left, rect->bottom - rect->top};
            if (!done && (SDL_GetWindowFlags(record.sdl) & SDL_WINDOW_SHOWN) != 0) {
                done = SDL_SetWindowMouseRect(record.sdl, &area) == 0;
            }
        }
        return done;
    }

    void set_cursor_visible(bool visible) override {
        if (visible == cursor_visible_ || !sdl_video_ready()) return;
        cursor_visible_ = visible;
        SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }

    bool get_cursor_pos(Point& point) override {
        if (!sdl_video_ready()) return false;
        int x = 0, y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        point = Point{x, y};
        return true;
    }

    bool screen_to_client(NativeWindow window, Point& point) override {
        Rect rect{};
        const WindowRecord* record = find(window);
        if (record != nullptr && record->child_of == 0) {
            int x = 0, y = 0;
            SDL_GetWindowPosition(record->sdl, &x, &y);
            point = Point{point.x - x, point.y - y};
            return true;
        }
        if (!x11::window_rect(window, rect)) return false;
        point = Point{point.x - rect.left, point.y - rect.top};
        return true;
    }

    int32_t screen_width() override {
        SDL_DisplayMode mode{};
        return sdl_video_ready() && SDL_GetDesktopDisplayMode(0, &mode) == 0 ? mode.w : 0;
    }

    int32_t screen_height() override {
        SDL_DisplayMode mode{};
        return sdl_video_ready() && SDL_GetDesktopDisplayMode(0, &mode) == 0 ? mode.h : 0;
    }

    // ---- monitors ----

    // Read on first use; from then on the server's changes are listened to
    // (see pump_events).
    uint32_t monitor_count() override {
        if (!monitors_read_) read_monitors();
        return monitor_total_ > 0 ? monitor_total_ : WindowSystem::monitor_count();
    }

    bool get_monitor(uint32_t index, MonitorInfo& monitor) override {
        if (!monitors_read_) read_monitors();
        if (monitor_total_ == 0) return WindowSystem::get_monitor(index, monitor);
        if (index >= monitor_total_) return false;
        monitor = monitors_[index];
        return true;
    }

    NativeWindow foreground_window() override {
        if (sdl_video_ready()) {
            if (SDL_Window* focused = SDL_GetKeyboardFocus()) {
                if (const WindowRecord* record = find_sdl(SDL_GetWindowID(focused))) return record->id;
            }
        }
        return x11::active_window();
    }

    bool stretch_bitmap(NativeWindow window, const uint32_t* pixels, int32_t width, int32_t height,
                        const Rect& dest) override {
        const WindowRecord* record = find(window);
        if (record == nullptr || pixels == nullptr || width <= 0 || height <= 0) return false;
        if (record->sdl == nullptr) return x11::put_stretched_image(window, pixels, width, height, dest);
        SDL_Surface* target = SDL_GetWindowSurface(record->sdl);
        if (target == nullptr) return false;
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width, height, 32,
                                                                 width * 4, SDL_PIXELFORMAT_RGB888);
        if (source == nullptr) return false;
        SDL_Rect area{dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top};
        const bool drawn = SDL_BlitScaled(source, nullptr, target, &area) == 0;
        SDL_FreeSurface(source);
        return drawn && SDL_UpdateWindowSurface(record->sdl) == 0;
    }

    WindowRecord* find(NativeWindow window) {
        if (window == 0) return nullptr;
        for (auto& record : windows_) {
            if (record.id == window) return &record;
        }
        return nullptr;
    }

private:
    int32_t find_class(const char* name) const {
        for (uint32_t i = 0; i < kMaxClasses; ++i) {
            if (classes_[i].used && std::strcmp(classes_[i].name, name) == 0) return static_cast<int32_t>(i);
        }
        return -1;
    }

    WindowRecord* free_slot() {
        for (auto& record : windows_) {
            if (record.id == 0) return &record;
        }
        return nullptr;
    }

    WindowRecord* find_sdl(uint32_t sdl_id) {
        for (auto& record : windows_) {
            if (record.id != 0 && record.sdl != nullptr && record.sdl_id == sdl_id) return &record;
        }
        return nullptr;
    }

    // `alive`: the X window still exists and is ours to destroy; a child
    // whose host vanished was taken along already.
    void forget_window(WindowRecord& record, bool alive) {
        const NativeWindow id = record.id;
        if (record.sdl != nullptr) SDL_DestroyWindow(record.sdl);
        if (alive && record.child_of != 0) x11::destroy_window(id);
        record = WindowRecord{};
        queue_.remove_window(id);
    }

    bool has_child_windows() const {
        for (const auto& record : windows_) {
            if (record.id != 0 && record.child_of != 0) return true;
        }
        return false;
    }

    // Children of other programs' windows report through our own X
    // connection: exposures become paint messages; when the host takes a
    // child along, the child's procedure hears of its destruction.
    void pump_child_events() {
        x11::ChildEvent event{};
        while (x11::poll_child_event(event)) {
            WindowRecord* record = find(event.window);
            if (record == nullptr || record->child_of == 0) continue;
            if (event.exposed) queue_.push(Message{event.window, kMsgPaint, 0, 0});
            if (event.destroyed) {
                send_message(event.window, kMsgDestroy, 0, 0);
                if (WindowRecord* still = find(event.window)) forget_window(*still, false);
            }
        }
    }

    // Reads the monitors and starts listening to their changes; true when
    // they differ from what was read before.
    bool read_monitors() {
        const bool first = !monitors_read_;
        monitors_read_ = true;
        const bool wayland = video_session() == sdl::VideoSession::wayland;
        if (first && !wayland) x11::monitors_changed();  // starts listening before the read, so no change is missed
        MonitorInfo fresh[kMaxMonitors] = {};
        const uint32_t count =
            wayland ? sdl::read_wayland_monitors(fresh, kMaxMonitors) : x11::read_monitors(fresh, kMaxMonitors);
        const bool same = count == monitor_total_ && std::memcmp(fresh, monitors_, sizeof(MonitorInfo) * count) == 0;
        std::memcpy(monitors_, fresh, sizeof monitors_);
        monitor_total_ = count;
        return !first && !same;
    }

    // The monitors changed: every top-level window hears of it, with the
    // desktop's depth and the first monitor's size, as Windows tells it.
    void announce_monitor_change() {
        const Rect& first = monitors_[0].bounds;
        const intptr_t size = sdl::pack_point(first.right - first.left, first.bottom - first.top);
        for (const auto& record : windows_) {
            if (record.id != 0 && record.child_of == 0) queue_.push(Message{record.id, kMsgDisplayChange, 32, size});
        }
    }

    void pump_events() {
        if (monitors_read_ && video_session() == sdl::VideoSession::x11 && x11::monitors_changed() && read_monitors()) {
            announce_monitor_change();
        }
        if (has_child_windows()) pump_child_events();
        if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
        SDL_Event event;
        while (SDL_PollEvent(&event) == 1) translate(event);
    }

    void translate(const SDL_Event& event) {
        if (event.type == SDL_QUIT) {
            // A signal asked us to end: close the first top-level window.
            for (const auto& record : windows_) {
                if (record.id != 0 && record.child_of == 0) {
                    queue_.push(Message{record.id, kMsgClose, 0, 0});
                    return;
                }
            }
            post_quit_message(0);
            return;
        }
        if (event.type == SDL_WINDOWEVENT) {
            translate_window_event(event.window);
            return;
        }
        if (event.type == SDL_DISPLAYEVENT) {
            // Wayland's outputs come, go and change through SDL's displays.
            sdl_forget_display_scales();
            if (monitors_read_ && video_session() == sdl::VideoSession::wayland && read_monitors()) {
                announce_monitor_change();
            }
            return;
        }
        uint32_t sdl_id = 0;
        switch (event.type) {
            case SDL_KEYDOWN:
            case SDL_KEYUP: sdl_id = event.key.windowID; break;
            case SDL_MOUSEMOTION: sdl_id = event.motion.windowID; break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: sdl_id = event.button.windowID; break;
            case SDL_MOUSEWHEEL: sdl_id = event.wheel.windowID; break;
            default: return;
        }
        const WindowRecord* record = find_sdl(sdl_id);
        if (record != nullptr) input_.translate(event, record->id, queue_);
    }

    void translate_window_event(const SDL_WindowEvent& event) {
        WindowRecord* record = find_sdl(event.windowID);
        if (record == nullptr) return;
        const NativeWindow id = record->id;
        int width = 0, height = 0;
        SDL_GetWindowSize(record->sdl, &width, &height);
        const int scale = sdl::window_scale(*record);
        const intptr_t extent = sdl::pack_point(width * scale, height * scale);
        switch (event.event) {
            case SDL_WINDOWEVENT_MINIMIZED:
                record->minimized = true;
                queue_.push(Message{id, kMsgSize, kSizeMinimized, 0});
                break;
            case SDL_WINDOWEVENT_RESTORED:
                if (record->minimized) {
                    record->minimized = false;
                    queue_.push(Message{id, kMsgSize, kSizeRestored, extent});
                }
                break;
            case SDL_WINDOWEVENT_MAXIMIZED:
                record->minimized = false;
                queue_.push(Message{id, kMsgSize, kSizeMaximized, extent});
                break;
            case SDL_WINDOWEVENT_SIZE_CHANGED: {
                const int32_t new_width = event.data1 * scale;
                const int32_t new_height = event.data2 * scale;
                const intptr_t new_extent = sdl::pack_point(new_width, new_height);
                if (new_width == record->expected_width && new_height == record->expected_height) {
                    queue_.push(Message{id, kMsgSize, kSizeRestored, new_extent});
                } else {
                    // Someone else (the user, the window manager) resized the
                    // window: the same bracket as an interactive resize.
                    record->expected_width = new_width;
                    record->expected_height = new_height;
                    queue_.push(Message{id, kMsgEnterSizeMove, 0, 0});
                    queue_.push(Message{id, kMsgSize, kSizeRestored, new_extent});
                    queue_.push(Message{id, kMsgExitSizeMove, 0, 0});
                }
                break;
            }
            case SDL_WINDOWEVENT_EXPOSED:
                queue_.push(Message{id, kMsgPaint, 0, 0});
                break;
            case SDL_WINDOWEVENT_CLOSE:
                queue_.push(Message{id, kMsgClose, 0, 0});
                break;
            default:
                break;
        }
    }

    ClassRecord classes_[kMaxClasses] = {};
    WindowRecord windows_[kMaxWindows] = {};
    sdl::MessageQueue queue_;
    sdl::InputTranslator input_;
    bool quit_posted_ = false;
    int32_t quit_code_ = 0;
    bool cursor_visible_ = true;
    bool monitors_read_ = false;  // asked for once: from then on kept up to date
    MonitorInfo monitors_[kMaxMonitors] = {};
    uint32_t monitor_total_ = 0;  // 0: the server told nothing (the default monitor)
};

SdlWindowSystem& window_system() {
    static SdlWindowSystem system;
    return system;
}

}  // namespace

WindowSystem* make_sdl_window_system() { return &window_system(); }

namespace sdl {

WindowRecord* find_window_record(NativeWindow window) { return window_system().find(window); }

}  // namespace sdl

}  // namespace platform
