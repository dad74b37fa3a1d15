#include "platform/win32/win32_window_system.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/dib_format.h"
#include "platform/win32/win32_monitors.h"
#include "platform/win32/win32_power_status.h"

namespace platform::win32 {
namespace {

// A window class of the program: its procedure and context. Each slot has
// its own Win32 window procedure, so a message finds its class before the
// window has any data of its own (WM_GETMINMAXINFO comes before WM_NCCREATE).
struct ClassSlot {
    char name[64];
    WindowProc proc;
    void* context;
    bool registered;
};

constexpr int kClassSlots = 4;
ClassSlot g_slots[kClassSlots];

// GUID_CONSOLE_DISPLAY_STATE: the state of the display the console shows on.
constexpr GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

// A change of the console display's power state, for the power status.
void note_power_setting(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_POWERBROADCAST || wparam != PBT_POWERSETTINGCHANGE || lparam == 0) return;
    const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lparam);
    if (!IsEqualGUID(setting->PowerSetting, kConsoleDisplayState) || setting->DataLength < sizeof(DWORD)) return;
    DWORD state = 0;
    CopyMemory(&state, setting->Data, sizeof state);
    note_console_display_state(state);
}

HWND to_hwnd(NativeWindow window) { return reinterpret_cast<HWND>(window); }
NativeWindow to_native(HWND window) { return reinterpret_cast<NativeWindow>(window); }

template <int Slot>
LRESULT CALLBACK slot_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    const ClassSlot& slot = g_slots[Slot];
    note_power_setting(message, wparam, lparam);
    if (slot.proc == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
    const LRESULT answer = slot.proc(slot.context, to_native(hwnd), message, wparam, lparam);
    // The program paints through the device or with stretch_bitmap(); the
    // window is then valid again, or Windows would ask for paint forever.
    if (message == WM_PAINT) ValidateRect(hwnd, nullptr);
    return answer;
}

constexpr WNDPROC kSlotProcs[kClassSlots] = {&slot_proc<0>, &slot_proc<1>, &slot_proc<2>, &slot_proc<3>};

HWND insert_after(ZOrder order) {
    switch (order) {
        case ZOrder::TopMost: return HWND_TOPMOST;
        case ZOrder::NoTopMost: return HWND_NOTOPMOST;
        case ZOrder::Top: return HWND_TOP;
        default: return nullptr;
    }
}

