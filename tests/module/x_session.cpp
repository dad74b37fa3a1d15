#include "tests/module/x_session.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

namespace module_test {

double now_seconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void sleep_seconds(double seconds) {
    if (seconds <= 0) return;
    const auto whole = static_cast<time_t>(seconds);
    timespec t{whole, static_cast<long>((seconds - static_cast<double>(whole)) * 1e9)};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

std::optional<int> exit_code(ChildProcess& process, double seconds) {
    const std::optional<test_support::ExitStatus> status =
        process.wait_for_exit(std::chrono::milliseconds(static_cast<long>(seconds * 1000)));
    if (!status) return std::nullopt;
    return status->exited ? status->code : -status->signal;
}

// ---- the host window ----

bool HostWindow::open(const std::string& program, int width, int height, uint32_t background) {
    char colour[16];
    std::snprintf(colour, sizeof colour, "%06x", background);
    if (!helper_.start_piped({program, std::to_string(width), std::to_string(height), colour}, {})) return false;
    const std::string line = helper_.read_line(std::chrono::seconds(10));
    id_ = static_cast<uint32_t>(std::strtoul(line.c_str(), nullptr, 16));
    return id_ != 0;
}

std::string HostWindow::hex_id() const {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", id_);
    return text;
}

bool HostWindow::resize(int width, int height) {
    return helper_.write_line("resize " + std::to_string(width) + " " + std::to_string(height)) &&
           helper_.read_line(std::chrono::seconds(10)) == "ok";
}

bool HostWindow::destroy() { return helper_.write_line("destroy") && helper_.read_line(std::chrono::seconds(10)) == "ok"; }

// ---- pictures ----

long Picture::count(uint32_t colour, int x, int y, int w, int h) const {
    if (w < 0) w = width;
    if (h < 0) h = height;
    long n = 0;
    for (int row = std::max(0, y); row < std::min(height, y + h); ++row) {
        for (int col = std::max(0, x); col < std::min(width, x + w); ++col) {
            n += pixels[static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(col)] == colour;
        }
    }
    return n;
}

size_t Picture::other_colours(uint32_t colour) const {
    std::set<uint32_t> seen(pixels.begin(), pixels.end());
    return seen.size() - seen.count(colour);
}

uint32_t Picture::most_frequent_other(uint32_t colour, int x, int y, int w, int h) const {
    std::map<uint32_t, long> counts;
    for (int row = std::max(0, y); row < std::min(height, y + h); ++row) {
        for (int col = std::max(0, x); col < std::min(width, x + w); ++col) {
            ++counts[pixels[static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(col)]];
        }
    }
    counts.erase(colour);
    uint32_t best = colour;
    long best_count = 0;
    for (const auto& [c, n] : counts) {
        if (n > best_count) {
            best = c;
            best_count = n;
        }
    }
    return best;
}

namespace {

// The next number of a PPM header, skipping blanks and comments.
bool header_number(const std::string& data, size_t& at, int& value) {
    for (;;) {
        while (at < data.size() && std::isspace(static_cast<unsigned char>(data[at]))) ++at;
        if (at < data.size() && data[at] == '#') {
            while (at < data.size() && data[at] != '\n') ++at;
            continue;
        }
        break;
    }
    const size_t start = at;
    value = 0;
    while (at < data.size() && data[at] >= '0' && data[at] <= '9') value = value * 10 + (data[at++] - '0');
    return at > start;
}

}  // namespace

std::optional<Picture> screenshot(const std::string& window) {
    static int taken = 0;
    const char* folder = std::getenv("TMPDIR");
    const std::string path = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") +
                             "/aquarium-module-shot-" + std::to_string(getpid()) + "-" + std::to_string(++taken) +
                             ".ppm";
    const test_support::ToolResult import =
        test_support::run_tool({"import", "-silent", "-window", window, "-depth", "8", "ppm:" + path}, std::chrono::seconds(30));
    std::ifstream file(path, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    if (!import.status.clean() || data.size() < 2 || data.compare(0, 2, "P6") != 0) return std::nullopt;

    size_t at = 2;
    Picture picture;
    int maximum = 0;
    if (!header_number(data, at, picture.width) || !header_number(data, at, picture.height) ||
        !header_number(data, at, maximum) || maximum != 255) {
        return std::nullopt;
    }
    ++at;  // the one blank after the header
    const size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    if (data.size() < at + 3 * count) return std::nullopt;
    picture.pixels.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(data.data() + at + 3 * i);
        picture.pixels[i] = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | uint32_t{p[2]};
    }
    return picture;
}

}  // namespace module_test
