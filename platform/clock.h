// Time sources: a high-resolution counter when the system has one, a
// millisecond clock with a settable resolution, and the calendar time.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

class Clock {
public:
    // Ticks per second of the counter; false when there is no counter.
    virtual bool query_performance_frequency(int64_t& ticks_per_second) = 0;
    virtual int64_t query_performance_counter() = 0;
    // Milliseconds since an arbitrary start; wraps at 2^32.
    virtual uint32_t time_get_time() = 0;
    // Asks for a clock resolution of `milliseconds`; 0 is success.
    virtual uint32_t time_begin_period(uint32_t milliseconds) = 0;
    virtual uint32_t time_end_period(uint32_t milliseconds) = 0;
    // Calendar time in whole seconds since 1970-01-01 UTC (seeds the scene).
    virtual int64_t calendar_seconds() { return static_cast<int64_t>(std::time(nullptr)); }

protected:
    virtual ~Clock() = default;
};

}  // namespace platform
