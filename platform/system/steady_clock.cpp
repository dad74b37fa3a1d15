#include "platform/system/steady_clock.h"

#include <chrono>

namespace platform {
namespace {

using SteadyTime = std::chrono::steady_clock;

class SteadyClock final : public Clock {
public:
    SteadyClock() : origin_(SteadyTime::now()) {}

    bool query_performance_frequency(int64_t& ticks_per_second) override {
        ticks_per_second = 1'000'000'000;  // the counter counts nanoseconds
        return true;
    }

    int64_t query_performance_counter() override {
        // Counted from the clock's own origin, never zero once time has
        // passed, so callers that treat 0 as "unset" stay correct.
        return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyTime::now() - origin_).count() + 1;
    }

    uint32_t time_get_time() override {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyTime::now() - origin_).count();
        return static_cast<uint32_t>(static_cast<uint64_t>(ms));  // wraps at 2^32 like the original
    }

    // The steady clock already has sub-millisecond resolution, so any
    // resolution of at least 1 ms is granted.
    uint32_t time_begin_period(uint32_t milliseconds) override { return milliseconds >= 1 ? 0u : kNoResolution; }
    uint32_t time_end_period(uint32_t milliseconds) override { return milliseconds >= 1 ? 0u : kNoResolution; }

private:
    static constexpr uint32_t kNoResolution = 97;  // the "period not supported" answer
    SteadyTime::time_point origin_;
};

}  // namespace

Clock* make_steady_clock() {
    static SteadyClock clock;
    return &clock;
}

}  // namespace platform
