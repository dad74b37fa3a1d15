#include "app/render_app.h"

#include "app/scene_hooks.h"

namespace app {

namespace {

// The framework's own hooks: nothing to set up, everything succeeds.
class DefaultSceneHooks final : public SceneHooks {};

DefaultSceneHooks default_hooks;

}  // namespace

SceneHooks& scene_hooks(RenderApp& app) { return app.hooks != nullptr ? *app.hooks : default_hooks; }

Result check_device_caps_of(void* context, const platform::DeviceCaps& caps, uint32_t behaviour,
                            platform::Format format) {
    return scene_hooks(*static_cast<RenderApp*>(context)).check_device_caps(caps, behaviour, format);
}

float read_timer(RenderApp& app, TimerCommand command) {
    return frame_timer(app.timer, *app.platform.clock, command);
}

}  // namespace app
