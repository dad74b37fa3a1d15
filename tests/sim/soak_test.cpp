// Long runs: one simulated hour per seed through the frame-move work, with
// every state value of both records checked for infinities and NaN after
// every frame. Prints, per seed, how often the shape correction and the ring
// delay met their caps and the most correction iterations a step needed.
//
// AQUARIUM_SOAK_FRAMES overrides the number of frames per seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "sim/records.h"
#include "sim/scheduling.h"
#include "sim/sim_step.h"
#include "sim_test_support.h"

namespace {

using sim::Mat3;
using sim::Quat;
using sim::Vec3;

constexpr int kSeeds = 20;
constexpr int64_t kFramesPerHour = 216000;
constexpr uint32_t kFirstSeed = 1754000000u;  // seeds look like the clock's seconds
constexpr uint32_t kSeedStride = 104729u;
constexpr int kReplayLimit = 10000;

// Counts the iterations the shape correction of the last step needed by
// running it again from the poses before the step. The uncorrected new poses
// are recovered by turning the corrected ones back with the step's final
// counter-rotation, so the count may differ by one from the step's own when
// the last correction angle lies within rounding of the limit.
class CorrectionReplay {
public:
    void remember(const sim::Creature& c) {
        std::copy(std::begin(c.section_pos), std::end(c.section_pos), prev_pos_);
        std::copy(std::begin(c.section_quat), std::end(c.section_quat), prev_quat_);
    }

    int iterations(const sim::Creature& c) {
        Mat3 spin;
        sim::mat3_from_quat(spin, c.shape_spin);
        for (int k = 0; k < sim::kSections; ++k) {
            sim::mat3_mul_vec(new_pos_[k], spin, c.section_pos[k]);
            sim::quat_mul(new_quat_[k], c.shape_spin, c.section_quat[k]);
            sim::quat_normalize(new_quat_[k], new_quat_[k]);
            Mat3 r, rt;
            sim::mat3_from_quat(r, prev_quat_[k]);
            sim::mat3_transpose(rt, r);
            sim::mat3_mul3(inertia_[k], r, c.section_inertia[k], rt);
            pos_[k] = new_pos_[k];
            quat_[k] = new_quat_[k];
        }
        Quat total{1.0, 0.0, 0.0, 0.0};
        for (int iteration = 1; iteration <= kReplayLimit; ++iteration) {
            Vec3 lambda{0.0, 0.0, 0.0};
            for (int k = 0; k < sim::kSections; ++k) {
                Quat d, prev_inverse;
                sim::quat_conjugate(prev_inverse, prev_quat_[k]);
                sim::quat_mul(d, quat_[k], prev_inverse);
                sim::quat_normalize(d, d);
                Vec3 spin_part, moved;
                sim::mat3_mul_vec(spin_part, inertia_[k], sim::rotation_vector(d));
                sim::vec_add(lambda, lambda, spin_part);
                sim::vec_cross(moved, prev_pos_[k], pos_[k]);
                sim::vec_madd(lambda, lambda, c.section_mass[k], moved);
            }
            Vec3 psi;
            sim::mat3_mul_vec(psi, c.inertia_inv, lambda);
            const double angle = sim::vec_length(psi);
            Quat e{1.0, 0.0, 0.0, 0.0};
            if (angle > sim::kTinyLength) {
                sim::quat_from_axis_angle(e, Vec3{psi.x / angle, psi.y / angle, psi.z / angle}, angle);
                sim::quat_normalize(e, e);
            }
            sim::quat_mul(total, e, total);
            sim::quat_normalize(total, total);
            Quat inverse;
            Mat3 undo;
            sim::quat_conjugate(inverse, total);
            sim::mat3_from_quat(undo, inverse);
            for (int k = 0; k < sim::kSections; ++k) {
                sim::mat3_mul_vec(pos_[k], undo, new_pos_[k]);
                sim::quat_mul(quat_[k], inverse, new_quat_[k]);
                sim::quat_normalize(quat_[k], quat_[k]);
            }
            if (angle < sim::kCorrectionLimit) {
                deviation_ = std::fabs(total.w - c.shape_spin.w) + std::fabs(total.x - c.shape_spin.x) +
                             std::fabs(total.y - c.shape_spin.y) + std::fabs(total.z - c.shape_spin.z);
                return iteration;
            }
        }
        deviation_ = 0.0;
        return kReplayLimit + 1;
    }

