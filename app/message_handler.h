// What the main window's messages do: what ends the screen saver, the keys
// that change the view, the flags that follow the window (minimise, resize,
// activation), the covers that follow the monitors, and the exit sequence
// with the settings save.
#pragma once

#include <cstdint>

#include "app/render_app.h"

namespace app {

inline constexpr int32_t kMouseMovesBeforeExit = 6;  // the next differing move closes

// Handles one message of the main window and answers its result; messages
// not handled here get the system's default handling.
intptr_t handle_message(RenderApp& app, platform::NativeWindow window, uint32_t message, uintptr_t wparam,
                        intptr_t lparam);

// The close: settings saved (run mode only), the other monitors' covers
// closed, device and scene shut down, clock resolution given back, window
// destroyed, quit posted.
void run_exit_sequence(RenderApp& app, platform::NativeWindow window);

}  // namespace app
