// Keeps a presenting loop at the display's refresh rate. Swaps start on a
// steady beat of one refresh period, so a loop whose frames cost less than
// a period sleeps the rest instead of drawing frames nobody sees.
//
// A driver that draws in software makes the swap wait for the drawing; a
// long swap therefore says nothing about the display. Only timestamps show
// that vsync blocks: unpaced, the swaps of a synchronised display return a
// whole number of periods apart, on average never less than one. The pacer
// tries that now and then (a short run without sleeping) and stops adding
// sleep while it holds; the first stretch of frames that comes in under the
// refresh rate puts the cap back.
//
// The rule works on timestamps it is given, so tests can drive it with
// made-up swaps; the device sleeps with sleep_until().
#pragma once

#include <cstdint>

namespace platform::gl {

class FramePacer {
public:
    // When the next swap may start, in the seconds of `now`: a time not
    // after `now` means at once. `refresh_hz` 0 means unknown (60 Hz).
    double swap_due(uint32_t refresh_hz, double now);
    // The swap asked for by the last swap_due() started and returned at
    // these times.
    void swap_done(double started, double returned);

    // True while the swaps are seen to wait for the display.
    bool display_paces() const { return mode_ == Mode::DisplayPaces; }
    // Seconds the last swap_due() asked to wait (for the record; tests read it).
    double last_wait() const { return last_wait_; }

    // Frames in one trial without sleeping, and capped frames between trials.
    static constexpr int kTrialFrames = 16;
    static constexpr int kFramesBetweenTrials = 600;
    // The first trial comes after the start-up frames (loading, first
    // uploads), whose times say little about the display.
    static constexpr int kFirstTrialAfter = 30;

private:
    enum class Mode { Capped, Trial, DisplayPaces };

    void judge_trial();
    void watch_display();

    Mode mode_ = Mode::Capped;
    double period_ = 1.0 / 60.0;     // seconds
    double due_ = 0.0;               // the last swap's place on the beat, seconds
    bool on_beat_ = false;           // due_ holds a beat to continue
    int capped_frames_ = kFramesBetweenTrials - kFirstTrialAfter;  // since the last trial
    double returns_[kTrialFrames + 1] = {};  // swap return times, oldest first
    int return_count_ = 0;           // valid entries of returns_
    double last_wait_ = 0.0;
};

double monotonic_seconds();
// Sleeps until `deadline` in monotonic_seconds(); returns at once for a past time.
void sleep_until(double deadline);

}  // namespace platform::gl
