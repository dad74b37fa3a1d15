// The pacing rule driven by made-up swaps on a made-up clock: a software
// driver whose swap waits for the drawing, and a display whose swap waits
// for the next refresh.
#include "platform/gl/frame_pacer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace platform::gl {
namespace {

constexpr double kPeriod = 1.0 / 60.0;

// Swap return time for a swap that starts at `start`.
using SwapModel = std::function<double(double start)>;

// A driver that draws in software: the swap takes `seconds`, whatever the display does.
SwapModel software_swap(double seconds) {
    return [seconds](double start) { return start + seconds; };
}

// A synchronised display: the swap returns at the next refresh after it starts.
SwapModel vsync_swap() {
    return [](double start) { return (std::floor(start / kPeriod + 1e-9) + 1.0) * kPeriod; };
}

struct Loop {
    std::vector<double> returns;  // swap return times
    std::vector<double> waits;    // what the pacer asked to wait before each swap
    std::vector<bool> display_paces;
    double end = 0.0;             // the clock when the run ended
    double frames_per_second(double from) const {
        int frames = 0;
        for (double r : returns) frames += r >= from ? 1 : 0;
        return frames / (end - from);
    }
};

// A frame loop: `work` seconds of drawing calls, the pacer's wait, the swap.
void run_frames(FramePacer& pacer, double& clock, double seconds, double work, const SwapModel& swap, Loop& run,
                double minimum_seconds = 0.0) {
    const double stop = clock + seconds;
    while (clock < stop) {
        clock += work;
        const double due = pacer.swap_due(60, clock, minimum_seconds);
        run.waits.push_back(pacer.last_wait());
        if (due > clock) clock = due;
        const double started = clock;
        clock = swap(started);
        pacer.swap_done(started, clock);
        run.returns.push_back(clock);
        run.display_paces.push_back(pacer.display_paces());
    }
    run.end = clock;
}

TEST(FramePacer, ASoftwareSwapThatWaitsForDrawingDoesNotLiftTheCap) {
    // 5 ms of calls and 10.6 ms of drawing in the swap: 64 frames a second
    // unpaced, with every swap longer than half a frame.
    FramePacer pacer;
    double clock = 100.0;
    Loop run;
    run_frames(pacer, clock, 30.0, 0.005, software_swap(0.0106), run);
    for (bool paces : run.display_paces) EXPECT_FALSE(paces);
    // Trials stay capped; moving the beat costs half a frame now and then.
    EXPECT_LE(run.frames_per_second(100.0), 60.0);
    EXPECT_GE(run.frames_per_second(100.0), 59.9);
    std::vector<double> waits = run.waits;
    std::sort(waits.begin(), waits.end());
    EXPECT_NEAR(waits[waits.size() / 2], kPeriod - 0.0156, 1e-6);  // the cap sleeps the rest of the period
}

TEST(FramePacer, ASwapThatWaitsForTheDisplayIsLeftToSetThePace) {
    FramePacer pacer;
    double clock = 100.003;
    Loop run;
    run_frames(pacer, clock, 10.0, 0.003, vsync_swap(), run);
    // The first trial comes after the start-up frames and settles it.
    const int settled = FramePacer::kFirstTrialAfter + 2 * FramePacer::kTrialFrames;
    ASSERT_GT(run.returns.size(), size_t(settled));
    for (size_t i = settled; i < run.returns.size(); ++i) {
        EXPECT_TRUE(run.display_paces[i]) << "frame " << i;
        EXPECT_EQ(run.waits[i], 0.0) << "frame " << i;
    }
    // Not a refresh missed, capped, moving the beat or not: every swap one
    // period after the previous.
    for (size_t i = 1; i < run.returns.size(); ++i) {
        EXPECT_NEAR(run.returns[i] - run.returns[i - 1], kPeriod, 1e-6) << "frame " << i;
    }
}

TEST(FramePacer, FramesSlowerThanTheDisplayAreNeverHeldBack) {
    FramePacer pacer;
    double clock = 100.0;
    Loop run;
    run_frames(pacer, clock, 5.0, 0.008, software_swap(0.012), run);
    for (double wait : run.waits) EXPECT_EQ(wait, 0.0);
    EXPECT_NEAR(run.frames_per_second(100.0), 50.0, 0.2);
}

TEST(FramePacer, AFrameLoopTakingAPeriodEachIsNoDisplay) {
    // Frames that happen to take one period each return on a beat too, but
    // move with the pacer's beat.
    FramePacer pacer;
    double clock = 100.0;
    Loop run;
    run_frames(pacer, clock, 5.0, 0.004, software_swap(kPeriod - 0.004), run);
    for (bool paces : run.display_paces) EXPECT_FALSE(paces);
    EXPECT_LE(run.frames_per_second(100.0), 60.0);
}

TEST(FramePacer, FramesThatTurnFasterThanTheDisplayAreCappedAgain) {
    // A display that stops waiting (vsync switched off under the program):
    // the cap must come back within a trial's length of frames.
    FramePacer pacer;
    double clock = 100.0;
    Loop slow;
    run_frames(pacer, clock, 2.0, 0.004, vsync_swap(), slow);
    ASSERT_TRUE(pacer.display_paces());
    Loop fast;
    const double from = clock;
    run_frames(pacer, clock, 5.0, 0.004, software_swap(0.006), fast);
    EXPECT_FALSE(pacer.display_paces());
    EXPECT_LE(fast.frames_per_second(from), 60.0 + double(FramePacer::kTrialFrames) / 5.0);
    Loop later;
    const double settled = clock;
    run_frames(pacer, clock, 5.0, 0.004, software_swap(0.006), later);
    EXPECT_LE(later.frames_per_second(settled), 60.2);
}

TEST(FramePacer, ALateFrameIsMadeUpOnceThenTheBeatStartsAgain) {
    FramePacer pacer;
    double now = 10.0;
    EXPECT_EQ(pacer.swap_due(60, now), now);  // the first swap starts the beat
    pacer.swap_done(now, now + 0.001);
    EXPECT_NEAR(pacer.swap_due(60, now + 0.005), now + kPeriod, 1e-12);
    pacer.swap_done(now + kPeriod, now + kPeriod + 0.001);
    // Half a period late: due at once, and the next beat stays where it was.
    EXPECT_NEAR(pacer.swap_due(60, now + 2.5 * kPeriod), now + 2 * kPeriod, 1e-12);
    EXPECT_EQ(pacer.last_wait(), 0.0);
    pacer.swap_done(now + 2.5 * kPeriod, now + 2.6 * kPeriod);
    EXPECT_NEAR(pacer.swap_due(60, now + 2.7 * kPeriod), now + 3 * kPeriod, 1e-12);
    pacer.swap_done(now + 3 * kPeriod, now + 3.1 * kPeriod);
    // Seconds late: a new beat from now, not a burst of frames.
    EXPECT_EQ(pacer.swap_due(60, now + 5.0), now + 5.0);
    EXPECT_NEAR(pacer.swap_due(30, now + 5.01), now + 5.0 + 1.0 / 30.0, 1e-12);  // the rate's own period
}

// A module's -delay: frames keep a longer interval than the display's,
// whether the swap waits for the drawing or for the display, and an interval
// shorter than a refresh period leaves the cap at the refresh rate.
TEST(FramePacer, AMinimumIntervalLongerThanTheDisplaysSetsThePace) {
    for (const SwapModel& swap : {software_swap(0.004), vsync_swap()}) {
        FramePacer pacer;
        double clock = 0.0;
        Loop run;
        run_frames(pacer, clock, 5.0, 0.002, swap, run, 0.05);
        EXPECT_LE(run.frames_per_second(1.0), 20.5);
        EXPECT_GE(run.frames_per_second(1.0), 18.0);
    }
    FramePacer short_interval;
    double clock = 0.0;
    Loop run;
    run_frames(short_interval, clock, 5.0, 0.002, software_swap(0.004), run, 0.001);
    EXPECT_LE(run.frames_per_second(1.0), 60.5);
    EXPECT_GE(run.frames_per_second(1.0), 58.0);
}

// The device's own sleep: a loop that never waits spins a core at any frame rate.
TEST(FramePacer, SleepUntilWaitsForItsDeadline) {
    const double deadline = monotonic_seconds() + 0.03;
    sleep_until(deadline);
    EXPECT_GE(monotonic_seconds(), deadline - 0.002);  // a system may round its sleep to milliseconds
}

}  // namespace
}  // namespace platform::gl
