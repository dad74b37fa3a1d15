#include "app/message_handler.h"

#include "app/accelerators.h"
#include "app/device_lifecycle.h"
#include "app/error_report.h"
#include "app/frame_loop.h"
#include "app/monitor_covers.h"
#include "app/scene_hooks.h"

namespace app {

namespace {

using platform::NativeWindow;

constexpr int32_t kMinTrackSize = 100;  // pixels, smallest window the user can drag

intptr_t default_handling(RenderApp& app, NativeWindow window, uint32_t message, uintptr_t wparam,
                          intptr_t lparam) {
    return app.platform.windows->default_window_proc(window, message, wparam, lparam);
}

intptr_t close_window(RenderApp& app, NativeWindow window) {
    app.platform.windows->send_message(window, platform::kMsgClose, 0, 0);
    return 0;
}

// The device's cursor follows the system's; then the exit rule: the seventh
// move to a new position ends the screen saver.
bool mouse_move_closes(RenderApp& app, intptr_t lparam) {
    if (app.active && app.ready && app.device != nullptr) {
        platform::Point cursor{};
        app.platform.windows->get_cursor_pos(cursor);
        if (!app.windowed) app.platform.windows->screen_to_client(app.main_window, cursor);
        app.device->set_cursor_position(cursor.x, cursor.y, 0);
    }
    const auto bits = static_cast<uintptr_t>(lparam);
    const int32_t x = static_cast<int16_t>(bits & 0xFFFFu);
    const int32_t y = static_cast<int16_t>((bits >> 16) & 0xFFFFu);
    InputState& input = app.input;
    if (x == input.last_mouse_x && y == input.last_mouse_y) return false;
    input.last_mouse_x = x;
    input.last_mouse_y = y;
    ++input.mouse_moves_seen;
    return input.mouse_moves_seen > kMouseMovesBeforeExit;
}

// H raises the eye, L lowers it, S toggles the information text; every
// other key ends the screen saver.
bool key_closes(RenderApp& app, uintptr_t key) {
    switch (key) {
        case 'H':
            if (app.input.view_level < 1) ++app.input.view_level;
            return false;
        case 'L':
            if (app.input.view_level > 0) --app.input.view_level;
            return false;
        case 'S':
            if (app.settings != nullptr) app.settings->d_show_info = !app.settings->d_show_info;
            return false;
        default:
            return true;
    }
}

intptr_t handle_command(RenderApp& app, NativeWindow window, uint32_t message, uintptr_t wparam,
                        intptr_t lparam) {
    switch (static_cast<uint16_t>(wparam & 0xFFFFu)) {
        case kCommandToggleFullscreen:
            if (app.active && app.ready) {
                pause(app, true);
                if (platform::failed(toggle_display_mode(app))) {
                    report_error(app, kResetFailed, kSeverityFatal);
                    return 0;
                }
                pause(app, false);
            }
            return 0;
        case kCommandChangeDevice:
        case kCommandPause:
        case kCommandSingleStep:
        case kCommandExit:
            return close_window(app, window);
        default:
            return default_handling(app, window, message, wparam, lparam);
    }
}

// After the user moved or sized a window: a changed client size resets the
// device with a back buffer of the new size. False when that failed.
bool follow_window_size(RenderApp& app) {
    if (!(app.active && app.windowed)) return true;
    platform::WindowSystem& windows = *app.platform.windows;
    const platform::Rect old_client = app.client_rect;
    windows.get_window_rect(app.main_window, app.window_rect);
    windows.get_client_rect(app.main_window, app.client_rect);
    const int32_t width = app.client_rect.right - app.client_rect.left;
    const int32_t height = app.client_rect.bottom - app.client_rect.top;
    if (width == old_client.right - old_client.left && height == old_client.bottom - old_client.top) return true;

    app.ready = false;
    app.present_params.back_buffer_width = static_cast<uint32_t>(width);
    app.present_params.back_buffer_height = static_cast<uint32_t>(height);
    if (platform::failed(reset_device(app))) {
        report_error(app, kResetFailed, kSeverityFatal);
        return false;
    }
    app.ready = true;
    return true;
}

bool is_swallowed_system_command(uintptr_t command) {
    switch (command) {
        case platform::kSysCommandMove:
        case platform::kSysCommandSize:
        case platform::kSysCommandMaximize:
        case platform::kSysCommandKeyMenu:
        case platform::kSysCommandMonitorPower:
            return true;
        default:
            return false;
    }
}

constexpr uintptr_t kPowerQuerySuspend = 0;
constexpr uintptr_t kPowerResumeSuspend = 7;

}  // namespace

void run_exit_sequence(RenderApp& app, NativeWindow window) {
    if (app.mode == ScreenSaverMode::run && app.settings != nullptr && app.platform.settings != nullptr) {
        settings::save_general_settings(*app.platform.settings, *app.settings);  // failures are not shown
    }
    release_covers(app);
    shutdown_device(app);
    if (app.time_period_set) {
        app.platform.clock->time_end_period(1);
        app.time_period_set = false;
    }
    app.platform.windows->destroy_window(window);
    if (window == app.main_window) app.main_window = 0;
    if (window == app.focus_window) app.focus_window = 0;
    app.platform.windows->post_quit_message(0);
}

intptr_t handle_message(RenderApp& app, NativeWindow window, uint32_t message, uintptr_t wparam,
                        intptr_t lparam) {
    platform::WindowSystem& windows = *app.platform.windows;
    switch (message) {
        case platform::kMsgMouseMove:
            if (mouse_move_closes(app, lparam)) return close_window(app, window);
            break;

        case platform::kMsgLButtonDown:
        case platform::kMsgRButtonDown:
        case platform::kMsgLButtonDblClk:
        case platform::kMsgRButtonDblClk:
        case platform::kMsgSysKeyDown:
        case platform::kMsgEnterMenuLoop:
            return close_window(app, window);

        case platform::kMsgKeyDown:
            if (key_closes(app, wparam)) return close_window(app, window);
            break;

        case platform::kMsgCommand:
            return handle_command(app, window, message, wparam, lparam);

        case platform::kMsgExitMenuLoop:
            pause(app, false);
            break;

        case platform::kMsgEnterSizeMove:
            pause(app, true);
            break;

        case platform::kMsgExitSizeMove:
            pause(app, false);
            if (!follow_window_size(app)) return 0;
            break;

        case platform::kMsgSize:
            if (wparam == platform::kSizeMinimized || wparam == platform::kSizeMaxHide) {
                if (app.clip_cursor_fullscreen && !app.windowed) windows.clip_cursor(nullptr);
                app.active = false;
            } else {
                // Active means a device is set up and the window can be seen.
                app.active = app.device != nullptr;
            }
            break;

        case platform::kMsgSetCursor:
            if (app.active && app.ready && !app.windowed) {
                windows.set_cursor_visible(false);
                return 1;
            }
            break;

        case platform::kMsgGetMinMaxInfo:
            if (lparam != 0) {
                auto* info = reinterpret_cast<platform::MinMaxInfo*>(lparam);
                info->min_track_size = platform::Point{kMinTrackSize, kMinTrackSize};
            }
            break;

        case platform::kMsgNcHitTest:
            if (!app.windowed) return platform::kHitClient;
            break;

        case platform::kMsgSysCommand:
            if (!app.windowed && is_swallowed_system_command(wparam)) return 1;
            break;

        case platform::kMsgPowerBroadcast:
            if (wparam == kPowerQuerySuspend || wparam == kPowerResumeSuspend) return 1;
            break;

        case platform::kMsgPaint:
            // A paused window still shows its picture.
            if (app.device != nullptr && !app.ready && app.windowed) {
                scene_hooks(app).render_frame(app);
                app.device->present();
            }
            break;

        case platform::kMsgClose:
            run_exit_sequence(app, window);
            return 0;

        case platform::kMsgDisplayChange:
            follow_monitors(app);
            break;

        default:
            break;
    }
    return default_handling(app, window, message, wparam, lparam);
}

}  // namespace app
