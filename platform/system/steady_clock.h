// The system's monotonic clock behind the Clock interface: a nanosecond
// counter and a millisecond clock, both counted from the first use.
#pragma once

#include "platform/clock.h"

namespace platform {

// The one clock of the process (static storage; never null).
Clock* make_steady_clock();

}  // namespace platform
