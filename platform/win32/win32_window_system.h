// Windows and messages on Win32. NativeWindow values are HWNDs, and the
// messages the program handles are Win32's own, so they pass through
// unchanged. The accelerator table is the program's resource 113.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace platform::win32 {

// The window system of the process (static storage; never null).
WindowSystem* make_win32_window_system();

// Message boxes with MessageBoxA (static storage; never null).
MessageBoxes* make_win32_message_boxes();

// The resource id of the accelerator table the message loop translates.
inline constexpr uint16_t kAcceleratorResource = 113;

}  // namespace platform::win32
