// Accelerator table 113: the keys the message loop turns into commands for
// the main window before dispatch.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace app {

inline constexpr uint32_t kAcceleratorTableId = 113;

// Command ids. Everything but the display-mode toggle ends the screen saver.
inline constexpr uint16_t kCommandChangeDevice = 40002;    // F2
inline constexpr uint16_t kCommandToggleFullscreen = 40003;  // Alt+Enter
inline constexpr uint16_t kCommandPause = 40004;           // P
inline constexpr uint16_t kCommandSingleStep = 40005;      // Space
inline constexpr uint16_t kCommandExit = 40006;            // Esc, Alt+X

inline constexpr platform::Accelerator kAccelerators[] = {
    {'P', false, kCommandPause},
    {platform::kKeyEscape, false, kCommandExit},
    {platform::kKeyF2, false, kCommandChangeDevice},
    {platform::kKeyReturn, true, kCommandToggleFullscreen},
    {platform::kKeySpace, false, kCommandSingleStep},
    {'X', true, kCommandExit},
};
inline constexpr int kAcceleratorCount = static_cast<int>(sizeof kAccelerators / sizeof kAccelerators[0]);

}  // namespace app
