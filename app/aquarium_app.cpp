#include "app/aquarium_app.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/monitor_layout.h"
#include "app/scene_device_states.h"
#include "sim/scene_setup.h"
#include "sim/scheduling.h"

namespace app {

namespace {

using platform::kOk;

// Pixels per inch of the monitor the main window is on; 96 when unknown.
int32_t main_monitor_dpi(RenderApp& app) {
    if (app.platform.windows == nullptr) return platform::kDefaultDpi;
    platform::MonitorInfo monitors[platform::kMaxMonitors];
    const uint32_t count = read_monitors(*app.platform.windows, monitors);
    const int32_t index = main_window_monitor(app, monitors, count);
    return index >= 0 ? monitors[index].dpi : platform::kDefaultDpi;
}

}  // namespace

AquariumApp::AquariumApp(const platform::Platform& platform)
    : creature(std::make_unique<sim::Creature>()),
      world(std::make_unique<sim::SimWorld>()),
      settings(settings::default_settings()),
      covers(std::make_unique<MonitorCovers>()) {
    app.platform = platform;
    app.hooks = this;
    app.settings = &settings;
    app.covers = covers.get();
    std::snprintf(title, sizeof title, "%s", kInitialTitle);
    app.title = title;
    app.use_depth_buffer = true;
    sim::reset_records(*creature, *world);
    overlay = std::make_unique<render::TextOverlay>(kOverlayFace, kOverlayPoints, render::kTextBold,
                                                    platform.glyphs);
    render_state = std::make_unique<render::RendererState>();
    render::reset_renderer_state(*render_state);
}

void AquariumApp::salt_clock_seed(uint32_t salt) { clock_seed_salt_ = salt; }

void AquariumApp::fix_scene_seed(uint32_t seed) {
    scene_seed_fixed_ = true;
    scene_seed_ = seed;
}

platform::Result AquariumApp::check_device_caps(const platform::DeviceCaps& caps, uint32_t behaviour,
                                                platform::Format) {
    if ((behaviour & platform::kCreatePureDevice) != 0) return platform::kFail;
    const uint32_t alpha_textures = platform::kTextureCapsAlphaPalette | platform::kTextureCapsAlpha;
    return (caps.texture_caps & alpha_textures) != 0 ? kOk : platform::kFail;
}

platform::Result AquariumApp::create_device_objects(RenderApp& render_app) {
    // Without the atlas the text is simply not drawn.
    if (overlay) {
        overlay->set_display_dpi(text_dpi(main_monitor_dpi(render_app)));
        overlay->build_glyph_texture(render_app.device);
    }
    return kOk;
}

platform::Result AquariumApp::reset_device_objects(RenderApp& render_app) {
    if (overlay) overlay->prepare_for_drawing();
    if (render_app.device == nullptr) return platform::kFail;
    // A state the device cannot take only changes the look of the picture, so
    // the scene goes on whatever the device answers.
    set_scene_device_states(*render_app.device);
    return kOk;
}

platform::Result AquariumApp::release_device_objects(RenderApp&) {
    if (overlay) overlay->release_drawing_resources();
    return kOk;
}

platform::Result AquariumApp::destroy_device_objects(RenderApp&) {
    if (overlay) overlay->release_glyph_texture();
    return kOk;
}

platform::Result AquariumApp::shutdown_scene(RenderApp&) {
    overlay.reset();
    return kOk;
}

platform::Result AquariumApp::init_scene(RenderApp& render_app) {
    // The salt is spread over all bits (a multiplicative hash) before it
    // meets the seconds, so that neighbouring salts and neighbouring
    // seconds never cancel out.
    const uint32_t seed = scene_seed_fixed_
                              ? scene_seed_
                              : static_cast<uint32_t>(render_app.platform.clock->calendar_seconds()) ^
                                    (clock_seed_salt_ * 0x9E3779B1u);
    sim::reset_records(*creature, *world);
    sim::setup_scene(*creature, *world, seed);
    covers->scene_seed = seed;  // the other monitors' fish are its relatives
    return kOk;
}

platform::Result AquariumApp::advance_frame(RenderApp& render_app) {
    sim::advance_frame(*creature, *world, render_app.app_time);
    return kOk;
}

platform::Result AquariumApp::render_frame(RenderApp& render_app) {
    render::FrameContext frame{};
    frame.device = render_app.device;
    frame.back_buffer_width = render_app.back_buffer_desc.width;
    frame.back_buffer_height = render_app.back_buffer_desc.height;
    frame.creature = creature.get();
    frame.world = world.get();
    frame.settings = &settings;
    frame.view_level = render_app.input.view_level;
    frame.overlay = overlay.get();
    frame.info = render::InformationText{render_app.title, render_app.frame_stats, render_app.device_stats,
                                         render_app.app_time};
    return render::render_frame(frame, *render_state);
}

}  // namespace app
