// The device's life: start (with the fall-back from the hardware device to
// the reference device), reset, the switch between windowed and full-screen
// presentation, the forced return to a window, and shut-down. Every failure
// travels back to the caller unchanged.
#pragma once

#include "app/render_app.h"

namespace app {

// Creates the device for the current adapter, device and mode and runs the
// create and reset hooks. A failing hardware device falls back once to the
// reference device of adapter 0, with a warning.
Result start_device(RenderApp& app);

// Releases the reset-bound objects, resets the device with present_params
// and rebuilds them.
Result reset_device(RenderApp& app);

// Switches between windowed and full-screen presentation by a reset.
Result toggle_display_mode(RenderApp& app);

// Rebuilds the device in a window, choosing another device when the current
// one cannot render in a window. A failure is reported as fatal.
Result switch_to_windowed(RenderApp& app);

// Tears everything down: device objects, device, graphics system, scene.
// Answers the shutdown_scene hook's result.
Result shutdown_device(RenderApp& app);

// Releases the graphics system, if there is one, and forgets it.
void release_graphics(RenderApp& app);

// Fills present_params for the device's presentation (start and toggle).
void fill_present_params(RenderApp& app, const settings::AdapterRecord& adapter,
                         const settings::DeviceRecord& device, const settings::DisplayModeRecord& mode);

}  // namespace app
