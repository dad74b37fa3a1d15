// A virtual clock: the counter, the millisecond clock and the calendar
// move only when the test says so. Reading it never allocates.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/clock.h"

namespace test_support {

class FakeClock : public platform::Clock {
public:
    // ---- script ----
    bool has_counter = true;
    int64_t frequency = 1'000'000;     // counter ticks per second
    int64_t counter = 5'000'000;       // starts away from zero, like a real counter
    uint32_t milliseconds = 5'000;
    int64_t calendar = 1'313'539'200;  // seconds since 1970
    uint32_t begin_period_answer = 0;  // 0: the resolution was granted

    // ---- what happened ----
    int frequency_queries = 0;
    int counter_reads = 0;
    int millisecond_reads = 0;
    std::vector<uint32_t> begun_periods;
    std::vector<uint32_t> ended_periods;

    FakeClock() {
        begun_periods.reserve(8);
        ended_periods.reserve(8);
    }

    // Moves every time source on by `seconds`.
    void advance(double seconds) {
        counter += static_cast<int64_t>(std::llround(seconds * static_cast<double>(frequency)));
        milliseconds += static_cast<uint32_t>(std::llround(seconds * 1000.0));
    }

    bool query_performance_frequency(int64_t& ticks_per_second) override {
        ++frequency_queries;
        if (!has_counter) return false;
        ticks_per_second = frequency;
        return true;
    }
    int64_t query_performance_counter() override {
        ++counter_reads;
        return counter;
    }
    uint32_t time_get_time() override {
        ++millisecond_reads;
        return milliseconds;
    }
    uint32_t time_begin_period(uint32_t period) override {
        begun_periods.push_back(period);
        return begin_period_answer;
    }
    uint32_t time_end_period(uint32_t period) override {
        ended_periods.push_back(period);
        return 0;
    }
    int64_t calendar_seconds() override { return calendar; }
};

}  // namespace test_support
