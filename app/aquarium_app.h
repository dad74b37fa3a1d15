// The application object: the framework state, the creature and the world
// it swims in, the settings, and the hooks that set up, advance and draw the
// scene on the framework's device. Built once by the entry point (it is too
// large for a stack: allocate it) and kept for the whole run.
#pragma once

#include <cstdint>
#include <memory>

#include "app/monitor_covers.h"
#include "app/render_app.h"
#include "app/scene_hooks.h"
#include "render/render_frame.h"
#include "render/text_overlay.h"
#include "settings/settings.h"
#include "sim/records.h"

namespace app {

inline constexpr int kTitleSize = 80;  // bytes of the title buffer
inline constexpr const char* kInitialTitle = "zizevov";
inline constexpr const char* kOverlayFace = "Arial";  // font of the information text
inline constexpr int32_t kOverlayPoints = 12;

class AquariumApp final : public SceneHooks {
public:
    explicit AquariumApp(const platform::Platform& platform);
    ~AquariumApp() = default;
    AquariumApp(const AquariumApp&) = delete;
    AquariumApp& operator=(const AquariumApp&) = delete;

    // The scene starts from `seed` instead of the calendar time (tests, tools).
    void fix_scene_seed(uint32_t seed);
    // Mixes `salt` into the calendar-time seed, so that programs started in
    // the same second (one module per monitor) get fish of their own. A
    // fixed seed ignores it.
    void salt_clock_seed(uint32_t salt);

    // ---- device-level hooks ----
    // Refuses pure devices and devices without alpha textures.
    platform::Result check_device_caps(const platform::DeviceCaps& caps, uint32_t behaviour,
                                       platform::Format format) override;
    // The information text's font, for the pixels per inch of the main
    // window's monitor.
    platform::Result create_device_objects(RenderApp& app) override;
    // The 27 device states of the scene in a fixed order, then the two lights.
    platform::Result reset_device_objects(RenderApp& app) override;
    platform::Result release_device_objects(RenderApp& app) override;
    platform::Result destroy_device_objects(RenderApp& app) override;
    platform::Result shutdown_scene(RenderApp& app) override;

    // ---- scene hooks ----
    // Seeds the random source and builds the body, its skin and the meshes.
    platform::Result init_scene(RenderApp& app) override;
    // One fixed simulation step at the frame's application time.
    platform::Result advance_frame(RenderApp& app) override;
    platform::Result render_frame(RenderApp& app) override;

    RenderApp app;                            // framework state; its hooks are this object
    std::unique_ptr<sim::Creature> creature;  // allocated once, here
    std::unique_ptr<sim::SimWorld> world;     // allocated once, here
    settings::Settings settings;              // the values kept between runs
    char title[kTitleSize];                   // window and message-box caption
    std::unique_ptr<render::TextOverlay> overlay;       // the information text; gone after shutdown_scene
    std::unique_ptr<render::RendererState> render_state;  // camera and tank geometry kept between frames
    std::unique_ptr<MonitorCovers> covers;                // the other monitors in run mode; allocated once, here

private:
    bool scene_seed_fixed_ = false;  // else the calendar time seeds the scene
    uint32_t scene_seed_ = 0;
    uint32_t clock_seed_salt_ = 0;   // 0: the calendar time alone
};

}  // namespace app
