// Preview mode: a child window inside the host's window that shows the
// preview picture stretched over the host's current size, until the host
// closes or destroys it.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace app {

// Creates the preview window inside `host` and runs a plain message loop
// until the window is destroyed. Returns at once when the window cannot be
// made (there is then nothing that would ever end the loop).
void run_preview(const platform::Platform& platform, platform::NativeWindow host, int32_t show_command);

// The preview window's procedure; `context` is the preview state.
intptr_t preview_window_proc(void* context, platform::NativeWindow window, uint32_t message, uintptr_t wparam,
                             intptr_t lparam);

}  // namespace app
