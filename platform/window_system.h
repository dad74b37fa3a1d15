// Windows and the message pump: window classes with a window procedure,
// windows with styles and rectangles, a message queue with accelerator
// translation, cursor clipping and hiding, the screen's size and the
// monitors of the desktop. Input and window events arrive as the messages
// below, with their parameters.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"
#include "platform/result.h"

namespace platform {

// ---- messages ----
inline constexpr uint32_t kMsgDestroy = 0x0002;
inline constexpr uint32_t kMsgSize = 0x0005;           // wParam: kSize*; lParam: client width | height << 16
inline constexpr uint32_t kMsgPaint = 0x000F;
inline constexpr uint32_t kMsgClose = 0x0010;
inline constexpr uint32_t kMsgQuit = 0x0012;           // wParam: exit code
inline constexpr uint32_t kMsgActivateApp = 0x001C;    // wParam: 1 when the program becomes active, 0 when another does
inline constexpr uint32_t kMsgSetCursor = 0x0020;
inline constexpr uint32_t kMsgGetMinMaxInfo = 0x0024;  // lParam: MinMaxInfo*
// Monitors were added, removed, moved or resized; sent to every top-level
// window of the program. The monitors are read again with get_monitor.
inline constexpr uint32_t kMsgDisplayChange = 0x007E;
inline constexpr uint32_t kMsgNcHitTest = 0x0084;
inline constexpr uint32_t kMsgKeyDown = 0x0100;        // wParam: virtual key
inline constexpr uint32_t kMsgSysKeyDown = 0x0104;     // wParam: virtual key (Alt held)
inline constexpr uint32_t kMsgCommand = 0x0111;        // low word of wParam: command id
inline constexpr uint32_t kMsgSysCommand = 0x0112;     // wParam: kSysCommand*
inline constexpr uint32_t kMsgMouseMove = 0x0200;      // lParam: x (signed 16 bits) | y << 16
inline constexpr uint32_t kMsgLButtonDown = 0x0201;
inline constexpr uint32_t kMsgLButtonDblClk = 0x0203;
inline constexpr uint32_t kMsgRButtonDown = 0x0204;
inline constexpr uint32_t kMsgRButtonDblClk = 0x0206;
inline constexpr uint32_t kMsgMButtonDown = 0x0207;
inline constexpr uint32_t kMsgMouseWheel = 0x020A;
inline constexpr uint32_t kMsgEnterMenuLoop = 0x0211;
inline constexpr uint32_t kMsgExitMenuLoop = 0x0212;
inline constexpr uint32_t kMsgPowerBroadcast = 0x0218;
inline constexpr uint32_t kMsgEnterSizeMove = 0x0231;
inline constexpr uint32_t kMsgExitSizeMove = 0x0232;

inline constexpr uintptr_t kSizeRestored = 0;
inline constexpr uintptr_t kSizeMinimized = 1;
inline constexpr uintptr_t kSizeMaxHide = 4;

inline constexpr uintptr_t kSysCommandSize = 0xF000;
inline constexpr uintptr_t kSysCommandMove = 0xF010;
inline constexpr uintptr_t kSysCommandMaximize = 0xF030;
inline constexpr uintptr_t kSysCommandKeyMenu = 0xF100;
inline constexpr uintptr_t kSysCommandMonitorPower = 0xF170;

inline constexpr intptr_t kHitClient = 1;

// ---- virtual keys ----
inline constexpr uint32_t kKeyReturn = 0x0D;
inline constexpr uint32_t kKeyAlt = 0x12;
inline constexpr uint32_t kKeyEscape = 0x1B;
inline constexpr uint32_t kKeySpace = 0x20;
inline constexpr uint32_t kKeyF2 = 0x71;
// Letters and digits are their upper-case ASCII codes ('H', 'L', 'S', ...).

// ---- window styles ----
inline constexpr uint32_t kStyleOverlapped = 0x00000000;
inline constexpr uint32_t kStylePopup = 0x80000000;
inline constexpr uint32_t kStyleChild = 0x40000000;
inline constexpr uint32_t kStyleVisible = 0x10000000;
inline constexpr uint32_t kStyleClipSiblings = 0x04000000;
inline constexpr uint32_t kStyleClipChildren = 0x02000000;
inline constexpr uint32_t kStyleCaption = 0x00C00000;
inline constexpr uint32_t kStyleSysMenu = 0x00080000;
inline constexpr uint32_t kStyleThickFrame = 0x00040000;
inline constexpr uint32_t kStyleMinimizeBox = 0x00020000;
inline constexpr uint32_t kStyleConfigureWindow = 0x00CE0000;  // caption, system menu, sizing frame, minimise box
inline constexpr uint32_t kStyleFullScreen = 0x90080000;       // popup, visible, system menu

// ---- window placement ----
enum class ZOrder : int32_t { Top = 0, TopMost = -1, NoTopMost = -2, None = 1 };
inline constexpr uint32_t kPlaceShowWindow = 0x0040;
inline constexpr int32_t kUseDefaultPosition = static_cast<int32_t>(0x80000000u);

inline constexpr int32_t kShowNormal = 1;

enum class Brush : uint32_t { White, Black };

struct Rect {
    int32_t left, top, right, bottom;
};

struct Point {
    int32_t x, y;
};

// One monitor of the desktop.
inline constexpr uint32_t kMaxMonitors = 16;
inline constexpr int32_t kDefaultDpi = 96;  // pixels per inch when the system does not say
inline constexpr uint32_t kMonitorNameSize = 32;

struct MonitorInfo {
    Rect bounds;                  // screen pixels (physical); left/top may be negative
    int32_t dpi;                  // pixels per inch the desktop asks for on it; kDefaultDpi when unknown
    char name[kMonitorNameSize];  // the system's name of its output; may be empty
};

struct MinMaxInfo {
    Point reserved, max_size, max_position, min_track_size, max_track_size;
};

struct Message {
    NativeWindow window;
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
};

// The window procedure of a class: called for every message of its windows.
using WindowProc = intptr_t (*)(void* context, NativeWindow window, uint32_t message,
                                uintptr_t wparam, intptr_t lparam);

struct WindowClass {
    const char* name;
    WindowProc proc;
    void* context;       // handed back to proc
    uint32_t style;      // class style bits (redraw on resize)
    uint32_t icon;       // resource id of the icon
    Brush background;
};

struct WindowCreate {
    const char* class_name;
    const char* title;
    uint32_t style;
    Rect bounds;         // outer rectangle; with left/top kUseDefaultPosition, right/bottom are the extent
    NativeWindow parent; // 0: a top-level window
};

// Accelerator: a virtual key with modifiers that becomes a command message.
struct Accelerator {
    uint32_t key;      // virtual key
    bool alt;          // Alt must be held
    uint16_t command;  // command id sent with kMsgCommand
};

class WindowSystem {
public:
    virtual Result register_class(const WindowClass& window_class) = 0;
    virtual NativeWindow create_window(const WindowCreate& params) = 0;  // 0 on failure
    virtual bool destroy_window(NativeWindow window) = 0;                // sends kMsgDestroy
    virtual bool window_exists(NativeWindow window) = 0;

