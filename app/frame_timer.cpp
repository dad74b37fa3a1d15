#include "app/frame_timer.h"

namespace app {

namespace {

bool is_known(int32_t command) { return command >= kTimerReset && command <= kTimerElapsedTime; }

// While stopped, every command but start and absolute_time sees the moment
// of the stop, so application and elapsed time stand still.
bool reads_stop_time(const FrameTimer& timer, int32_t command) {
    return timer.stopped && command != kTimerStart && command != kTimerAbsoluteTime;
}

void choose_mode(FrameTimer& timer, platform::Clock& clock) {
    if (timer.mode_chosen) return;
    int64_t frequency = 0;
    timer.use_counter = clock.query_performance_frequency(frequency) && frequency > 0;
    timer.ticks_per_second = timer.use_counter ? frequency : 0;
    timer.mode_chosen = true;
}

// Applies a command to the marks of one mode. `now` is the moment the
// command sees, `tenth` a tenth of a second in the mode's unit, and
// to_seconds turns a difference of two moments into seconds.
template <typename Time, typename ToSeconds>
float apply_command(FrameTimer& timer, TimerMarks<Time>& marks, Time now, Time tenth, ToSeconds to_seconds,
                    int32_t command) {
    switch (command) {
        case kTimerReset:
            marks.base = now;
            marks.last_elapsed = now;
            marks.stop = 0;
            timer.stopped = false;
            return 0.0f;
        case kTimerStart:
            if (timer.stopped) marks.base += now - marks.stop;
            marks.stop = 0;
            marks.last_elapsed = now;
            timer.stopped = false;
            return 0.0f;
        case kTimerStop:
            marks.stop = now;
            marks.last_elapsed = now;
            timer.stopped = true;
            return 0.0f;
        case kTimerAdvance:
            if (timer.stopped) marks.stop += tenth;
            return 0.0f;
        case kTimerAbsoluteTime:
            return static_cast<float>(to_seconds(now));
        case kTimerAppTime:
            return static_cast<float>(to_seconds(now - marks.base));
        case kTimerElapsedTime: {
            const double elapsed = to_seconds(now - marks.last_elapsed);
            marks.last_elapsed = now;
            return static_cast<float>(elapsed);
        }
        default:
            return -1.0f;
    }
}

float counter_command(FrameTimer& timer, platform::Clock& clock, int32_t command) {
    const int64_t now = reads_stop_time(timer, command) ? timer.ticks.stop : clock.query_performance_counter();
    const double frequency = static_cast<double>(timer.ticks_per_second);
    return apply_command(timer, timer.ticks, now, timer.ticks_per_second / 10,
                         [frequency](int64_t ticks) { return static_cast<double>(ticks) / frequency; }, command);
}

float millisecond_command(FrameTimer& timer, platform::Clock& clock, int32_t command) {
    const double now = reads_stop_time(timer, command) ? timer.seconds.stop : clock.time_get_time() * 0.001;
    return apply_command(timer, timer.seconds, now, 0.1, [](double seconds) { return seconds; }, command);
}

}  // namespace

float frame_timer(FrameTimer& timer, platform::Clock& clock, int32_t command) {
    if (!is_known(command)) return -1.0f;
    choose_mode(timer, clock);
    return timer.use_counter ? counter_command(timer, clock, command) : millisecond_command(timer, clock, command);
}

}  // namespace app
