#include "app/monitor_layout.h"

#include <algorithm>
#include <cstring>

namespace app {

namespace {

int64_t overlap(const platform::Rect& a, const platform::Rect& b) {
    const int64_t width = std::min(a.right, b.right) - std::max(a.left, b.left);
    const int64_t height = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return width > 0 && height > 0 ? width * height : 0;
}

bool holds(const platform::Rect& r, int64_t x, int64_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace

int32_t monitor_of(const platform::MonitorInfo* monitors, uint32_t count, const platform::Rect& window) {
    const int64_t centre_x = (static_cast<int64_t>(window.left) + window.right) / 2;
    const int64_t centre_y = (static_cast<int64_t>(window.top) + window.bottom) / 2;
    int32_t best = -1;
    int64_t best_overlap = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (holds(monitors[i].bounds, centre_x, centre_y)) return static_cast<int32_t>(i);
        const int64_t shared = overlap(monitors[i].bounds, window);
        if (shared > best_overlap) {
            best_overlap = shared;
            best = static_cast<int32_t>(i);
        }
    }
    return best;
}

int32_t monitor_named(const platform::MonitorInfo* monitors, uint32_t count, const char* name) {
    if (name == nullptr || name[0] == '\0') return -1;
    for (uint32_t i = 0; i < count; ++i) {
        if (std::strncmp(monitors[i].name, name, platform::kMonitorNameSize) == 0) return static_cast<int32_t>(i);
    }
    return -1;
}

bool same_monitor(const platform::MonitorInfo& a, const platform::MonitorInfo& b) {
    if (a.name[0] != '\0' || b.name[0] != '\0') return std::strncmp(a.name, b.name, platform::kMonitorNameSize) == 0;
    return std::memcmp(&a.bounds, &b.bounds, sizeof a.bounds) == 0;
}

uint32_t monitors_to_cover(uint32_t count, int32_t main_monitor) {
    uint32_t wanted = 0;
    for (uint32_t i = 0; i < count && i < platform::kMaxMonitors; ++i) {
        if (static_cast<int32_t>(i) != main_monitor) wanted |= 1u << i;
    }
    return wanted;
}

int32_t text_dpi(int32_t monitor_dpi) { return std::max(monitor_dpi, platform::kDefaultDpi); }

uint32_t cover_seed(uint32_t scene_seed, uint32_t monitor_index) {
    // The index is spread over all bits (a multiplicative hash) before it
    // meets the seed, so that neighbouring seeds and monitors never cancel.
    return scene_seed ^ ((monitor_index + 1u) * 0x85EBCA6Bu);
}

}  // namespace app
