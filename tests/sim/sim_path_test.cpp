// The versions of the hot loops (portable, AVX2, AVX-512) and how one is
// chosen: every version the processor runs must give the same run bit for
// bit, and the environment may only narrow the choice.
#include <gtest/gtest.h>

#include "sim/cpu_features.h"
#include "sim_test_support.h"

namespace {

using sim::SimPath;

constexpr uint32_t kSeed = 20110817u;
constexpr int64_t kFrames = 1800;  // half a minute: every kind of manoeuvre starts

TEST(SimPaths, EveryPathTheProcessorRunsGivesTheSameRun) {
    const SimPath before = sim::sim_path();
    ASSERT_TRUE(sim::set_sim_path(SimPath::Sse2));
    simtest::Scene reference = simtest::make_scene(kSeed);
    simtest::run_frames(reference, 1, kFrames);
    int compared = 0;
    for (SimPath path : {SimPath::Avx2, SimPath::Avx512}) {
        if (!sim::set_sim_path(path)) continue;
        EXPECT_EQ(sim::sim_path(), path);
        simtest::Scene run = simtest::make_scene(kSeed);
        simtest::run_frames(run, 1, kFrames);
        EXPECT_EQ(simtest::first_differing_field(reference.c(), reference.w(), run.c(), run.w()), nullptr)
            << sim::sim_path_name(path) << " differs from sse2";
        ++compared;
    }
    sim::set_sim_path(before);
    if (compared == 0) GTEST_SKIP() << "this processor runs only sse2";
    RecordProperty("widest_path", sim::sim_path_name(sim::widest_sim_path()));
}

TEST(SimPaths, TheEnvironmentMayNarrowThePathButNeverWidenIt) {
    EXPECT_EQ(sim::choose_sim_path(SimPath::Avx512, nullptr), SimPath::Avx512);
    EXPECT_EQ(sim::choose_sim_path(SimPath::Avx512, "sse2"), SimPath::Sse2);
    EXPECT_EQ(sim::choose_sim_path(SimPath::Avx512, "avx2"), SimPath::Avx2);
    EXPECT_EQ(sim::choose_sim_path(SimPath::Avx2, "avx512"), SimPath::Avx2);
    EXPECT_EQ(sim::choose_sim_path(SimPath::Sse2, "avx2"), SimPath::Sse2);
    EXPECT_EQ(sim::choose_sim_path(SimPath::Avx2, "sse2"), SimPath::Sse2);
    for (const char* unknown : {"", "AVX2", "avx", "sse2 ", "neon"}) {
        EXPECT_EQ(sim::choose_sim_path(SimPath::Avx2, unknown), SimPath::Avx2) << '"' << unknown << '"';
    }
    for (SimPath path : {SimPath::Sse2, SimPath::Avx2, SimPath::Avx512}) {
        SimPath parsed = SimPath::Sse2;
        EXPECT_TRUE(sim::parse_sim_path(sim::sim_path_name(path), parsed));
        EXPECT_EQ(parsed, path);
    }
}

TEST(SimPaths, APathWiderThanTheProcessorIsRefused) {
    const SimPath before = sim::sim_path();
    EXPECT_TRUE(sim::set_sim_path(SimPath::Sse2));
    if (sim::widest_sim_path() != SimPath::Avx512) {
        EXPECT_FALSE(sim::set_sim_path(SimPath::Avx512));
        EXPECT_EQ(sim::sim_path(), SimPath::Sse2);
    }
    EXPECT_TRUE(sim::set_sim_path(sim::widest_sim_path()));
    sim::set_sim_path(before);
}

}  // namespace
