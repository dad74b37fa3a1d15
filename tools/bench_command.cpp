// `aquarium-headless bench [--steps N] [--gl-frames N]`: measures the
// simulation, one whole frame against a device that draws nothing and one
// whole frame on the offscreen OpenGL device at 640 x 480 and at
// 1920 x 1080, and prints one `name: value unit` line per figure.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "app/aquarium_app.h"
#if AQUARIUM_HEADLESS_RENDER
#include "platform/fonts/freetype_glyph_rasterizer.h"
#endif
#include "sim/cpu_features.h"
#include "sim/scene_setup.h"
#include "sim/body.h"
#include "sim/records.h"
#include "sim/scheduling.h"
#include "sim/sim_step.h"
#include "tools/headless_options.h"
#include "tools/headless_commands.h"
#include "tools/null_graphics_device.h"
#if AQUARIUM_HEADLESS_RENDER
#include "tools/allocation_counter.h"
#include "tools/headless_render.h"
#endif

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

#if AQUARIUM_HEADLESS_RENDER
constexpr uint64_t kGlWarmUpFrames = 60;
// The back buffers of the OpenGL frames, pixels: a small window, and a
// full-HD screen (what one more monitor covered by a fish costs).
constexpr uint32_t kGlSizes[][2] = {{640, 480}, {1920, 1080}};

// Processor time of the whole process (every thread: the driver draws on
// threads of its own), seconds. Unlike the wall clock it does not count
// the time other programs on the machine take.
double process_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Frame costs and allocations of the OpenGL run, sampled between frames.
struct GlFrameSamples {
    std::vector<double> frame_ms;  // processor time of each measured frame
    double last;                   // process_cpu_seconds() when the previous frame ended
    uint64_t first_allocations;    // process allocations when measuring began
    uint64_t last_allocations;     // ... and when it ended
};

bool sample_gl_frame(void* context, uint64_t frame, const uint8_t*, uint32_t, uint32_t) {
    auto& samples = *static_cast<GlFrameSamples*>(context);
    const double now = process_cpu_seconds();
    const uint64_t allocations = process_allocations();
    if (frame == kGlWarmUpFrames) samples.first_allocations = allocations;
    if (frame > kGlWarmUpFrames) {
        samples.frame_ms.push_back((now - samples.last) * 1e3);
        samples.last_allocations = allocations;
    }
    samples.last = now;
    return true;
}

// Whole frames of the application (frame hooks, information text, present)
// on the offscreen OpenGL device, as `aquarium-headless render` runs it but
// without reading the pictures back: the median processor time of a frame,
// the driver's threads included, at each size; the heap allocations per
// frame at the first. False when there is no such device.
bool bench_gl_frames(uint64_t frames) {
    for (const auto& size : kGlSizes) {
        GlFrameSamples samples{};
        samples.frame_ms.reserve(frames);
        samples.last = process_cpu_seconds();
        HeadlessRenderOptions options{kBenchSeed, kGlWarmUpFrames + frames, size[0], size[1], 1, true};
        options.read_back = false;
        if (platform::failed(run_headless_render(options, &sample_gl_frame, &samples)) || samples.frame_ms.empty()) {
            std::fprintf(stderr, "aquarium-headless bench: no offscreen OpenGL device; frame_gl left out\n");
            return false;
        }
        std::printf("frame_gl_%ux%u: %.3f ms\n", size[0], size[1], median(samples.frame_ms));
        if (&size == &kGlSizes[0] && process_allocations_counted()) {
            const double allocations = static_cast<double>(samples.last_allocations - samples.first_allocations);
            std::printf("driver_allocs_per_frame: %.1f\n", allocations / static_cast<double>(samples.frame_ms.size()));
        }
    }
    return true;
}

#endif  // AQUARIUM_HEADLESS_RENDER

// The options `--steps N` and `--gl-frames N`; false (after the usage line)
// on anything else.
bool parse_bench_options(int argc, char** argv, uint64_t& steps, uint64_t& gl_frames) {
    const bool ok = parse_options(argc, argv, 2, "bench", [&](const char* name, const char* value) {
        if (std::strcmp(name, "steps") == 0) return parse_unsigned(value, 100000000ull, steps) && steps > 0;
        if (std::strcmp(name, "gl-frames") == 0) {
            return parse_unsigned(value, 1000000ull, gl_frames) && gl_frames > 0;
        }
        return false;
    });
    if (!ok) std::fprintf(stderr, "usage: aquarium-headless bench [--steps N] [--gl-frames N]\n");
    return ok;
}

// One simulation step, after the creature has started swimming: the
// median of `steps` steps, and the code path that ran them.
void bench_sim_step(sim::Creature& creature, sim::SimWorld& world, uint64_t steps) {
    sim::reset_records(creature, world);
    sim::setup_scene(creature, world, kBenchSeed);
    for (int k = 1; k <= kWarmUpFrames; ++k) {
        sim::advance_frame(creature, world, static_cast<float>(k / 60.0));
    }
    std::vector<double> step_us(steps);
    const double h = world.step_dt;
    for (uint64_t i = 0; i < steps; ++i) {
        const double t = world.sim_time + h;
        const Clock::time_point start = Clock::now();
        sim::sim_step(creature, world, t, h);
        step_us[i] = seconds_since(start) * 1e6;
        world.sim_time = t;
    }
    std::printf("sim_code: %s\n", sim::sim_code_path());
    std::printf("sim_step: %.3f us\n", median(step_us));
}

// Body construction, from fresh records each time.
void bench_build_body(sim::Creature& creature, sim::SimWorld& world) {
    std::vector<double> build_ms(kBuildRepeats);
    for (double& sample : build_ms) {
        sim::reset_records(creature, world);
        sim::random_seed(world.random, kBenchSeed);
        const Clock::time_point start = Clock::now();
        sim::build_body(creature, world);
        sample = seconds_since(start) * 1e3;
    }
    std::printf("build_body: %.3f ms\n", median(build_ms));
}

// One whole frame through the application's hooks: the frame-move hook,
// the render hook and the information text, against a device that draws
// nothing.
void bench_cpu_frames() {
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
}

}  // namespace

int run_bench(int argc, char** argv) {
    uint64_t steps = 20000;
    uint64_t gl_frames = 600;
    if (!parse_bench_options(argc, argv, steps, gl_frames)) return 2;

    auto creature = std::make_unique<sim::Creature>();
    auto world = std::make_unique<sim::SimWorld>();
    bench_sim_step(*creature, *world, steps);
    bench_build_body(*creature, *world);
    bench_cpu_frames();
#if AQUARIUM_HEADLESS_RENDER
    return bench_gl_frames(gl_frames) ? 0 : 1;
#else
    (void)gl_frames;  // this build has no offscreen OpenGL device
    return 0;
#endif
}

}  // namespace tools
