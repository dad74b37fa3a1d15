// `aquarium-headless bench [--steps N]`: measures the simulation and one
// whole frame, and prints one `name: value unit` line per figure.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "app/aquarium_app.h"
#if AQUARIUM_HEADLESS_RENDER
#include "platform/fonts/freetype_glyph_rasterizer.h"
#endif
#include "sim/scene_setup.h"
#include "sim/body.h"
#include "sim/records.h"
#include "sim/scheduling.h"
#include "sim/sim_step.h"
#include "tools/command_line.h"
#include "tools/headless_commands.h"
#include "tools/null_graphics_device.h"

namespace tools {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kBenchSeed = 1;
constexpr int kWarmUpFrames = 600;
constexpr int kBuildRepeats = 21;
constexpr int kFrameSamples = 5000;
constexpr uint32_t kBenchWidth = 800;   // back buffer, pixels
constexpr uint32_t kBenchHeight = 600;

double median(std::vector<double>& samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int run_bench(int argc, char** argv) {
    uint64_t steps = 20000;
    const bool ok = parse_options(argc, argv, 2, "bench", [&](const char* name, const char* value) {
        if (std::strcmp(name, "steps") == 0) return parse_unsigned(value, 100000000ull, steps) && steps > 0;
        return false;
    });
    if (!ok) {
        std::fprintf(stderr, "usage: aquarium-headless bench [--steps N]\n");
        return 2;
    }

    auto creature = std::make_unique<sim::Creature>();
    auto world = std::make_unique<sim::SimWorld>();

    // One simulation step, after the creature has started swimming.
    sim::reset_records(*creature, *world);
    sim::setup_scene(*creature, *world, kBenchSeed);
    for (int k = 1; k <= kWarmUpFrames; ++k) {
        sim::advance_frame(*creature, *world, static_cast<float>(k / 60.0));
    }
    std::vector<double> step_us(steps);
    const double h = world->step_dt;
    for (uint64_t i = 0; i < steps; ++i) {
        const double t = world->sim_time + h;
        const Clock::time_point start = Clock::now();
        sim::sim_step(*creature, *world, t, h);
        step_us[i] = seconds_since(start) * 1e6;
        world->sim_time = t;
    }
    std::printf("sim_step: %.3f us\n", median(step_us));

    // Body construction, from fresh records each time.
    std::vector<double> build_ms(kBuildRepeats);
    for (double& sample : build_ms) {
        sim::reset_records(*creature, *world);
        sim::random_seed(world->random, kBenchSeed);
        const Clock::time_point start = Clock::now();
        sim::build_body(*creature, *world);
        sample = seconds_since(start) * 1e3;
    }
    std::printf("build_body: %.3f ms\n", median(build_ms));

    // One whole frame through the application's hooks: the frame-move hook,
    // the render hook and the information text, against a device that draws
    // nothing.
    NullGraphicsDevice device(kBenchWidth, kBenchHeight);
    platform::Platform services{};
#if AQUARIUM_HEADLESS_RENDER
    platform::FreeTypeGlyphRasterizer glyphs;
    services.glyphs = &glyphs;
#endif
    auto aquarium = std::make_unique<app::AquariumApp>(services);
    app::RenderApp& application = aquarium->app;
    aquarium->fix_scene_seed(kBenchSeed);
    application.device = &device;
    application.back_buffer_desc.width = kBenchWidth;
    application.back_buffer_desc.height = kBenchHeight;
    std::snprintf(application.frame_stats, sizeof application.frame_stats, "60.00 fps (800x600x32) (D16)");
    std::snprintf(application.device_stats, sizeof application.device_stats, "HAL (hw vp): bench");
    aquarium->init_scene(application);
    aquarium->create_device_objects(application);
    aquarium->reset_device_objects(application);
    if (aquarium->overlay == nullptr || aquarium->overlay->texture_width() == 0) {
        std::fprintf(stderr, "aquarium-headless bench: no font for the text overlay; frame_cpu leaves the text out\n");
    }
    std::vector<double> frame_us(kFrameSamples);
    for (int k = 1; k <= kWarmUpFrames + kFrameSamples; ++k) {
        application.app_time = static_cast<float>(k / 60.0);
        const Clock::time_point start = Clock::now();
        aquarium->advance_frame(application);
        aquarium->render_frame(application);
        if (k > kWarmUpFrames) frame_us[k - kWarmUpFrames - 1] = seconds_since(start) * 1e6;
    }
    aquarium->release_device_objects(application);
    aquarium->destroy_device_objects(application);
    application.device = nullptr;
    std::printf("frame_cpu: %.3f us\n", median(frame_us));
    return 0;
}

}  // namespace tools
