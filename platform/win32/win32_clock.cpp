#include "platform/win32/win32_clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace platform::win32 {
namespace {

// Both counters count from the clock's creation, as on other systems, so
// the running time the program shows is its own, not the machine's.
class Win32Clock final : public Clock {
public:
    Win32Clock() {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        counter_origin_ = now.QuadPart;
        milliseconds_origin_ = timeGetTime();
    }

    bool query_performance_frequency(int64_t& ticks_per_second) override {
        LARGE_INTEGER frequency{};
        if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return false;
        ticks_per_second = frequency.QuadPart;
        return true;
    }
    int64_t query_performance_counter() override {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        return now.QuadPart - counter_origin_ + 1;  // never 0: callers treat 0 as unset
    }
    uint32_t time_get_time() override { return timeGetTime() - milliseconds_origin_; }  // wraps at 2^32
    uint32_t time_begin_period(uint32_t milliseconds) override { return timeBeginPeriod(milliseconds); }
    uint32_t time_end_period(uint32_t milliseconds) override { return timeEndPeriod(milliseconds); }

private:
    int64_t counter_origin_ = 0;       // counter ticks at creation
    uint32_t milliseconds_origin_ = 0; // timeGetTime() at creation
};

}  // namespace

Clock* make_win32_clock() {
    static Win32Clock clock;
    return &clock;
}

}  // namespace platform::win32
