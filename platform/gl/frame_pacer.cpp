#include "platform/gl/frame_pacer.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace platform::gl {
namespace {

// A trial's halves differ by half a period; returns that stay put by more
// than a quarter period against the beat come from the display.
constexpr double kTwoPi = 6.283185307179586;
// While the display paces, frames on average never come sooner than this
// share of a period (its rate may be a little below the nominal figure).
constexpr double kLeastMeanShare = 0.995;

double g_minimum_frame_seconds = 0.0;  // set once at start-up, before any device

}  // namespace

double minimum_frame_seconds() { return g_minimum_frame_seconds; }

double monotonic_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A relative sleep of the standard library: the C libraries of both systems
// sleep for a duration, where an absolute deadline on the monotonic clock
// is not offered everywhere (the Windows one refuses it at once).
void sleep_until(double deadline) {
    const double now = monotonic_seconds();
    if (!(deadline > now)) return;
    std::this_thread::sleep_for(std::chrono::duration<double>(deadline - now));
}

double FramePacer::swap_due(uint32_t refresh_hz, double now, double minimum_seconds) {
    period_ = 1.0 / static_cast<double>(refresh_hz != 0 ? refresh_hz : 60);
    last_wait_ = 0.0;
    interval_kept_ = minimum_seconds > period_;
    if (interval_kept_) {
        // Slower than the display asked for: the interval alone sets the pace.
        on_beat_ = false;
        double due = started_once_ ? last_start_ + minimum_seconds : now;
        if (due < now) due = now;
        if (due > now) last_wait_ = due - now;
        return due;
    }
    if (mode_ == Mode::DisplayPaces) {
        on_beat_ = false;
        return now;
    }
    double due = on_beat_ ? due_ + period_ : now;
    // The second half of a trial: the beat moves half a period later.
    if (mode_ == Mode::Trial && trial_frame_ == kTrialFrames) due += 0.5 * period_;
    // More than a period behind: start a new beat rather than rush to catch up.
    if (due < now - period_) due = now;
    due_ = due;
    on_beat_ = true;
    if (due > now) last_wait_ = due - now;
    return due;
}

void FramePacer::swap_done(double started, double returned) {
    last_start_ = started;
    started_once_ = true;
    if (interval_kept_) return;  // these swaps say nothing about the display
    switch (mode_) {
        case Mode::Capped:
            if (++capped_frames_ >= kFramesBetweenTrials) {
                mode_ = Mode::Trial;
                trial_frame_ = 0;
                for (auto& half : phase_sums_) half[0] = half[1] = 0.0;
            }
            break;
        case Mode::Trial: trial_swap_done(returned); break;
        case Mode::DisplayPaces: watch_display(returned); break;
    }
}

void FramePacer::trial_swap_done(double returned) {
    // Where in the period, counted from the beat, the swap returned; the
    // first frame of each half settles the move.
    const int half = trial_frame_ < kTrialFrames ? 0 : 1;
    if (trial_frame_ != 0 && trial_frame_ != kTrialFrames) {
        const double angle = kTwoPi * (returned - due_) / period_;
        phase_sums_[half][0] += std::cos(angle);
        phase_sums_[half][1] += std::sin(angle);
    }
    if (++trial_frame_ < 2 * kTrialFrames) return;
    // Returns that moved with the beat differ by about 0; returns held by the
    // display moved half a period against it.
    const double before = std::atan2(phase_sums_[0][1], phase_sums_[0][0]);
    const double after = std::atan2(phase_sums_[1][1], phase_sums_[1][0]);
    double moved = std::fabs(after - before);
    if (moved > kTwoPi / 2) moved = kTwoPi - moved;
    capped_frames_ = 0;
    return_count_ = 0;
    mode_ = moved > kTwoPi / 4 ? Mode::DisplayPaces : Mode::Capped;
}

void FramePacer::watch_display(double returned) {
    if (return_count_ == kTrialFrames + 1) {
        for (int i = 0; i < kTrialFrames; ++i) returns_[i] = returns_[i + 1];
        --return_count_;
    }
    returns_[return_count_++] = returned;
    if (return_count_ < kTrialFrames + 1) return;
    const double mean = (returns_[kTrialFrames] - returns_[0]) / kTrialFrames;
    if (mean >= kLeastMeanShare * period_) return;
    mode_ = Mode::Capped;
    capped_frames_ = 0;
    return_count_ = 0;
}

}  // namespace platform::gl

namespace platform {

void set_minimum_frame_interval(uint32_t microseconds) {
    gl::g_minimum_frame_seconds = static_cast<double>(microseconds) * 1e-6;
}

}  // namespace platform
