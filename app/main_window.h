// The framework's side of the main window: its procedure, its style for
// windowed or full-screen presentation, and the steps that follow its
// creation.
#pragma once

#include <cstdint>

#include "app/render_app.h"

namespace app {

// The procedure registered for the main window class; `context` is the
// RenderApp. Hands every message to handle_message.
intptr_t main_window_proc(void* context, platform::NativeWindow window, uint32_t message, uintptr_t wparam,
                          intptr_t lparam);

// Windowed: the window gets back the style read after its creation. Full
// screen: a visible popup with a system menu.
Result adjust_window_for_mode(RenderApp& app);

// Right after the main window exists: it becomes the focus window when there
// is none, its style and rectangles are read back, the frame timer starts
// and the scene is set up. Answers the init_scene hook's result.
Result run_common_window_steps(RenderApp& app);

}  // namespace app
