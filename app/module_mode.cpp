#include "app/module_mode.h"

#include <cstring>

#include "app/app_error.h"
#include "app/create.h"
#include "app/device_lifecycle.h"
#include "app/error_report.h"
#include "app/main_window.h"
#include "settings/about_text.h"
#include "settings/settings.h"

namespace app {

namespace {

using platform::failed;
using platform::kOk;
using platform::NativeWindow;

constexpr uint64_t kLargestWindowId = 0xFFFFFFFFull;
constexpr Result kEndNow = -1;

bool is_flag(const char* argument, const char* name) {
    // One dash or two.
    if (argument[0] != '-') return false;
    const char* rest = argument[1] == '-' ? argument + 2 : argument + 1;
    return std::strcmp(rest, name) == 0;
}

ModuleRequest unusable(const char* problem) {
    ModuleRequest request;
    request.kind = ModuleRequest::Kind::unusable;
    request.problem = problem;
    return request;
}

// The main window is the host's window: created with it as the parent, the
// hosted window system hands back the host itself.
Result create_hosted_window(RenderApp& app, NativeWindow host) {
    platform::WindowSystem& windows = *app.platform.windows;
    platform::Rect client{};
    if (!windows.get_client_rect(host, client)) return kNoWindow;
    const platform::WindowClass window_class{kWindowClassName, &main_window_proc, &app, 0, kIconResource,
                                             platform::Brush::Black};
    windows.register_class(window_class);
    platform::WindowCreate params{};
    params.class_name = kWindowClassName;
    params.title = app.title;
    params.style = platform::kStyleChild | platform::kStyleVisible;
    params.bounds = platform::Rect{0, 0, client.right - client.left, client.bottom - client.top};
    params.parent = host;
    app.main_window = windows.create_window(params);
    return app.main_window != 0 ? kOk : kNoWindow;
}

}  // namespace

NativeWindow parse_window_number(const char* text) {
    if (text == nullptr) return 0;
    int base = 10;
    const char* p = text;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (*p == '\0') return 0;
    uint64_t value = 0;
    for (; *p != '\0'; ++p) {
        int digit = -1;
        if (*p >= '0' && *p <= '9') digit = *p - '0';
        if (base == 16 && *p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
        if (base == 16 && *p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
        if (digit < 0) return 0;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > kLargestWindowId) return 0;
    }
    return static_cast<NativeWindow>(value);
}

ModuleRequest find_module_request(int argc, const char* const* argv, const char* xscreensaver_window) {
    bool root = false;
    bool window_flag = false;
    const char* window_text = nullptr;
    bool delay_flag = false;
    const char* delay_text = nullptr;
    ModuleOptions options;
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        if (is_flag(argv[i], "root")) {
            root = true;
        } else if (is_flag(argv[i], "window-id")) {
            window_flag = true;
            window_text = i + 1 < argc ? argv[i + 1] : nullptr;
            if (window_text != nullptr) ++i;
        } else if (is_flag(argv[i], "fps")) {
            options.show_fps = true;
        } else if (is_flag(argv[i], "delay")) {
            delay_flag = true;
            delay_text = i + 1 < argc ? argv[i + 1] : nullptr;
            if (delay_text != nullptr) ++i;
        }
    }
    if (!root && !window_flag) return ModuleRequest{};

    if (delay_flag && !parse_frame_delay(delay_text, options.frame_delay_us)) {
        return unusable("-delay needs the microseconds between frames, from 0 to 10000000");
    }
    ModuleRequest request;
    request.options = options;
    if (window_flag) {
        request.window = parse_window_number(window_text);
        if (request.window == 0) {
            return unusable("-window-id needs the id of a window (decimal, or hexadecimal after 0x)");
        }
        request.kind = ModuleRequest::Kind::window;
        return request;
    }
    if (!root) return request;
    if (xscreensaver_window == nullptr) {
        request.kind = ModuleRequest::Kind::root;
        return request;
    }
    request.window = parse_window_number(xscreensaver_window);
    if (request.window == 0) return unusable("XSCREENSAVER_WINDOW does not hold a window id");
    request.kind = ModuleRequest::Kind::window;
    request.from_host = true;
    return request;
}

bool parse_frame_delay(const char* text, uint32_t& microseconds) {
    if (text == nullptr || *text == '\0') return false;
    uint64_t value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > kLargestFrameDelayUs) return false;
    }
    microseconds = static_cast<uint32_t>(value);
    return true;
}

Result create_module(AquariumApp& aquarium, NativeWindow host, const ModuleOptions& options) {
    RenderApp& app = aquarium.app;
    settings::title_from_about_text(aquarium.title, sizeof aquarium.title);
    app.title = aquarium.title;
    // Read only: a missing key keeps the defaults and is not created.
    settings::load_general_settings(*app.platform.settings, *app.settings);
    // Like every module's frame rate, the text shows only when asked for.
    app.settings->d_show_info = options.show_fps;
    app.mode = ScreenSaverMode::run;

    platform::Rect client{};
    if (host == 0 || !app.platform.windows->get_client_rect(host, client)) return kEndNow;

    Result result = open_graphics(app);
    if (failed(result)) return result;
    result = create_hosted_window(app, host);
    if (failed(result)) {
        release_graphics(app);
        return report_error(app, result, kSeverityFatal);
    }
    app.time_period_set = app.platform.clock->time_begin_period(1) == 0;
    // The device table's start-up choice presents in a window: the scene
    // starts at the host window's size and stays there.
    return start_scene_and_device(app);
}

}  // namespace app
