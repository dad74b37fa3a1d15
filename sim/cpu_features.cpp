#include "sim/cpu_features.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace sim {
namespace {

constexpr int kUndecided = -1;
std::atomic<int> g_path{kUndecided};

}  // namespace

SimPath widest_sim_path() {
    static const SimPath widest = [] {
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
            __builtin_cpu_supports("avx512vl")) {
            return SimPath::Avx512;
        }
        return __builtin_cpu_supports("avx2") ? SimPath::Avx2 : SimPath::Sse2;
    }();
    return widest;
}

bool parse_sim_path(const char* name, SimPath& path) {
    if (name == nullptr) return false;
    for (SimPath candidate : {SimPath::Sse2, SimPath::Avx2, SimPath::Avx512}) {
        if (std::strcmp(name, sim_path_name(candidate)) == 0) {
            path = candidate;
            return true;
        }
    }
    return false;
}

const char* sim_path_name(SimPath path) {
    switch (path) {
        case SimPath::Avx2: return "avx2";
        case SimPath::Avx512: return "avx512";
        default: return "sse2";
    }
}

SimPath choose_sim_path(SimPath widest, const char* requested) {
    SimPath path = widest;
    if (!parse_sim_path(requested, path) || static_cast<int>(path) > static_cast<int>(widest)) return widest;
    return path;
}

SimPath sim_path() {
    int path = g_path.load(std::memory_order_relaxed);
    if (path == kUndecided) {
        path = static_cast<int>(choose_sim_path(widest_sim_path(), std::getenv("AQUARIUM_SIM_PATH")));
        int expected = kUndecided;
        if (!g_path.compare_exchange_strong(expected, path)) path = expected;
    }
    return static_cast<SimPath>(path);
}

bool set_sim_path(SimPath path) {
    if (static_cast<int>(path) > static_cast<int>(widest_sim_path())) return false;
    g_path.store(static_cast<int>(path), std::memory_order_relaxed);
    return true;
}

}  // namespace sim
