// The rules of several monitors, on plain records: which monitor a window
// is on, which monitors get a cover, which cover follows which monitor when
// they change, the pixels per inch of the information text, and the seed
// of a cover's fish.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace app {

// The monitor that holds the centre of `window` (screen pixels), else the
// one it overlaps most; -1 when it touches none.
int32_t monitor_of(const platform::MonitorInfo* monitors, uint32_t count, const platform::Rect& window);

// The monitor named `name` (names of outputs stay when the monitors change);
// -1 for an empty name or when there is none.
int32_t monitor_named(const platform::MonitorInfo* monitors, uint32_t count, const char* name);

// Whether two records name the same monitor: the same output name, or,
// where the system gives no names, the same rectangle.
bool same_monitor(const platform::MonitorInfo& a, const platform::MonitorInfo& b);

// Bit i set: monitor i gets a cover, for every monitor but `main_monitor`
// (-1: none is the main window's, every one is covered).
uint32_t monitors_to_cover(uint32_t count, int32_t main_monitor);

// Pixels per inch of the information text: the monitor's, and never fewer
// than 96, so that its size in pixels is the one it has at 96 and grows on
// a denser screen.
int32_t text_dpi(int32_t monitor_dpi);

// The seed of the fish on monitor `monitor_index`: the main scene's seed
// mixed with the index, so that every monitor gets a fish of its own and
// the same seed gives the same fish on the same monitor.
uint32_t cover_seed(uint32_t scene_seed, uint32_t monitor_index);

}  // namespace app
