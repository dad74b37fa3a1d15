// Google Benchmark suites of the simulation: one step, the frame-move work
// and body construction.
#include <benchmark/benchmark.h>

#include <memory>

#include "sim/scene_setup.h"
#include "sim/body.h"
#include "sim/records.h"
#include "sim/scheduling.h"
#include "sim/sim_step.h"

namespace {

constexpr uint32_t kSeed = 1;
constexpr int kWarmUpFrames = 600;

struct SwimmingScene {
    std::unique_ptr<sim::Creature> creature = std::make_unique<sim::Creature>();
    std::unique_ptr<sim::SimWorld> world = std::make_unique<sim::SimWorld>();
    int frame = 0;

    SwimmingScene() {
        sim::reset_records(*creature, *world);
        sim::setup_scene(*creature, *world, kSeed);
        while (frame < kWarmUpFrames) next_frame();
    }
    void next_frame() {
        ++frame;
        sim::advance_frame(*creature, *world, static_cast<float>(frame / 60.0));
    }
};

void BM_sim_step(benchmark::State& state) {
    SwimmingScene scene;
    sim::SimWorld& w = *scene.world;
    for (auto _ : state) {
        const double t = w.sim_time + w.step_dt;
        sim::sim_step(*scene.creature, w, t, w.step_dt);
        w.sim_time = t;
    }
}
BENCHMARK(BM_sim_step)->Unit(benchmark::kMicrosecond);

void BM_advance_frame(benchmark::State& state) {
    SwimmingScene scene;
    for (auto _ : state) {
        scene.next_frame();
    }
}
BENCHMARK(BM_advance_frame)->Unit(benchmark::kMicrosecond);

void BM_build_body(benchmark::State& state) {
    auto creature = std::make_unique<sim::Creature>();
    auto world = std::make_unique<sim::SimWorld>();
    for (auto _ : state) {
        state.PauseTiming();
        sim::reset_records(*creature, *world);
        sim::random_seed(world->random, kSeed);
        state.ResumeTiming();
        sim::build_body(*creature, *world);
        benchmark::DoNotOptimize(creature->total_mass);
    }
}
BENCHMARK(BM_build_body)->Unit(benchmark::kMillisecond);

}  // namespace
