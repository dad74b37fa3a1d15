// The hooks through which the framework drives an application's scene. The
// framework owns the window, the device and the loop; the hooks own the
// scene. Every hook answers a result code (negative is failure); the
// defaults do nothing and succeed.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"
#include "platform/result.h"

namespace app {

struct RenderApp;

class SceneHooks {
public:
    // Accepts or refuses a device (capabilities, creation behaviour, display
    // format) while the device table is built, before any window exists.
    virtual platform::Result check_device_caps(const platform::DeviceCaps& caps, uint32_t behaviour,
                                               platform::Format format) {
        (void)caps, (void)behaviour, (void)format;
        return platform::kOk;
    }
    // Once, after the main window exists and before the device starts.
    virtual platform::Result init_scene(RenderApp& app) { return (void)app, platform::kOk; }
    // After each device creation: objects that survive a device reset.
    virtual platform::Result create_device_objects(RenderApp& app) { return (void)app, platform::kOk; }
    // After creation and after every reset: device states and objects that a
    // reset loses.
    virtual platform::Result reset_device_objects(RenderApp& app) { return (void)app, platform::kOk; }
    // Once per frame while time moves (or one step is due): the simulation.
    virtual platform::Result advance_frame(RenderApp& app) { return (void)app, platform::kOk; }
    // Once per frame: draws the picture into the back buffer.
    virtual platform::Result render_frame(RenderApp& app) { return (void)app, platform::kOk; }
    // Before every reset and before the device goes: undoes reset_device_objects.
    virtual platform::Result release_device_objects(RenderApp& app) { return (void)app, platform::kOk; }
    // Before the device goes: undoes create_device_objects.
    virtual platform::Result destroy_device_objects(RenderApp& app) { return (void)app, platform::kOk; }
    // Once, at exit: undoes init_scene.
    virtual platform::Result shutdown_scene(RenderApp& app) { return (void)app, platform::kOk; }

protected:
    ~SceneHooks() = default;
};

}  // namespace app
