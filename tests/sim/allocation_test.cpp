// The simulation never allocates once the scene is built: the executable
// links the counting allocator.
#include <gtest/gtest.h>

#include <new>

#include "sim/scene_setup.h"
#include "sim/records.h"
#include "sim/scheduling.h"
#include "sim/sim_step.h"
#include "sim_test_support.h"
#include "tests/support/counting_allocator.h"


namespace {

TEST(Allocation, CounterSeesAllocations) {
    const long before = test_support::allocation_count();
    void* p = ::operator new(64);
    ::operator delete(p);
    EXPECT_EQ(test_support::allocation_count() - before, 1);
}

TEST(Allocation, SceneSetUpAllocatesNothingBeyondTheRecords) {
    simtest::Scene scene = simtest::make_records();
    const long before = test_support::allocation_count();
    sim::setup_scene(scene.c(), scene.w(), 2024);
    EXPECT_EQ(test_support::allocation_count() - before, 0);
}

TEST(Allocation, FramesAllocateNothing) {
    simtest::Scene scene = simtest::make_scene(2024);
    const long before = test_support::allocation_count();
    // 90 simulated seconds: rate measurement, manoeuvres, a second target.
    for (int64_t k = 1; k <= 5400; ++k) {
        sim::advance_frame(scene.c(), scene.w(), simtest::frame_time(k));
    }
    const long during = test_support::allocation_count() - before;
    EXPECT_EQ(during, 0);
    EXPECT_NE(scene.w().manoeuvre, 0);
    EXPECT_GT(scene.w().next_target_time, 90.0);
}

}  // namespace
