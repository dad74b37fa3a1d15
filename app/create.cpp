#include "app/create.h"

#include "app/device_dialog_runner.h"
#include "app/device_lifecycle.h"
#include "app/device_selection.h"
#include "app/error_report.h"
#include "app/frame_loop.h"
#include "app/main_window.h"
#include "app/monitor_covers.h"
#include "app/preview_window.h"
#include "settings/about_text.h"
#include "settings/device_table.h"
#include "settings/saved_device_choice.h"

namespace app {

namespace {

using platform::failed;
using platform::kOk;

constexpr Result kEndNow = -1;

// A saved full-screen multisample type that the chosen device does not
// offer (another card or driver since it was saved, or an edited file)
// would make the switch to full screen fail and end the run at once; the
// run goes without multisampling instead.
void drop_multisample_not_offered(RenderApp& app) {
    settings::AdapterRecord& adapter = app.device_table.adapters[app.device_table.current_adapter];
    settings::DeviceRecord& device = adapter.devices[adapter.current_device];
    const settings::DisplayModeRecord& mode = device.modes[device.current_mode];
    if (failed(app.graphics->check_device_multisample_type(adapter.ordinal, device.device_type, mode.format, false,
                                                           device.fullscreen_multisample))) {
        device.fullscreen_multisample = 0;
    }
}

// The monitor of the current adapter (monitor N is adapter N), in screen
// pixels; the screen's size at (0, 0) when the system names none.
platform::Rect adapter_monitor_bounds(RenderApp& app) {
    platform::WindowSystem& windows = *app.platform.windows;
    const settings::AdapterRecord* adapter = selected_adapter(app);
    platform::MonitorInfo monitor{};
    if (adapter != nullptr && windows.get_monitor(adapter->ordinal, monitor)) return monitor.bounds;
    return platform::Rect{0, 0, windows.screen_width(), windows.screen_height()};
}

// The main window of configure mode (hidden, a normal framed window of the
// default client size) or of run mode (a popup covering the current
// adapter's monitor).
Result create_main_window(RenderApp& app, bool full_screen) {
    platform::WindowSystem& windows = *app.platform.windows;
    if (app.main_window != 0) return kOk;
    const platform::WindowClass window_class{kWindowClassName, &main_window_proc, &app, 0, kIconResource,
                                             full_screen ? platform::Brush::Black : platform::Brush::White};
    windows.register_class(window_class);

    platform::WindowCreate params{};
    params.class_name = kWindowClassName;
    params.title = app.title;
    if (full_screen) {
        params.style = platform::kStylePopup;
        const platform::Rect monitor = adapter_monitor_bounds(app);
        const platform::Rect screen{0, 0, monitor.right - monitor.left, monitor.bottom - monitor.top};
        params.bounds = windows.adjust_window_rect(screen, params.style, true);
        const int32_t width = params.bounds.right - params.bounds.left;
        const int32_t height = params.bounds.bottom - params.bounds.top;
        params.bounds = platform::Rect{monitor.left, monitor.top, monitor.left + width, monitor.top + height};
    } else {
        params.style = platform::kStyleConfigureWindow;
        const platform::Rect client{0, 0, app.default_width, app.default_height};
        const platform::Rect outer = windows.adjust_window_rect(client, params.style, true);
        params.bounds = platform::Rect{platform::kUseDefaultPosition, platform::kUseDefaultPosition,
                                       outer.right - outer.left, outer.bottom - outer.top};
    }
    app.main_window = windows.create_window(params);
    return app.main_window != 0 ? kOk : kNoWindow;
}

// The saved choice may name another adapter than the one the window was
// made for: the window moves to that adapter's monitor, where the switch to
// full screen takes place.
void move_to_adapter_monitor(RenderApp& app) {
    platform::WindowSystem& windows = *app.platform.windows;
    const settings::AdapterRecord* adapter = selected_adapter(app);
    platform::MonitorInfo monitors[platform::kMaxMonitors];
    const uint32_t count = read_monitors(windows, monitors);
    if (adapter == nullptr || adapter->ordinal >= count) return;
    if (main_window_monitor(app, monitors, count) == static_cast<int32_t>(adapter->ordinal)) return;
    windows.set_window_pos(app.main_window, platform::ZOrder::TopMost, monitors[adapter->ordinal].bounds,
                           platform::kPlaceShowWindow);
    windows.get_window_rect(app.main_window, app.window_rect);
    windows.get_client_rect(app.main_window, app.client_rect);
}

Result create_configure_mode(RenderApp& app) {
    Result result = open_graphics(app);
    if (failed(result)) return result;
    result = create_main_window(app, false);
    if (failed(result)) {
        release_graphics(app);
        return report_error(app, result, kSeverityFatal);
    }
    result = start_scene_and_device(app);
    if (failed(result)) return result;

    if (settings::load_device_settings(*app.platform.settings, *app.settings)) {
        settings::apply_saved_device_choice(app.device_table, *app.settings, false);
    }
    if (app.active && app.ready) {
        pause(app, true);
        run_device_dialog(app);
        pause(app, false);
    }
    app.platform.windows->send_message(app.main_window, platform::kMsgClose, 0, 0);
    return kOk;
}

Result create_run_mode(RenderApp& app) {
    Result result = open_graphics(app);
    if (failed(result)) return result;
    result = create_main_window(app, true);
    if (failed(result)) {
        release_graphics(app);
        return report_error(app, result, kSeverityFatal);
    }
    app.time_period_set = app.platform.clock->time_begin_period(1) == 0;
    result = start_scene_and_device(app);
    if (failed(result)) return result;

    app.platform.windows->set_window_pos(app.main_window, platform::ZOrder::TopMost, app.window_rect,
                                         platform::kPlaceShowWindow);
    if (settings::load_device_settings(*app.platform.settings, *app.settings) &&
        settings::apply_saved_device_choice(app.device_table, *app.settings, true)) {
        drop_multisample_not_offered(app);
        move_to_adapter_monitor(app);
    }
    if (app.active && app.ready) {
        pause(app, true);
        if (failed(toggle_display_mode(app))) {
            app.platform.windows->send_message(app.main_window, platform::kMsgClose, 0, 0);
        } else {
            cover_other_monitors(app);
        }
        pause(app, false);
    }
    return kOk;
}

}  // namespace

Result open_graphics(RenderApp& app) {
    app.graphics = app.platform.graphics->create(kGraphicsVersion);
    if (app.graphics == nullptr) {
        return report_error(app, kNoDirect3D, kSeverityFatal);
    }
    settings::DeviceTableRequest request{};
    request.graphics = app.graphics;
    request.check_device_caps = &check_device_caps_of;
    request.check_context = &app;
    request.use_depth_buffer = app.use_depth_buffer;
    request.min_depth_bits = app.min_depth_bits;
    request.min_stencil_bits = app.min_stencil_bits;
    request.screen_width = static_cast<uint32_t>(app.platform.windows->screen_width());
    request.screen_height = static_cast<uint32_t>(app.platform.windows->screen_height());
    Result warning = kOk;
    const Result result = settings::build_device_table(app.device_table, request, app.windowed, warning);
    if (failed(result)) {
        release_graphics(app);
        return report_error(app, result, kSeverityFatal);
    }
    if (failed(warning)) {
        report_error(app, warning, kSeverityFallbackToReference);
    }
    return kOk;
}

Result start_scene_and_device(RenderApp& app) {
    Result result = run_common_window_steps(app);
    if (!failed(result)) result = start_device(app);
    if (failed(result)) {
        release_graphics(app);
        return report_error(app, result, kSeverityFatal);
    }
    app.ready = true;
    return kOk;
}

Result create(AquariumApp& aquarium, const char* command_line, int32_t show_command) {
    RenderApp& app = aquarium.app;
    settings::title_from_about_text(aquarium.title, sizeof aquarium.title);
    app.title = aquarium.title;

    settings::ensure_settings_key(*app.platform.settings, *app.settings);
    settings::load_general_settings(*app.platform.settings, *app.settings);

    if (!app.platform.instance_lock->try_acquire(kWindowClassName)) return kEndNow;

    CommandLineResult parsed{app.mode, 0};
    if (!parse_command_line(command_line, app.platform.windows->foreground_window(), parsed)) return kEndNow;
    app.mode = parsed.mode;

    switch (app.mode) {
        case ScreenSaverMode::preview:
            run_preview(app.platform, parsed.host_window, show_command);
            return kEndNow;
        case ScreenSaverMode::configure:
            return create_configure_mode(app);
        case ScreenSaverMode::run:
            return create_run_mode(app);
        default:
            return kEndNow;
    }
}

}  // namespace app