class Win32WindowSystem final : public WindowSystem {
public:
    Result register_class(const WindowClass& window_class) override {
        if (window_class.name == nullptr || std::strlen(window_class.name) >= sizeof g_slots[0].name) {
            return kInvalidCall;
        }
        int free_slot = -1;
        for (int i = 0; i < kClassSlots; ++i) {
            if (g_slots[i].registered && std::strcmp(g_slots[i].name, window_class.name) == 0) {
                // Registered before: the new procedure takes over.
                g_slots[i].proc = window_class.proc;
                g_slots[i].context = window_class.context;
                return kOk;
            }
            if (!g_slots[i].registered && free_slot < 0) free_slot = i;
        }
        if (free_slot < 0) return kOutOfMemory;
        ClassSlot& slot = g_slots[free_slot];
        std::strcpy(slot.name, window_class.name);
        slot.proc = window_class.proc;
        slot.context = window_class.context;

        HINSTANCE instance = GetModuleHandleA(nullptr);
        WNDCLASSA wc{};
        // A window may carry an OpenGL context, which holds on to the
        // window's device context for the window's whole life: each window
        // gets a private one rather than one of the system's shared cache.
        wc.style = window_class.style | CS_OWNDC;
        wc.lpfnWndProc = kSlotProcs[free_slot];
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(window_class.icon));
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        wc.hbrBackground =
            static_cast<HBRUSH>(GetStockObject(window_class.background == Brush::Black ? BLACK_BRUSH : WHITE_BRUSH));
        wc.lpszClassName = slot.name;
        if (RegisterClassA(&wc) == 0) {
            slot = ClassSlot{};
            return kFail;
        }
        slot.registered = true;
        return kOk;
    }

    NativeWindow create_window(const WindowCreate& params) override {
        int x = params.bounds.left, y = params.bounds.top;
        int width = params.bounds.right - params.bounds.left;
        int height = params.bounds.bottom - params.bounds.top;
        if (params.bounds.left == kUseDefaultPosition || params.bounds.top == kUseDefaultPosition) {
            x = y = CW_USEDEFAULT;
            width = params.bounds.right;
            height = params.bounds.bottom;
        }
        HWND window = CreateWindowExA(0, params.class_name, params.title, params.style, x, y, width, height,
                                      to_hwnd(params.parent), nullptr, GetModuleHandleA(nullptr), nullptr);
        if (window != nullptr && params.parent == 0 && display_notice_ == nullptr) {
            // The first top-level window hears when the display is powered
            // down and up (at once, too, with the state it has now).
            display_notice_ =
                RegisterPowerSettingNotification(window, &kConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE);
            if (display_notice_ != nullptr) display_notice_window_ = window;
        }
        if (window != nullptr && params.parent != 0) {
            DWORD host_process = 0, our_process = GetCurrentProcessId();
            GetWindowThreadProcessId(to_hwnd(params.parent), &host_process);
            // A child inside another program's window: ours must go when the
            // host's does, whatever that program does at the end.
            if (host_process != our_process) {
                hosted_child_ = window;
                host_ = to_hwnd(params.parent);
            }
        }
        return to_native(window);
    }

    bool destroy_window(NativeWindow window) override {
        if (display_notice_ != nullptr && to_hwnd(window) == display_notice_window_) {
            UnregisterPowerSettingNotification(display_notice_);
            display_notice_ = nullptr;
            display_notice_window_ = nullptr;
        }
        return DestroyWindow(to_hwnd(window)) != FALSE;
    }
    bool window_exists(NativeWindow window) override { return IsWindow(to_hwnd(window)) != FALSE; }

    bool peek_message(Message& message, bool remove) override {
        watch_host();
        MSG msg{};
        for (;;) {
            if (!PeekMessageA(&msg, nullptr, 0, 0, remove ? PM_REMOVE : PM_NOREMOVE)) return false;
            if (remove) {
                if (pass_alt(msg)) break;
                continue;
            }
            if (!is_alt_key(msg)) break;
            PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);  // taken now, handed out at its release
            pass_alt(msg);
        }
        message = from_msg(msg);
        return true;
    }

    bool get_message(Message& message) override {
        MSG msg{};
        for (;;) {
            watch_host();
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (pass_alt(msg)) break;
                continue;
            }
            // Wakes for any message, and now and then to look at the host.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, hosted_child_ != nullptr ? kHostPollMs : INFINITE,
                                      QS_ALLINPUT);
        }
        message = from_msg(msg);
        return msg.message != WM_QUIT;
    }

    bool wait_message(uint32_t milliseconds) override {
        watch_host();
        MSG msg{};
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) return true;
        const DWORD wait = hosted_child_ != nullptr && milliseconds > kHostPollMs ? kHostPollMs : milliseconds;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
        return PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
    }

    bool translate_accelerator(NativeWindow window, const Accelerator*, int, const Message& message) override {
        if (accelerators_ == nullptr) {
            accelerators_ = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kAcceleratorResource));
            if (accelerators_ == nullptr) return false;
        }
        MSG msg = to_msg(message);
        return TranslateAcceleratorA(to_hwnd(window), accelerators_, &msg) != 0;
    }

    void dispatch_message(const Message& message) override {
        MSG msg = to_msg(message);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    intptr_t send_message(NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) override {
        return SendMessageA(to_hwnd(window), message, wparam, lparam);
    }

    void post_quit_message(int32_t exit_code) override { PostQuitMessage(exit_code); }

    intptr_t default_window_proc(NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) override {
        return DefWindowProcA(to_hwnd(window), message, wparam, lparam);
    }

    bool set_window_pos(NativeWindow window, ZOrder order, const Rect& bounds, uint32_t flags) override {
        UINT swp = flags;
        if (order == ZOrder::None) swp |= SWP_NOZORDER;
        return SetWindowPos(to_hwnd(window), insert_after(order), bounds.left, bounds.top, bounds.right - bounds.left,
                            bounds.bottom - bounds.top, swp) != FALSE;
    }

    bool get_window_rect(NativeWindow window, Rect& rect) override {
        RECT r{};
        if (!GetWindowRect(to_hwnd(window), &r)) return false;
        rect = Rect{r.left, r.top, r.right, r.bottom};
        return true;
    }

    bool get_client_rect(NativeWindow window, Rect& rect) override {
        RECT r{};
        if (!GetClientRect(to_hwnd(window), &r)) return false;
        rect = Rect{r.left, r.top, r.right, r.bottom};
        return true;
    }

    uint32_t get_window_style(NativeWindow window) override {
        return static_cast<uint32_t>(GetWindowLongA(to_hwnd(window), GWL_STYLE));
    }
    void set_window_style(NativeWindow window, uint32_t style) override {
        SetWindowLongA(to_hwnd(window), GWL_STYLE, static_cast<LONG>(style));
    }
    void set_window_title(NativeWindow window, const char* title) override { SetWindowTextA(to_hwnd(window), title); }
    void show_window(NativeWindow window, int32_t show_command) override { ShowWindow(to_hwnd(window), show_command); }
    void update_window(NativeWindow window) override { UpdateWindow(to_hwnd(window)); }

    Rect adjust_window_rect(const Rect& client, uint32_t style, bool has_menu) override {
        RECT r{client.left, client.top, client.right, client.bottom};
        AdjustWindowRect(&r, style, has_menu ? TRUE : FALSE);
        return Rect{r.left, r.top, r.right, r.bottom};
    }

    bool clip_cursor(const Rect* rect) override {
        if (rect == nullptr) return ClipCursor(nullptr) != FALSE;
        const RECT r{rect->left, rect->top, rect->right, rect->bottom};
        return ClipCursor(&r) != FALSE;
    }

    void set_cursor_visible(bool visible) override {
        SetCursor(visible ? LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)) : nullptr);
    }

    bool get_cursor_pos(Point& point) override {
        POINT p{};
        if (!GetCursorPos(&p)) return false;
        point = Point{p.x, p.y};
        return true;
    }

    bool screen_to_client(NativeWindow window, Point& point) override {
        POINT p{point.x, point.y};
        if (!ScreenToClient(to_hwnd(window), &p)) return false;
        point = Point{p.x, p.y};
        return true;
    }

    int32_t screen_width() override { return GetSystemMetrics(SM_CXSCREEN); }
    int32_t screen_height() override { return GetSystemMetrics(SM_CYSCREEN); }
    NativeWindow foreground_window() override { return to_native(GetForegroundWindow()); }

    // Read afresh on every call: the monitors change under a running program
    // (WM_DISPLAYCHANGE, which passes through as kMsgDisplayChange).
    uint32_t monitor_count() override {
        MonitorInfo monitors[kMaxMonitors];
        const uint32_t count = read_desktop_monitors(monitors, kMaxMonitors);
        return count > 0 ? count : WindowSystem::monitor_count();
    }
    bool get_monitor(uint32_t index, MonitorInfo& monitor) override {
        MonitorInfo monitors[kMaxMonitors];
        const uint32_t count = read_desktop_monitors(monitors, kMaxMonitors);
        if (count == 0) return WindowSystem::get_monitor(index, monitor);
        if (index >= count) return false;
        monitor = monitors[index];
        return true;
    }

    bool stretch_bitmap(NativeWindow window, const uint32_t* pixels, int32_t width, int32_t height,
                        const Rect& dest) override {
        if (pixels == nullptr || width <= 0 || height <= 0) return false;
        HDC target = GetDC(to_hwnd(window));
        if (target == nullptr) return false;
        const BITMAPINFO info = top_down_rgb32_info(width, height);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(target, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC source = CreateCompatibleDC(target);
        bool drawn = false;
        if (bitmap != nullptr && source != nullptr) {
            std::memcpy(bits, pixels, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
            HGDIOBJ previous = SelectObject(source, bitmap);
            SetStretchBltMode(target, HALFTONE);
            drawn = StretchBlt(target, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, source, 0,
                               0, width, height, SRCCOPY) != FALSE;
            SelectObject(source, previous);
        }
        if (source != nullptr) DeleteDC(source);
        if (bitmap != nullptr) DeleteObject(bitmap);
        ReleaseDC(to_hwnd(window), target);
        return drawn;
    }

private:
    static constexpr DWORD kHostPollMs = 250;

    static Message from_msg(const MSG& msg) {
        return Message{to_native(msg.hwnd), msg.message, msg.wParam, msg.lParam};
    }
    static MSG to_msg(const Message& message) {
        MSG msg{};
        msg.hwnd = to_hwnd(message.window);
        msg.message = message.message;
        msg.wParam = message.wparam;
        msg.lParam = message.lparam;
        msg.time = GetMessageTime();
        return msg;
    }

    static bool is_alt_key(const MSG& msg) {
        return (msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSKEYUP || msg.message == WM_KEYUP) &&
               msg.wParam == VK_MENU;
    }

    // The Alt key alone is a system key press when it is let go without
    // another key, so Alt+Enter reaches the accelerator table as one
    // combination instead of an Alt press (which ends a run) and an Enter.
    // False when the message is held back.
    bool pass_alt(MSG& msg) {
        const bool key_down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
        if (key_down && msg.wParam == VK_MENU) {
            const bool repeat = (msg.lParam & (1 << 30)) != 0;
            if (!repeat) alt_alone_ = true;
            return false;
        }
        if (key_down) {
            alt_alone_ = false;
            return true;
        }
        if ((msg.message == WM_SYSKEYUP || msg.message == WM_KEYUP) && msg.wParam == VK_MENU) {
            if (!alt_alone_) return true;
            alt_alone_ = false;
            msg.message = WM_SYSKEYDOWN;  // the Alt press, now that it stands alone
            msg.lParam = (msg.lParam & 0x00FF0000) | 1 | (1 << 29);
            return true;
        }
        return true;
    }

    // Closes our window inside a host that went away.
    void watch_host() {
        if (hosted_child_ == nullptr) return;
        if (!IsWindow(hosted_child_)) {
            hosted_child_ = host_ = nullptr;
            return;
        }
        if (!IsWindow(host_)) {
            HWND child = hosted_child_;
            hosted_child_ = host_ = nullptr;
            DestroyWindow(child);
        }
    }

    HACCEL accelerators_ = nullptr;
    bool alt_alone_ = false;  // Alt is down and no other key came since
    HWND hosted_child_ = nullptr;
    HWND host_ = nullptr;
    HPOWERNOTIFY display_notice_ = nullptr;  // the display's power changes, told to display_notice_window_
    HWND display_notice_window_ = nullptr;
};

class Win32MessageBoxes final : public MessageBoxes {
public:
    int32_t show(NativeWindow owner, const char* text, const char* caption, uint32_t flags) override {
        return MessageBoxA(to_hwnd(owner), text, caption, flags);
    }
};

}  // namespace

WindowSystem* make_win32_window_system() {
    static Win32WindowSystem system;
    return &system;
}

MessageBoxes* make_win32_message_boxes() {
    static Win32MessageBoxes boxes;
    return &boxes;
}

}  // namespace platform::win32
