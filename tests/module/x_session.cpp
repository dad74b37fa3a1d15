#include "tests/module/x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <algorithm>
#include <cctype>
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

// ---- the X server ----

bool XServer::start(std::string& error) {
    int ready[2];
    if (pipe(ready) != 0) {
        error = "pipe failed";
        return false;
    }
    pid_ = fork();
    if (pid_ < 0) {
        error = "fork failed";
        return false;
    }
    if (pid_ == 0) {
        close(ready[0]);
        const int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, STDIN_FILENO);
            dup2(devnull, STDOUT_FILENO);
            dup2(devnull, STDERR_FILENO);
        }
        const std::string fd = std::to_string(ready[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    // Xvfb writes its display number once it takes connections.
    std::string number;
    const double deadline = now_seconds() + 20.0;
    pollfd waiting{ready[0], POLLIN, 0};
    while (now_seconds() < deadline && number.find('\n') == std::string::npos) {
        if (poll(&waiting, 1, 100) > 0) {
            char buffer[16];
            const ssize_t got = read(ready[0], buffer, sizeof buffer);
            if (got <= 0) break;
            number.append(buffer, static_cast<size_t>(got));
        }
    }
    close(ready[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
    if (number.empty()) {
        error = "Xvfb did not start (is it installed?)";
        stop();
        return false;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}

void XServer::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    const double deadline = now_seconds() + 5.0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (now_seconds() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        sleep_seconds(0.02);
    }
    pid_ = -1;
}

// ---- processes ----

Process::~Process() {
    if (to_child_ >= 0) close(to_child_);
    if (from_child_ >= 0) close(from_child_);
    if (pid_ > 0 && !status_) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

bool Process::start(const std::vector<std::string>& argv, const Environment& environment, bool pipes) {
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (pipes && (pipe(in) != 0 || pipe(out) != 0)) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
        if (pipes) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[0]);
            close(in[1]);
            close(out[0]);
            close(out[1]);
        } else {
            const int devnull = open("/dev/null", O_RDONLY);
            if (devnull >= 0) dup2(devnull, STDIN_FILENO);
        }
        for (const auto& [name, value] : environment) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (pipes) {
        close(in[0]);
        close(out[1]);
        to_child_ = in[1];
        from_child_ = out[0];
    }
    return true;
}

void Process::signal(int number) const {
    if (pid_ > 0) kill(pid_, number);
}

std::optional<int> Process::wait_exit(double seconds) {
    if (status_ || pid_ <= 0) return status_;
    const double deadline = now_seconds() + seconds;
    for (;;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return status_;
        }
        if (now_seconds() >= deadline) return std::nullopt;
        sleep_seconds(0.02);
    }
}

bool Process::running() { return !wait_exit(0.0).has_value(); }

std::string Process::read_line(double seconds) {
    const double deadline = now_seconds() + seconds;
    while (buffered_.find('\n') == std::string::npos && from_child_ >= 0) {
        const double left = deadline - now_seconds();
        if (left <= 0) return std::string();
        pollfd waiting{from_child_, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
        char buffer[256];
        const ssize_t got = read(from_child_, buffer, sizeof buffer);
        if (got <= 0) return std::string();
        buffered_.append(buffer, static_cast<size_t>(got));
    }
    const size_t end = buffered_.find('\n');
    if (end == std::string::npos) return std::string();
    std::string line = buffered_.substr(0, end);
    buffered_.erase(0, end + 1);
    return line;
}

bool Process::write_line(const std::string& line) {
    if (to_child_ < 0) return false;
    const std::string text = line + "\n";
    return write(to_child_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

// ---- the host window ----

bool HostWindow::open(const std::string& program, int width, int height, uint32_t background) {
    char colour[16];
    std::snprintf(colour, sizeof colour, "%06x", background);
    if (!helper_.start({program, std::to_string(width), std::to_string(height), colour}, {}, true)) return false;
    const std::string line = helper_.read_line(10.0);
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
           helper_.read_line(10.0) == "ok";
}

bool HostWindow::destroy() { return helper_.write_line("destroy") && helper_.read_line(10.0) == "ok"; }

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
    Process import;
    if (!import.start({"import", "-silent", "-window", window, "-depth", "8", "ppm:" + path}, {})) return std::nullopt;
    const std::optional<int> status = import.wait_exit(30.0);
    std::ifstream file(path, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    if (!status || *status != 0 || data.size() < 2 || data.compare(0, 2, "P6") != 0) return std::nullopt;

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
