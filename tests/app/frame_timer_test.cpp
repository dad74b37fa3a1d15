#include "app/frame_timer.h"

#include <gtest/gtest.h>

#include "tests/support/fake_clock.h"

namespace app {
namespace {

// Both clock modes must behave alike: the 1 MHz counter and the millisecond
// clock. The fake clock starts at 5 s.
class FrameTimerTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { clock.has_counter = GetParam(); }
    float command(int32_t c) { return frame_timer(timer, clock, c); }

    test_support::FakeClock clock;
    FrameTimer timer{};
};

TEST_P(FrameTimerTest, StopHoldsTimeStartResumesWithoutTheStoppedInterval) {
    EXPECT_FLOAT_EQ(command(kTimerAppTime), 5.0f);  // counts from the clock's zero until a reset
    command(kTimerReset);
    clock.advance(1.0);
    command(kTimerStop);
    clock.advance(3.0);
    EXPECT_FLOAT_EQ(command(kTimerAppTime), 1.0f);
    EXPECT_FLOAT_EQ(command(kTimerAppTime), 1.0f);
    EXPECT_FLOAT_EQ(command(kTimerElapsedTime), 0.0f);
    EXPECT_FLOAT_EQ(command(kTimerAbsoluteTime), 9.0f);  // the live clock, even while stopped

    command(kTimerStart);
    clock.advance(0.5);
    EXPECT_FLOAT_EQ(command(kTimerAppTime), 1.5f);
    command(kTimerStart);  // starting a running timer loses nothing
    EXPECT_FLOAT_EQ(command(kTimerAppTime), 1.5f);
}

TEST_P(FrameTimerTest, AStopAtTheClocksZeroStillHoldsTime) {
    clock.counter = 0;
    clock.milliseconds = 0;
    command(kTimerReset);
    command(kTimerStop);  // the moment of the stop is 0
    clock.advance(2.0);
    EXPECT_FLOAT_EQ(command(kTimerAppTime), 0.0f);
    EXPECT_FLOAT_EQ(command(kTimerElapsedTime), 0.0f);
    command(kTimerStart);
    clock.advance(0.5);
    EXPECT_FLOAT_EQ(command(kTimerAppTime), 0.5f);
}

TEST_P(FrameTimerTest, AdvanceStepsOnlyAStoppedClock) {
    command(kTimerReset);
    clock.advance(1.0);
    command(kTimerAdvance);  // running: nothing to step
    EXPECT_FLOAT_EQ(command(kTimerAppTime), 1.0f);
    command(kTimerStop);
    command(kTimerAdvance);
    EXPECT_NEAR(command(kTimerAppTime), 1.1f, 1e-6);
    command(kTimerAdvance);
    EXPECT_NEAR(command(kTimerAppTime), 1.2f, 1e-6);
}

TEST_P(FrameTimerTest, ElapsedTimeIsTheTimeSinceThePreviousReading) {
    command(kTimerReset);
    clock.advance(0.25);
    EXPECT_FLOAT_EQ(command(kTimerElapsedTime), 0.25f);
    clock.advance(0.125);
    EXPECT_FLOAT_EQ(command(kTimerElapsedTime), 0.125f);
    EXPECT_FLOAT_EQ(command(kTimerElapsedTime), 0.0f);
}

TEST_P(FrameTimerTest, UnknownCommandAnswersMinusOneAndChangesNothing) {
    command(kTimerReset);
    clock.advance(1.0);
    command(kTimerStop);
    EXPECT_EQ(command(7), -1.0f);
    EXPECT_EQ(command(-1), -1.0f);
    command(kTimerStart);
    EXPECT_FLOAT_EQ(command(kTimerAppTime), 1.0f);
}

INSTANTIATE_TEST_SUITE_P(ClockModes, FrameTimerTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Counter" : "Milliseconds"; });

TEST(FrameTimerModeTest, ChoosesTheClockOnceAndUsesTheCounterFrequency) {
    test_support::FakeClock clock;
    clock.frequency = 3'579'545;
    FrameTimer timer{};
    frame_timer(timer, clock, kTimerReset);
    clock.counter += 3'579'545 * 2;
    EXPECT_FLOAT_EQ(frame_timer(timer, clock, kTimerAppTime), 2.0f);
    EXPECT_EQ(clock.frequency_queries, 1);
    EXPECT_EQ(clock.millisecond_reads, 0);

    test_support::FakeClock no_counter;
    no_counter.has_counter = false;
    FrameTimer fallback{};
    frame_timer(fallback, no_counter, kTimerAbsoluteTime);
    frame_timer(fallback, no_counter, kTimerAbsoluteTime);
    EXPECT_EQ(no_counter.frequency_queries, 1);
    EXPECT_EQ(no_counter.counter_reads, 0);

    // A counter that reports no frequency cannot be divided by: milliseconds.
    test_support::FakeClock zero;
    zero.frequency = 0;
    FrameTimer guarded{};
    frame_timer(guarded, zero, kTimerReset);
    zero.advance(1.0);
    EXPECT_FLOAT_EQ(frame_timer(guarded, zero, kTimerAppTime), 1.0f);
    EXPECT_EQ(zero.counter_reads, 0);
}

}  // namespace
}  // namespace app
