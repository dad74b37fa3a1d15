// What the module's end-to-end tests drive besides the shared X server and
// child processes: the stand-in host window, and screenshots of a window
// read back as pixels.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/x_server.h"

namespace module_test {

using test_support::ChildProcess;
using test_support::EnvChanges;
using test_support::XServer;

// The exit code once the process has ended within `seconds`, or minus the
// number of the signal that ended it; nullopt while it still runs.
std::optional<int> exit_code(ChildProcess& process, double seconds);

// The stand-in for a screen-saver host: a plain window of its own, which it
// resizes or destroys when told.
class HostWindow {
public:
    // `program`: the helper's path; the window is `width` x `height` and
    // painted `background` (0xRRGGBB) by the X server.
    bool open(const std::string& program, int width, int height, uint32_t background);
    uint32_t id() const { return id_; }
    std::string hex_id() const;
    bool resize(int width, int height);
    bool destroy();

private:
    ChildProcess helper_;
    uint32_t id_ = 0;
};

// A screenshot: `width` x `height` pixels of 0xRRGGBB, rows from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    // Pixels of `colour` within the rectangle (x, y, w, h), clipped to the
    // picture; all of it by default.
    long count(uint32_t colour, int x = 0, int y = 0, int w = -1, int h = -1) const;
    // Distinct colours other than `colour`.
    size_t other_colours(uint32_t colour) const;
    // The most frequent colour other than `colour` within the rectangle.
    uint32_t most_frequent_other(uint32_t colour, int x, int y, int w, int h) const;
};

// The window's contents as the X server holds them (ImageMagick's import);
// nullopt when it cannot be read (the window is gone, for one).
std::optional<Picture> screenshot(const std::string& window);

// Seconds since an arbitrary start, monotonic.
double now_seconds();
void sleep_seconds(double seconds);

}  // namespace module_test
