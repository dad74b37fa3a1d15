// The running scene as the desktop's background: one fish of its own on
// every background surface (one per output, or only the one asked for),
// drawn at the surface's size without the information text. Surfaces that
// come later get a fish, those that go lose theirs, a surface that changes
// size gets its device reset to it. It takes no input and saves nothing;
// it reads the settings. While no surface is seen (the power state reads
// as a dark display) nothing is drawn and the time of the fish stands
// still. It ends when a termination signal was caught, or when the
// connection to the compositor is lost.
#pragma once

#include <cstdint>

#include "platform/background_surfaces.h"
#include "platform/platform.h"
#include "platform/power_status.h"
#include "platform/settings_store.h"

namespace app {

struct BackgroundServices {
    platform::BackgroundSurfaces* surfaces;
    platform::GraphicsSystemFactory* graphics;
    platform::SettingsStore* settings;  // read only
    platform::PowerStatus* power;       // may be null: always on
    bool (*end_requested)();            // true once the program is to end
    uint32_t seed;                      // each surface's fish mixes in its number
};

// Draws until the end; answers the exit status (0, or 1 when no graphics
// system could be made).
int run_background(const BackgroundServices& services);

}  // namespace app
