// The power status on Linux: the X display's DPMS state
// (x11_display_power.h), asked every time, and the power supplies
// (power_supplies.h), read again only every few seconds: a battery's
// status may cost the kernel a query of the embedded controller, and it
// changes rarely.
#pragma once

#include "platform/power_status.h"

namespace platform {

// The power status of the process (static storage; never null).
PowerStatus* make_linux_power_status();

}  // namespace platform
