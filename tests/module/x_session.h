// What the module's end-to-end tests drive: a private Xvfb server, child
// processes with an environment of their own, the stand-in host window,
// and screenshots of a window read back as pixels.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace module_test {

// Xvfb (1024 x 768 x 24, no TCP) on a display number it picks itself
// (-displayfd). DISPLAY is set for this process and its children.
class XServer {
public:
    XServer() = default;
    ~XServer() { stop(); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool start(std::string& error);
    void stop();

private:
    pid_t pid_ = -1;
};

// A child process. Environment changes: a value sets the variable, an empty
// optional removes it. Killed (SIGKILL) if still running when destroyed.
class Process {
public:
    using Environment = std::map<std::string, std::optional<std::string>>;

    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // `pipes`: connect the child's standard input and output to us.
    bool start(const std::vector<std::string>& argv, const Environment& environment, bool pipes = false);
    void signal(int number) const;
    // The exit status, or nullopt while it still runs after `seconds`
    // (-1 when it died of a signal).
    std::optional<int> wait_exit(double seconds);
    bool running();

    // Through the pipes: one line without its line feed (empty after
    // `seconds`), and one line written.
    std::string read_line(double seconds);
    bool write_line(const std::string& line);

    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int to_child_ = -1;
    int from_child_ = -1;
    std::string buffered_;
    std::optional<int> status_;
};

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
    Process helper_;
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
