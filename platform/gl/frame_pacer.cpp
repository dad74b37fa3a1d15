#include "platform/gl/frame_pacer.h"

#include <cerrno>
#include <cmath>
#include <ctime>

namespace platform::gl {
namespace {

// A synchronised display returns swaps a whole number of periods apart,
// give or take this share of a period.
constexpr double kBeatTolerance = 0.1;
// ... and, on average, never sooner than this share of a period (the
// display's rate may be a little below its nominal figure, never above).
constexpr double kLeastMeanShare = 0.995;

}  // namespace

double monotonic_seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void sleep_until(double deadline) {
    if (!(deadline > monotonic_seconds())) return;
    timespec t{};
    t.tv_sec = static_cast<time_t>(deadline);
    t.tv_nsec = static_cast<long>((deadline - static_cast<double>(t.tv_sec)) * 1e9);
    if (t.tv_nsec >= 1'000'000'000L) {
        t.tv_sec += 1;
        t.tv_nsec -= 1'000'000'000L;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

double FramePacer::swap_due(uint32_t refresh_hz, double now) {
    period_ = 1.0 / static_cast<double>(refresh_hz != 0 ? refresh_hz : 60);
    last_wait_ = 0.0;
    if (mode_ != Mode::Capped) {
        on_beat_ = false;
        return now;
    }
    double due = on_beat_ ? due_ + period_ : now;
    // More than a period behind: start a new beat rather than rush to catch up.
    if (due < now - period_) due = now;
    due_ = due;
    on_beat_ = true;
    if (due > now) last_wait_ = due - now;
    return due;
}

void FramePacer::swap_done(double, double returned) {
    if (mode_ == Mode::Capped) {
        if (++capped_frames_ >= kFramesBetweenTrials) {
            mode_ = Mode::Trial;
            return_count_ = 0;  // only unpaced swaps count
        }
        return;
    }
    if (return_count_ == kTrialFrames + 1) {
        for (int i = 0; i < kTrialFrames; ++i) returns_[i] = returns_[i + 1];
        --return_count_;
    }
    returns_[return_count_++] = returned;
    if (return_count_ < kTrialFrames + 1) return;
    if (mode_ == Mode::Trial) {
        judge_trial();
    } else {
        watch_display();
    }
}

void FramePacer::judge_trial() {
    bool on_beat = true;
    for (int i = 0; i < kTrialFrames; ++i) {
        const double interval = returns_[i + 1] - returns_[i];
        const double periods = std::round(interval / period_);
        if (periods < 1.0 || std::fabs(interval - periods * period_) > kBeatTolerance * period_) on_beat = false;
    }
    const double mean = (returns_[kTrialFrames] - returns_[0]) / kTrialFrames;
    if (on_beat && mean >= kLeastMeanShare * period_) {
        mode_ = Mode::DisplayPaces;
        return;
    }
    mode_ = Mode::Capped;
    capped_frames_ = 0;
    return_count_ = 0;
}

void FramePacer::watch_display() {
    const double mean = (returns_[kTrialFrames] - returns_[0]) / kTrialFrames;
    if (mean >= kLeastMeanShare * period_) return;
    mode_ = Mode::Capped;
    capped_frames_ = 0;
    return_count_ = 0;
}

}  // namespace platform::gl
