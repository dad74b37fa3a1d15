#include "tests/support/x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>

#include "tests/support/child_process.h"

namespace test_support {
namespace {

using Clock = std::chrono::steady_clock;

bool g_environment_running = false;

// Whether a client can connect to `display` now.
bool accepts_connections(const std::string& display) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return ok;
}

}  // namespace

bool XServer::start(std::string& error, const std::string& log_path, const std::vector<std::string>& extra) {
    std::vector<std::string> argv{"Xvfb", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return launch(error, argv, log_path);
}

bool XServer::start_xorg(std::string& error, const std::string& config, const std::string& log_path) {
    // The server itself rather than Debian's wrapper, which lets only a
    // console user start it: with the dummy driver and no input devices it
    // needs no privileges.
    const char* const server = access("/usr/lib/xorg/Xorg", X_OK) == 0 ? "/usr/lib/xorg/Xorg" : "Xorg";
    const std::string folder = config.substr(0, config.rfind('/'));
    return launch(error,
                  {server, "-config", config, "-configdir", folder + "/conf.d", "-logfile", log_path, "-nolisten",
                   "tcp", "-noreset"},
                  log_path + ".output");
}

bool XServer::launch(std::string& error, std::vector<std::string> argv, const std::string& log_path) {
    stop();
    // The server chooses a free display number and writes it to this pipe
    // once it accepts connections.
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        error = "pipe failed";
        return false;
    }
    const std::string log_name = log_path.empty() ? "/dev/null" : log_path;
    const int log = open(log_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const std::string program = argv.front();
    argv.insert(argv.begin() + 1, {"-displayfd", std::to_string(ready[1])});
    const pid_t pid = spawn(argv, {}, {-1, log, log, ready[1]});
    close(ready[1]);
    if (log >= 0) close(log);
    if (pid < 0) {
        close(ready[0]);
        error = "fork failed";
        return false;
    }
    pid_ = pid;
    std::string number;
    const auto deadline = Clock::now() + 20s;
    pollfd readable{ready[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
        if (poll(&readable, 1, 100) > 0) {
            char buffer[16];
            const ssize_t got = read(ready[0], buffer, sizeof buffer);
            if (got <= 0) break;
            number.append(buffer, static_cast<size_t>(got));
        }
    }
    close(ready[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
    const std::string display = ":" + number;
    if (number.empty() || !wait_until([&] { return accepts_connections(display); }, 10s, 20ms)) {
        error = program + (number.empty() ? " reported no display (is it installed?)" : " takes no connections");
        if (!log_path.empty()) error += "; its log: " + read_file(log_path);
        stop();
        return false;
    }
    display_ = display;
    return true;
}

void XServer::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        if (!wait_until([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 5s, 20ms)) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
    pid_ = -1;
    display_.clear();
}

void XServer::export_environment() const {
    setenv("DISPLAY", display_.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("AQUARIUM_MESSAGE_BOXES", "stderr", 1);
}

void XvfbEnvironment::SetUp() {
    std::string error;
    g_environment_running = server_.start(error);
    if (g_environment_running) {
        server_.export_environment();
    } else {
        ADD_FAILURE() << "cannot start Xvfb: " << error;
    }
}

void XvfbEnvironment::TearDown() {
    if (before_stop_) before_stop_();
    server_.stop();
    g_environment_running = false;
}

bool XvfbEnvironment::running() { return g_environment_running; }

}  // namespace test_support
