// A private X server for tests that need a display: Xvfb (1024 x 768 x 24,
// no TCP, no reset when its last client leaves) on a display number it picks
// itself, or Xorg with the configuration a test gives (its dummy driver has
// sixteen RandR outputs, so monitors can be switched on beside each other).
// XvfbEnvironment runs one Xvfb around all tests of a program.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace test_support {

class XServer {
public:
    XServer() = default;
    ~XServer() { stop(); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Starts the server and waits until it accepts connections; false (with
    // a reason) when it does not. The server's output goes to `log_path`,
    // or nowhere when that is empty; `extra` are more server options.
    bool start(std::string& error, const std::string& log_path = {}, const std::vector<std::string>& extra = {});
    // The same with Xorg and the configuration file `config` (its folder
    // must hold an empty folder conf.d, so that the system's snippets stay
    // out); Xorg writes its own log to `log_path`.
    bool start_xorg(std::string& error, const std::string& config, const std::string& log_path);
    // SIGTERM, and SIGKILL when it has not ended within five seconds.
    void stop();
    bool running() const { return pid_ > 0; }
    const std::string& display() const { return display_; }

    // Points this process and the children it starts at the server: DISPLAY,
    // SDL on X11 rather than Wayland, and error texts on standard error
    // (nobody is there to press OK).
    void export_environment() const;

private:
    // Starts `argv` with "-displayfd N" added and waits for the display.
    bool launch(std::string& error, std::vector<std::string> argv, const std::string& output_path);

    pid_t pid_ = -1;
    std::string display_;
};

// Starts the server before the first test and stops it after the last; a
// test program that needs a display registers it with
// AddGlobalTestEnvironment. `before_stop` lets the program's own clients go
// first: a client whose server vanishes under it may end the program.
class XvfbEnvironment : public ::testing::Environment {
public:
    explicit XvfbEnvironment(std::function<void()> before_stop = {}) : before_stop_(std::move(before_stop)) {}
    void SetUp() override;
    void TearDown() override;
    static bool running();

private:
    std::function<void()> before_stop_;
    XServer server_;
};

}  // namespace test_support
