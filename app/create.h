// Start-up of the screen saver: the title, the settings, the single-instance
// rule, the command line and then the steps of the chosen run mode.
#pragma once

#include <cstdint>

#include "app/aquarium_app.h"

namespace app {

inline constexpr const char* kWindowClassName = "pel WindowClassName";
inline constexpr uint32_t kIconResource = 101;
inline constexpr uint32_t kGraphicsVersion = 220;

// Sets up the run mode the command line asks for. Negative: the program ends
// at once (another instance runs, no switch, the preview has ended, an
// unsupported mode, or a start-up failure that was already reported).
// Otherwise the caller enters the message loop with run().
Result create(AquariumApp& aquarium, const char* command_line, int32_t show_command);

// The program's exit status after create() answered `result` (negative): 1
// when the preview had no host window to draw in, else 0 (it ended on
// purpose, or the failure was already shown).
int exit_status_after_create(Result result);

// ---- steps shared with the other start-ups ----

// Creates the graphics system and builds the device table; a failure is
// reported as fatal.
Result open_graphics(RenderApp& app);

// The common window steps, the scene and the device, once the main window
// exists; the graphics system is released and a failure reported as fatal.
// On success the application is ready.
Result start_scene_and_device(RenderApp& app);

}  // namespace app
