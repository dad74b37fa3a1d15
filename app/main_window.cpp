#include "app/main_window.h"

#include "app/message_handler.h"
#include "app/scene_hooks.h"

namespace app {

intptr_t main_window_proc(void* context, platform::NativeWindow window, uint32_t message, uintptr_t wparam,
                          intptr_t lparam) {
    return handle_message(*static_cast<RenderApp*>(context), window, message, wparam, lparam);
}

Result adjust_window_for_mode(RenderApp& app) {
    if (app.main_window == 0) return platform::kOk;
    const uint32_t style = app.windowed ? app.window_style : platform::kStyleFullScreen;
    app.platform.windows->set_window_style(app.main_window, style);
    return platform::kOk;
}

Result run_common_window_steps(RenderApp& app) {
    platform::WindowSystem& windows = *app.platform.windows;
    if (app.focus_window == 0) app.focus_window = app.main_window;
    app.window_style = windows.get_window_style(app.main_window);
    windows.get_window_rect(app.main_window, app.window_rect);
    windows.get_client_rect(app.main_window, app.client_rect);
    read_timer(app, kTimerStart);
    return scene_hooks(app).init_scene(app);
}

}  // namespace app
