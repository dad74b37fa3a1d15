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

}  // namespace app
