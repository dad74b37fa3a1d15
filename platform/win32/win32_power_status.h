// The power state on Windows: the console display state, which the window
// system hears of through the main window (WM_POWERBROADCAST with
// PBT_POWERSETTINGCHANGE for GUID_CONSOLE_DISPLAY_STATE, asked for with
// RegisterPowerSettingNotification), and the battery from
// GetSystemPowerStatus.
#pragma once

#include <cstdint>

#include "platform/power_status.h"

namespace platform::win32 {

// The power status of the process (static storage; never null). Until the
// first notification the display counts as on.
PowerStatus* make_win32_power_status();

// The console display state a notification carried: 0 off, 1 on, 2 dimmed
// (a dimmed display is still seen, so it counts as on).
void note_console_display_state(uint32_t state);

// What GetSystemPowerStatus says, as the rule reads it: on battery only
// when the mains line is reported offline (0). Unknown (255) counts as mains.
bool runs_on_battery(uint8_t ac_line_status);

}  // namespace platform::win32
