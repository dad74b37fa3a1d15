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

float counter_command(FrameTimer& timer, platform::Clock& clock, int32_t command) {
    const int64_t now = reads_stop_time(timer, command) ? timer.stop_ticks : clock.query_performance_counter();
    const double frequency = static_cast<double>(timer.ticks_per_second);
    switch (command) {
        case kTimerReset:
            timer.base_ticks = now;
            timer.last_elapsed_ticks = now;
            timer.stop_ticks = 0;
            timer.stopped = false;
            return 0.0f;
        case kTimerStart:
            if (timer.stopped) timer.base_ticks += now - timer.stop_ticks;
            timer.stop_ticks = 0;
            timer.last_elapsed_ticks = now;
            timer.stopped = false;
            return 0.0f;
        case kTimerStop:
            timer.stop_ticks = now;
            timer.last_elapsed_ticks = now;
            timer.stopped = true;
            return 0.0f;
        case kTimerAdvance:
            if (timer.stopped) timer.stop_ticks += timer.ticks_per_second / 10;
            return 0.0f;
        case kTimerAbsoluteTime:
            return static_cast<float>(static_cast<double>(now) / frequency);
        case kTimerAppTime:
            return static_cast<float>(static_cast<double>(now - timer.base_ticks) / frequency);
        case kTimerElapsedTime: {
            const double elapsed = static_cast<double>(now - timer.last_elapsed_ticks) / frequency;
            timer.last_elapsed_ticks = now;
            return static_cast<float>(elapsed);
        }
        default:
            return -1.0f;
    }
}

float millisecond_command(FrameTimer& timer, platform::Clock& clock, int32_t command) {
    const double now = reads_stop_time(timer, command) ? timer.stop_seconds : clock.time_get_time() * 0.001;
    switch (command) {
        case kTimerReset:
            timer.base_seconds = now;
            timer.last_elapsed_seconds = now;
            timer.stop_seconds = 0.0;
            timer.stopped = false;
            return 0.0f;
        case kTimerStart:
            if (timer.stopped) timer.base_seconds += now - timer.stop_seconds;
            timer.stop_seconds = 0.0;
            timer.last_elapsed_seconds = now;
            timer.stopped = false;
            return 0.0f;
        case kTimerStop:
            timer.stop_seconds = now;
            timer.last_elapsed_seconds = now;
            timer.stopped = true;
            return 0.0f;
        case kTimerAdvance:
            if (timer.stopped) timer.stop_seconds += 0.1;
            return 0.0f;
        case kTimerAbsoluteTime:
            return static_cast<float>(now);
        case kTimerAppTime:
            return static_cast<float>(now - timer.base_seconds);
        case kTimerElapsedTime: {
            const double elapsed = now - timer.last_elapsed_seconds;
            timer.last_elapsed_seconds = now;
            return static_cast<float>(elapsed);
        }
        default:
            return -1.0f;
    }
}

}  // namespace

float frame_timer(FrameTimer& timer, platform::Clock& clock, int32_t command) {
    if (!is_known(command)) return -1.0f;
    choose_mode(timer, clock);
    return timer.use_counter ? counter_command(timer, clock, command) : millisecond_command(timer, clock, command);
}

}  // namespace app
