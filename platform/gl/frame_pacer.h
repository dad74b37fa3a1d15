// Keeps a presenting loop at the display's refresh rate. Swaps start on a
// steady beat of one refresh period, so a loop whose frames cost less than
// a period sleeps the rest instead of drawing frames nobody sees.
//
// A driver that draws in software makes the swap wait for the drawing; a
// long swap therefore says nothing about the display. Only timestamps show
// that vsync blocks: now and then the pacer moves its beat by half a period
// for a few frames. A swap that waits for the drawing moves with the beat;
// a swap that waits for the display keeps returning on the display's
// refresh, whatever the beat. In that case the pacer stops adding sleep,
// until a stretch of frames comes in faster than the refresh rate.
//
// A minimum frame interval longer than the display's (a module's -delay)
// slows the loop further: swaps then start no sooner than that after the
// previous one, whatever the display does.
//
// The rule works on timestamps it is given, so tests can drive it with
// made-up swaps; the device sleeps with sleep_until().
#pragma once

#include <cstdint>

namespace platform::gl {

class FramePacer {
public:
    // When the next swap may start, in the seconds of `now`: a time not
    // after `now` means at once. `refresh_hz` 0 means unknown (60 Hz);
    // `minimum_seconds` is the least time from one swap to the next (0: the
    // display's pace).
    double swap_due(uint32_t refresh_hz, double now, double minimum_seconds = 0.0);
    // The swap asked for by the last swap_due() started and returned at
    // these times.
    void swap_done(double started, double returned);

    // True while the swaps are seen to wait for the display.
    bool display_paces() const { return mode_ == Mode::DisplayPaces; }
    // Seconds the last swap_due() asked to wait (for the record; tests read it).
    double last_wait() const { return last_wait_; }

    // Frames in each half of a trial (on the beat, then half a period
    // later), and capped frames between trials.
    static constexpr int kTrialFrames = 16;
    static constexpr int kFramesBetweenTrials = 600;
    // The first trial comes after the start-up frames (loading, first
    // uploads), whose times say little about the display.
    static constexpr int kFirstTrialAfter = 30;

private:
    enum class Mode { Capped, Trial, DisplayPaces };

    void trial_swap_done(double returned);
    void watch_display(double returned);

    Mode mode_ = Mode::Capped;
    double period_ = 1.0 / 60.0;     // seconds
    double due_ = 0.0;               // the last swap's place on the beat, seconds
    bool on_beat_ = false;           // due_ holds a beat to continue
    int capped_frames_ = kFramesBetweenTrials - kFirstTrialAfter;  // since the last trial
    int trial_frame_ = 0;            // frames of the running trial
    double phase_sums_[2][2] = {};   // per half: sums of cos and sin of the return's place in the period
    double returns_[kTrialFrames + 1] = {};  // swap return times while the display paces, oldest first
    int return_count_ = 0;           // valid entries of returns_
    double last_wait_ = 0.0;
    bool interval_kept_ = false;     // the last swap_due() kept a minimum interval, outside the beat
    bool started_once_ = false;      // last_start_ holds a swap's start
    double last_start_ = 0.0;        // when the last swap started, seconds
};

double monotonic_seconds();
// Sleeps until `deadline` in monotonic_seconds(); returns at once for a past time.
void sleep_until(double deadline);

// The process's minimum frame interval for windows, in seconds (see
// set_minimum_frame_interval below).
double minimum_frame_seconds();

}  // namespace platform::gl

namespace platform {

// Frames presented into windows follow each other no sooner than this
// (XScreenSaver's -delay); 0, the default, leaves the pace to the display.
// Set once at start-up, before any device.
void set_minimum_frame_interval(uint32_t microseconds);

}  // namespace platform