    // Takes a message if one waits (removing it when asked); never blocks.
    virtual bool peek_message(Message& message, bool remove) = 0;
    // Waits for the next message; false when it is the quit message.
    virtual bool get_message(Message& message) = 0;
    // Waits until a message waits or `milliseconds` have passed, whichever
    // comes first, and leaves the message queued; true when one waits.
    virtual bool wait_message(uint32_t milliseconds) = 0;
    // True when the message was a key bound in the table; the command was
    // then sent to the window's procedure.
    virtual bool translate_accelerator(NativeWindow window, const Accelerator* table, int count,
                                       const Message& message) = 0;
    virtual void dispatch_message(const Message& message) = 0;
    // Calls the window's procedure at once and returns its answer.
    virtual intptr_t send_message(NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;
    virtual void post_quit_message(int32_t exit_code) = 0;
    // What the system does with a message the program does not answer.
    virtual intptr_t default_window_proc(NativeWindow window, uint32_t message, uintptr_t wparam,
                                         intptr_t lparam) = 0;

    virtual bool set_window_pos(NativeWindow window, ZOrder order, const Rect& bounds, uint32_t flags) = 0;
    virtual bool get_window_rect(NativeWindow window, Rect& rect) = 0;
    virtual bool get_client_rect(NativeWindow window, Rect& rect) = 0;
    virtual uint32_t get_window_style(NativeWindow window) = 0;
    virtual void set_window_style(NativeWindow window, uint32_t style) = 0;
    virtual void set_window_title(NativeWindow window, const char* title) = 0;
    virtual void show_window(NativeWindow window, int32_t show_command) = 0;
    virtual void update_window(NativeWindow window) = 0;
    // Grows a client rectangle to the outer rectangle of a window of that style.
    virtual Rect adjust_window_rect(const Rect& client, uint32_t style, bool has_menu) = 0;

    // Confines the cursor to rect (screen coordinates), or frees it when null.
    virtual bool clip_cursor(const Rect* rect) = 0;
    // Hides (false) or shows the arrow cursor over the window.
    virtual void set_cursor_visible(bool visible) = 0;
    virtual bool get_cursor_pos(Point& point) = 0;  // screen coordinates
    virtual bool screen_to_client(NativeWindow window, Point& point) = 0;

    virtual int32_t screen_width() = 0;
    virtual int32_t screen_height() = 0;
    virtual NativeWindow foreground_window() = 0;

    // The monitors of the desktop, at most kMaxMonitors, in the order of the
    // graphics system's adapters: on Linux both follow the displays as SDL
    // lists them (the primary first), on Windows the adapters' order, so the
    // monitor of adapter N is monitor N. When they change, every top-level
    // window gets kMsgDisplayChange. The default is one monitor of the
    // screen's size at (0, 0).
    virtual uint32_t monitor_count() { return 1; }
    // False for an index past the last monitor.
    virtual bool get_monitor(uint32_t index, MonitorInfo& monitor) {
        if (index != 0) return false;
        monitor = MonitorInfo{Rect{0, 0, screen_width(), screen_height()}, kDefaultDpi, {}};
        return true;
    }

    // Paints a bitmap of 0x00RRGGBB pixels (rows from the top) stretched over
    // `dest` (client coordinates) of the window; false when it cannot.
    virtual bool stretch_bitmap(NativeWindow window, const uint32_t* pixels, int32_t width, int32_t height,
                                const Rect& dest) {
        (void)window, (void)pixels, (void)width, (void)height, (void)dest;
        return false;
    }

protected:
    virtual ~WindowSystem() = default;
};

// ---- message boxes ----
inline constexpr uint32_t kBoxOk = 0x00;
inline constexpr uint32_t kBoxIconError = 0x10;
inline constexpr uint32_t kBoxIconWarning = 0x30;

class MessageBoxes {
public:
    // Shows a modal message box; returns 1 (OK) when it was shown.
    virtual int32_t show(NativeWindow owner, const char* text, const char* caption, uint32_t flags) = 0;

protected:
    virtual ~MessageBoxes() = default;
};

}  // namespace platform
