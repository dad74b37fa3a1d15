// Everything above the platform layer reaches the system through this
// bundle of interfaces, so that every rule can run against fakes.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/glyph_rasterizer.h"
#include "platform/graphics_system.h"
#include "platform/instance_lock.h"
#include "platform/power_status.h"
#include "platform/settings_store.h"
#include "platform/window_system.h"

namespace platform {

// Creates the graphics system (the version number is the one the program
// was built for); null when there is none.
class GraphicsSystemFactory {
public:
    virtual GraphicsSystem* create(uint32_t version) = 0;

protected:
    virtual ~GraphicsSystemFactory() = default;
};

struct Platform {
    WindowSystem* windows;
    MessageBoxes* message_boxes;
    Clock* clock;
    SettingsStore* settings;
    InstanceLock* instance_lock;
    GraphicsSystemFactory* graphics;
    GlyphRasterizer* glyphs;
    PowerStatus* power;  // null: the display is always on and the computer on mains
};

}  // namespace platform
