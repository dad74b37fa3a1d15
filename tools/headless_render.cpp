#include "tools/headless_render.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "app/aquarium_app.h"
#include "app/device_lifecycle.h"
#include "app/frame_loop.h"
#include "app/main_window.h"
#include "platform/egl/egl_graphics.h"
#include "platform/egl/egl_headless_graphics.h"
#include "platform/files/empty_settings_store.h"
#include "platform/fonts/freetype_glyph_rasterizer.h"
#include "platform/system/stderr_message_boxes.h"
#include "settings/about_text.h"
#include "settings/device_table.h"
#include "tools/headless_platform.h"

namespace tools {

namespace {

constexpr const char* kWindowClass = "pel WindowClassName";
constexpr uint32_t kIcon = 101;
constexpr int64_t kFrameTicks = VirtualClock::kTicksPerSecond / 60;

platform::Result report(const char* what, platform::Result result) {
    std::fprintf(stderr, "aquarium-headless render: %s (0x%08x)\n", what, static_cast<unsigned>(result));
    return result;
}

// Device table, main window, scene and device, as a windowed run starts.
platform::Result start_program(app::AquariumApp& application, HeadlessWindowSystem& windows) {
    app::RenderApp& app = application.app;
    settings::title_from_about_text(application.title, app::kTitleSize);
    app.graphics = app.platform.graphics->create(platform::kGraphicsSystemVersion);
    if (app.graphics == nullptr) return report("no offscreen graphics system", platform::kFail);

    const settings::DeviceTableRequest request{app.graphics,
                                               &app::check_device_caps_of,
                                               &app,
                                               app.use_depth_buffer,
                                               app.min_depth_bits,
                                               app.min_stencil_bits,
                                               static_cast<uint32_t>(windows.screen_width()),
                                               static_cast<uint32_t>(windows.screen_height())};
    platform::Result fallback_warning = platform::kOk;
    platform::Result result = settings::build_device_table(app.device_table, request, app.windowed, fallback_warning);
    if (platform::failed(result)) return report("no usable device", result);

    const platform::WindowClass window_class{kWindowClass, &app::main_window_proc, &app, 0,
                                             kIcon,        platform::Brush::Black};
    windows.register_class(window_class);
    const platform::WindowCreate create{kWindowClass, app.title, platform::kStyleConfigureWindow,
                                        platform::Rect{0, 0, windows.screen_width(), windows.screen_height()}, 0};
    app.main_window = windows.create_window(create);
    if (app.main_window == 0) return report("no window", platform::kFail);
    result = app::run_common_window_steps(app);
    if (platform::failed(result)) return report("scene set-up failed", result);

    app.windowed = true;
    result = app::start_device(app);
    if (platform::failed(result)) return report("device start failed", result);
    app.ready = true;
    return platform::kOk;
}

}  // namespace

platform::Result run_headless_render(const HeadlessRenderOptions& options, FrameSink sink, void* context) {
    HeadlessWindowSystem windows(static_cast<int32_t>(options.width), static_cast<int32_t>(options.height));
    VirtualClock clock;
    platform::files::EmptySettingsStore store;
    platform::FreeTypeGlyphRasterizer glyphs;
    const platform::Platform bundle{
        &windows, platform::make_stderr_message_boxes(),
        &clock,   &store,
        nullptr,  platform::make_headless_graphics_system_factory(options.width, options.height),
        &glyphs,  nullptr};
    auto application = std::make_unique<app::AquariumApp>(bundle);
    application->fix_scene_seed(options.seed);
    application->settings.d_show_info = options.show_info;
    app::RenderApp& app = application->app;

    platform::Result result = start_program(*application, windows);
    std::vector<uint8_t> rgba(options.read_back ? static_cast<size_t>(options.width) * options.height * 4 : 0);
    for (uint64_t frame = 1; platform::succeeded(result) && frame <= options.frames; ++frame) {
        clock.advance_ticks(kFrameTicks);
        if (!app.active || !app.ready || app.device == nullptr) {
            result = report("the device went away", platform::kFail);
            break;
        }
        result = app::step_frame(app);
        if (platform::failed(result)) {
            report("frame failed", result);
            break;
        }
        const bool wanted = options.every > 0 ? frame % options.every == 0 : frame == options.frames;
        if (!wanted) continue;
        if (options.read_back) {
            result = platform::read_pixels(app.device, rgba.data(), options.width, options.height);
            if (platform::failed(result)) {
                report("cannot read the picture back", result);
                break;
            }
        }
        if (!sink(context, frame, options.read_back ? rgba.data() : nullptr, options.width, options.height)) {
            result = platform::kFail;
        }
    }
    app::shutdown_device(app);
    return result;
}

}  // namespace tools
