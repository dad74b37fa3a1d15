#include "app/preview_window.h"

#include "app/create.h"
#include "resources/resources.h"

namespace app {

namespace {

struct PreviewState {
    platform::Platform platform;    // the system services
    platform::NativeWindow host;    // the host's window
    platform::NativeWindow window;  // ours, inside it
    uint32_t pixels[resources::kPreviewWidth * resources::kPreviewHeight];  // 0x00RRGGBB, decoded per paint
};

PreviewState g_preview;  // one preview per process, set up before its window exists

platform::Rect host_extent(PreviewState& state) {
    platform::Rect rect{};
    state.platform.windows->get_window_rect(state.host, rect);
    return platform::Rect{0, 0, rect.right - rect.left, rect.bottom - rect.top};
}

// Decodes the picture and stretches it over the host's current size.
void paint(PreviewState& state, platform::NativeWindow window) {
    int32_t width = 0, height = 0;
    if (!resources::decode_preview_bitmap(state.pixels, width, height)) return;
    state.platform.windows->stretch_bitmap(window, state.pixels, width, height, host_extent(state));
}

bool create_preview_window(PreviewState& state, int32_t show_command) {
    platform::WindowSystem& windows = *state.platform.windows;
    const platform::WindowClass window_class{kWindowClassName, &preview_window_proc, &state, 0, kIconResource,
                                             platform::Brush::Black};
    if (platform::failed(windows.register_class(window_class))) return false;
    const platform::Rect extent = host_extent(state);
    platform::WindowCreate params{};
    params.class_name = kWindowClassName;
    params.title = "";
    params.style = platform::kStyleChild | platform::kStyleVisible | platform::kStyleClipSiblings |
                   platform::kStyleClipChildren;
    params.bounds = extent;
    params.parent = state.host;
    state.window = windows.create_window(params);
    if (state.window == 0) return false;
    windows.show_window(state.window, show_command);
    windows.update_window(state.window);
    return true;
}

}  // namespace

intptr_t preview_window_proc(void* context, platform::NativeWindow window, uint32_t message, uintptr_t wparam,
                             intptr_t lparam) {
    PreviewState& state = *static_cast<PreviewState*>(context);
    switch (message) {
        case platform::kMsgPaint:
            paint(state, window);
            return 0;
        case platform::kMsgClose:
            state.platform.windows->destroy_window(window);
            return 0;
        case platform::kMsgDestroy:
            state.platform.windows->post_quit_message(0);
            return 0;
        default:
            return state.platform.windows->default_window_proc(window, message, wparam, lparam);
    }
}

void run_preview(const platform::Platform& platform, platform::NativeWindow host, int32_t show_command) {
    PreviewState& state = g_preview;
    state.platform = platform;
    state.host = host;
    state.window = 0;
    if (!create_preview_window(state, show_command)) return;
    platform::Message message{};
    while (platform.windows->get_message(message)) {
        platform.windows->dispatch_message(message);
    }
}

}  // namespace app
