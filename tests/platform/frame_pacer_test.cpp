// The frame pacer's minimum frame interval (a module's -delay): frames
// follow each other no sooner than asked, even when the display's swap
// already waits for the display.
#include "platform/gl/frame_pacer.h"

#include <gtest/gtest.h>

namespace {

using platform::gl::FramePacer;
using platform::gl::monotonic_seconds;

// Seconds from the first to the last of `frames` presented frames.
double span_of_frames(FramePacer& pacer, int frames, double swap_seconds, double minimum_seconds) {
    const double start = monotonic_seconds();
    for (int i = 0; i < frames; ++i) pacer.frame_presented(60, swap_seconds, minimum_seconds);
    return monotonic_seconds() - start;
}

TEST(FramePacer, AMinimumIntervalLongerThanTheDisplaysSlowsTheFrames) {
    FramePacer pacer;
    // 6 frames at least 50 ms apart: the first starts the cadence, five
    // more intervals follow.
    EXPECT_GE(span_of_frames(pacer, 6, 0.0, 0.05), 5 * 0.05 * 0.95);
    EXPECT_GT(pacer.last_sleep(), 0.03);
}

TEST(FramePacer, ASwapThatWaitsForTheDisplayStillKeepsTheMinimumInterval) {
    FramePacer waiting;
    // A swap of a whole display frame: the display sets the pace, and the
    // pacer adds nothing.
    span_of_frames(waiting, 20, 1.0 / 60.0, 0.0);
    EXPECT_EQ(waiting.last_sleep(), 0.0);
    // Asked for 50 ms, it sleeps out the rest.
    span_of_frames(waiting, 3, 1.0 / 60.0, 0.05);
    EXPECT_GT(waiting.last_sleep(), 0.03);
}

TEST(FramePacer, AnIntervalShorterThanTheDisplaysChangesNothing) {
    FramePacer plain, asked;
    plain.frame_presented(60, 0.0, 0.0);
    asked.frame_presented(60, 0.0, 0.001);
    plain.frame_presented(60, 0.0, 0.0);
    asked.frame_presented(60, 0.0, 0.001);
    EXPECT_LE(asked.last_sleep(), 1.0 / 60.0 + 0.002);
    EXPECT_GT(asked.last_sleep(), 0.0);
    EXPECT_LE(plain.last_sleep(), 1.0 / 60.0 + 0.002);
}

}  // namespace
