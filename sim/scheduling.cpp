#include "sim/scheduling.h"

#include <cmath>

#include "sim/sim_step.h"

namespace sim {

namespace {

constexpr int32_t kIgnoredFrames = 20;     // counter values 0..20 are irregular start-up frames
constexpr int32_t kMinimumWindow = 10;     // frames averaged before the first settle test
constexpr double kSettleTolerance = 0.001; // relative change of the mean interval
constexpr double kMinimumRate = 60.0;      // steps per second
constexpr int kSubSteps = 1;

// Measures the mean frame interval; once it is steady, fixes the step rate
// to the nearest whole rate (at least 60).
void measure_frame_rate(SimWorld& world, float app_time) {
    const double delta = static_cast<double>(app_time) - static_cast<double>(world.last_app_time);
    const int32_t n = world.rate_frames - kIgnoredFrames;
    if (n > 0) {
        const double previous_sum = world.rate_time_sum;
        world.rate_time_sum += delta;
        if (n > kMinimumWindow) {
            const double avg_prev = previous_sum / static_cast<double>(n - 1);
            const double avg = world.rate_time_sum / static_cast<double>(n);
            const double rel = std::fabs(avg - avg_prev) / avg_prev;
            if (rel < kSettleTolerance) {
                world.step_dt = avg;
                world.step_rate = std::floor(1.0 / world.step_dt + 0.5);
                if (world.step_rate < kMinimumRate) {
                    world.step_rate = kMinimumRate;
                }
                world.step_dt = 1.0 / world.step_rate;
                world.rate_frames = -n;
            }
        }
    }
    if (world.rate_frames >= 0) {
        world.rate_frames += 1;
    }
}

}  // namespace

void pick_swim_target(Creature& creature, SimWorld& world, double t) {
    if (!(t > world.next_target_time)) {
        return;
    }
    world.next_target_time = t + 45.0 + 30.0 * random_unit(world.random);
    creature.swim_target.x = 2.0 * static_cast<double>(static_cast<int>(4.995 * random_unit(world.random))) - 4.0;
    creature.swim_target.y = 2.0;
    creature.swim_target.z = static_cast<double>(static_cast<int>(1.998 * random_unit(world.random))) + 2.0;
}

void advance_frame(Creature& creature, SimWorld& world, float app_time) {
    measure_frame_rate(world, app_time);
    const double h = world.step_dt / static_cast<double>(kSubSteps);
    for (int i = 0; i < kSubSteps; ++i) {
        const double t = world.sim_time + static_cast<double>(i + 1) * h;
        pick_swim_target(creature, world, t);
        sim_step(creature, world, t, h);
    }
    world.sim_time += world.step_dt;
    world.last_app_time = app_time;
}

}  // namespace sim