    // How far the replay's final counter-rotation lies from the step's own:
    // near rounding error when the replay follows the step.
    double deviation() const { return deviation_; }

private:
    Vec3 prev_pos_[sim::kSections], new_pos_[sim::kSections], pos_[sim::kSections];
    Quat prev_quat_[sim::kSections], new_quat_[sim::kSections], quat_[sim::kSections];
    Mat3 inertia_[sim::kSections];
    double deviation_ = 0.0;
};

struct SeedResult {
    uint32_t seed = 0;
    int64_t frames = 0;               // frames completed
    const char* bad_field = nullptr;  // first field found non-finite
    const char* broken_invariant = nullptr;
    int64_t bad_frame = 0;
    int64_t correction_cap_hits = 0;
    int64_t delay_cap_hits = 0;
    int max_iterations = 0;
    double mean_iterations = 0.0;
    double replay_deviation = 0.0;  // largest, over all frames
    double max_speed = 0.0;
    double max_height = -1e300, min_height = 1e300;
    double seconds = 0.0;
};

SeedResult soak(uint32_t seed, int64_t frames) {
    SeedResult result;
    result.seed = seed;
    const auto start = std::chrono::steady_clock::now();
    simtest::Scene scene = simtest::make_scene(seed);
    sim::Creature& c = scene.c();
    sim::SimWorld& w = scene.w();
    CorrectionReplay replay;
    int64_t iteration_sum = 0;
    for (int64_t k = 1; k <= frames; ++k) {
        replay.remember(c);
        sim::advance_frame(c, w, simtest::frame_time(k));
        const int iterations = replay.iterations(c);
        iteration_sum += iterations;
        result.max_iterations = std::max(result.max_iterations, iterations);
        result.replay_deviation = std::max(result.replay_deviation, replay.deviation());
        result.max_speed = std::max(result.max_speed, c.speed);
        result.max_height = std::max(result.max_height, c.position.z);
        result.min_height = std::min(result.min_height, c.position.z);
        result.frames = k;

        if (const char* field = simtest::first_non_finite_field(c, w)) {
            result.bad_field = field;
            result.bad_frame = k;
            break;
        }
        const Quat& q = c.orientation;
        const double norm = q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z;
        const char* broken = nullptr;
        if (!(std::fabs(norm - 1.0) < 1e-12)) broken = "orientation not unit";
        if (w.hist_pos < 0 || w.hist_pos >= sim::kHistory) broken = "hist_pos out of range";
        if (w.manoeuvre != sim::kManoeuvreNone && w.manoeuvre != sim::kManoeuvreSmallTurn &&
            w.manoeuvre != sim::kManoeuvreCruise && w.manoeuvre != sim::kManoeuvreLargeTurn &&
            w.manoeuvre != sim::kManoeuvreBendGlide) {
            broken = "unknown manoeuvre";
        }
        if (broken != nullptr) {
            result.broken_invariant = broken;
            result.bad_frame = k;
            break;
        }
    }
    result.correction_cap_hits = w.correction_cap_hits;
    result.delay_cap_hits = w.delay_cap_hits;
    result.mean_iterations = static_cast<double>(iteration_sum) / static_cast<double>(result.frames);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

int64_t frames_per_seed() {
    if (const char* text = std::getenv("AQUARIUM_SOAK_FRAMES")) {
        const long long value = std::atoll(text);
        if (value > 0) return value;
    }
    return kFramesPerHour;
}

TEST(Soak, AnHourPerSeedKeepsEveryStateValueFinite) {
    const int64_t frames = frames_per_seed();
    std::vector<SeedResult> results(kSeeds);
    std::atomic<int> next{0};
    auto worker = [&] {
        for (int i = next++; i < kSeeds; i = next++) {
            results[i] = soak(kFirstSeed + kSeedStride * static_cast<uint32_t>(i), frames);
        }
    };
    const int threads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kSeeds);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) pool.emplace_back(worker);
    for (std::thread& t : pool) t.join();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("%lld frames per seed, %d threads, %.1f s wall\n", static_cast<long long>(frames), threads,
                wall);
    std::printf("%10s %9s %9s %8s %9s %10s %8s %8s %13s %7s\n", "seed", "corr_cap", "delay_cap",
                "max_iter", "mean_iter", "replay_dev", "max_spd", "frames", "height", "seconds");
    for (const SeedResult& r : results) {
        std::printf("%10u %9lld %9lld %8d %9.3f %10.1e %8.4f %8lld %6.2f..%-5.2f %7.1f\n", r.seed,
                    static_cast<long long>(r.correction_cap_hits), static_cast<long long>(r.delay_cap_hits),
                    r.max_iterations, r.mean_iterations, r.replay_deviation, r.max_speed,
                    static_cast<long long>(r.frames), r.min_height, r.max_height, r.seconds);
    }
    std::fflush(stdout);

    for (const SeedResult& r : results) {
        EXPECT_EQ(r.bad_field, nullptr) << "seed " << r.seed << ": " << r.bad_field
                                        << " not finite after frame " << r.bad_frame;
        EXPECT_EQ(r.broken_invariant, nullptr) << "seed " << r.seed << ": " << r.broken_invariant
                                               << " after frame " << r.bad_frame;
        EXPECT_EQ(r.frames, frames) << "seed " << r.seed;
    }
}

}  // namespace
