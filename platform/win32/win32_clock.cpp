#include "platform/win32/win32_clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace platform::win32 {
namespace {

class Win32Clock final : public Clock {
public:
    bool query_performance_frequency(int64_t& ticks_per_second) override {
        LARGE_INTEGER frequency{};
        if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return false;
        ticks_per_second = frequency.QuadPart;
        return true;
    }
    int64_t query_performance_counter() override {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        return now.QuadPart;
    }
    uint32_t time_get_time() override { return timeGetTime(); }
    uint32_t time_begin_period(uint32_t milliseconds) override { return timeBeginPeriod(milliseconds); }
    uint32_t time_end_period(uint32_t milliseconds) override { return timeEndPeriod(milliseconds); }
};

}  // namespace

Clock* make_win32_clock() {
    static Win32Clock clock;
    return &clock;
}

}  // namespace platform::win32
