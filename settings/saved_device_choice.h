// Applies the device settings saved by the dialog's OK to the device table,
// so that a later start uses the saved adapter, device, mode and
// multisample type.
#pragma once

#include <cstdint>

#include "settings/device_table.h"
#include "settings/settings.h"

namespace settings {

// Makes the saved adapter current, the saved device that adapter's current
// device, and in that device the saved mode current, with the windowed flag
// `windowed` (false when the dialog follows, true when the run mode then
// toggles to full screen), windowed multisample none and the saved full-screen
// multisample type. Saved values that do not name an entry of the table (a
// different machine, a changed driver, an edited file) or a multisample type
// other than 0 or 2..16 are ignored as a whole: the table keeps its own
// choice and the result is false.
bool apply_saved_device_choice(DeviceTable& table, const Settings& settings, bool windowed);

}  // namespace settings
