// `aquarium-headless bench [--steps N]`: measures the simulation and one
// whole frame, and prints one `name: value unit` line per figure.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/fonts/freetype_glyph_rasterizer.h"
#include "render/render_frame.h"
#include "render/scene_setup.h"
#include "render/text_overlay.h"
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
    render::setup_scene(*creature, *world, kBenchSeed);
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

    // One whole frame: the frame-move work, the frame drawing and the
    // information text, against a device that draws nothing.
    NullGraphicsDevice device(kBenchWidth, kBenchHeight);
    platform::FreeTypeGlyphRasterizer glyphs;
    render::TextOverlay overlay("Arial", 12, render::kTextBold, &glyphs);
    if (platform::failed(overlay.build_glyph_texture(&device)) || platform::failed(overlay.prepare_for_drawing())) {
        std::fprintf(stderr, "aquarium-headless bench: no font for the text overlay; frame_cpu leaves the text out\n");
    }
    settings::Settings frame_settings{};
    frame_settings.d_show_info = true;
    auto render_state = std::make_unique<render::RenderState>();
    render::reset_render_state(*render_state);
    sim::reset_records(*creature, *world);
    render::setup_scene(*creature, *world, kBenchSeed);
    const render::InformationText info{"Aquarium", "60.00 fps (800x600x32) (D24S8)", "HAL (hw vp): bench", 0.0f};
    render::FrameContext frame{&device, kBenchWidth, kBenchHeight, creature.get(), world.get(), &frame_settings, 0,
                               &overlay, info};
    std::vector<double> frame_us(kFrameSamples);
    for (int k = 1; k <= kWarmUpFrames + kFrameSamples; ++k) {
        const float app_time = static_cast<float>(k / 60.0);
        frame.info.app_time = app_time;
        const Clock::time_point start = Clock::now();
        sim::advance_frame(*creature, *world, app_time);
        render::render_frame(frame, *render_state);
        if (k > kWarmUpFrames) frame_us[k - kWarmUpFrames - 1] = seconds_since(start) * 1e6;
    }
    std::printf("frame_cpu: %.3f us\n", median(frame_us));
    return 0;
}

}  // namespace tools
