// The device states of the scene: texture stage 0 modulating texture and
// current colour, alpha blending factors, filtering, depth test, lighting,
// fog settings and ambient light in a fixed order, then the two white
// directional lights. Set after every device creation and reset, on the
// main device and on every cover's.
#pragma once

#include "platform/graphics_device.h"

namespace app {

// Sets the 27 states in their order, then the two lights. What the device
// answers is not looked at: a state it cannot take only changes the look.
void set_scene_device_states(platform::GraphicsDevice& device);

}  // namespace app
