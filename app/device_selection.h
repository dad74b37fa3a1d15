// The current adapter, device and display mode of the device table. Every
// lookup stays inside the table: an index at or past the count (or the
// capacity) yields null instead of a record.
#pragma once

#include "app/render_app.h"

namespace app {

settings::AdapterRecord* selected_adapter(RenderApp& app);
settings::DeviceRecord* selected_device(RenderApp& app);
settings::DisplayModeRecord* selected_mode(RenderApp& app);

// The multisample type the device uses in the presentation `windowed` says.
uint32_t multisample_in_use(const settings::DeviceRecord& device, bool windowed);

}  // namespace app
