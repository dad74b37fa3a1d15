// The program's random source and the tests' control over it.
#include <gtest/gtest.h>

#include <cstdint>

#include "sim/random_source.h"
#include "sim_test_support.h"

namespace {

TEST(RandomSource, KnownSeedsGiveTheClassicSequence) {
    sim::RandomSource source;
    sim::random_seed(source, 1);
    const int expected_seed_1[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected_seed_1) EXPECT_EQ(sim::random_next(source), value);

    sim::random_seed(source, 0);
    const int expected_seed_0[] = {38, 7719, 21238};
    for (int value : expected_seed_0) EXPECT_EQ(sim::random_next(source), value);

    // The state wraps modulo 2^32.
    sim::random_seed(source, 0xFFFFFFFFu);
    const int expected_seed_max[] = {35, 29739, 3374};
    for (int value : expected_seed_max) EXPECT_EQ(sim::random_next(source), value);
}

TEST(RandomSource, UnitValuesCoverBothEndsOfTheInterval) {
    sim::RandomSource source;
    source.state = simtest::state_drawing(0);
    EXPECT_EQ(sim::random_unit(source), 0.0);
    source.state = simtest::state_drawing(32767);
    EXPECT_EQ(sim::random_unit(source), 1.0);
    source.state = simtest::state_drawing(16384);
    EXPECT_EQ(sim::random_unit(source), 16384.0 / 32767.0);
}

TEST(RandomSource, StateDrawingSelectsTheNextValue) {
    for (int value : {0, 1, 4259, 16383, 32766, 32767}) {
        for (uint16_t low : {uint16_t{0}, uint16_t{1}, uint16_t{0xFFFF}}) {
            sim::RandomSource source{simtest::state_drawing(value, low)};
            EXPECT_EQ(sim::random_next(source), value) << "low bits " << low;
        }
    }
}

}  // namespace
