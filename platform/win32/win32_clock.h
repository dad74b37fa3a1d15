// The clock on the performance counter and the multimedia timer.
#pragma once

#include "platform/clock.h"

namespace platform::win32 {

// QueryPerformanceCounter, timeGetTime and timeBeginPeriod/timeEndPeriod
// (static storage; never null).
Clock* make_win32_clock();

}  // namespace platform::win32
