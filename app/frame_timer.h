// One clock for the whole program with a stop/start facility. The framework
// reads the application time and the time between frames from it and stops
// it while the program is paused. It counts with the high-resolution counter
// when the platform has one and with the millisecond clock otherwise.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace app {

// The commands of frame_timer; any other value answers -1 and changes nothing.
enum TimerCommand : int32_t {
    kTimerReset = 0,         // base and last-elapsed time become now; running
    kTimerStart = 1,         // resumes; the stopped interval is not counted
    kTimerStop = 2,          // freezes application and elapsed time
    kTimerAdvance = 3,       // moves a stopped clock on by 0.1 s
    kTimerAbsoluteTime = 4,  // the live clock, seconds
    kTimerAppTime = 5,       // seconds since the base time
    kTimerElapsedTime = 6,   // seconds since the previous elapsed-time reading
};

// The three moments the timer keeps, in the unit of its mode: counter
// ticks (int64_t) or seconds of the millisecond clock (double).
template <typename Time>
struct TimerMarks {
    Time base;          // application time zero
    Time stop;          // when the clock was stopped; 0 while running
    Time last_elapsed;  // previous elapsed-time reading
};

struct FrameTimer {
    bool mode_chosen;           // the counter/millisecond choice has been made
    bool use_counter;           // counter mode (else millisecond mode)
    int64_t ticks_per_second;   // counter frequency, counter mode only
    TimerMarks<int64_t> ticks;  // counter mode
    TimerMarks<double> seconds; // millisecond mode
    bool stopped;               // application and elapsed time stand still
};

// Applies `command` (a TimerCommand) and returns its answer in seconds:
// 0 for the commands that only change state, -1 for an unknown command.
float frame_timer(FrameTimer& timer, platform::Clock& clock, int32_t command);

}  // namespace app
