// Starts a private X server (Xvfb, 1024x768x24, no TCP) on a free display
// number for tests that need a display, points $DISPLAY at it, and stops it
// again. XvfbEnvironment does this once around all tests of a program.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>

namespace aquarium_test {

class XvfbSession {
public:
    XvfbSession() = default;
    ~XvfbSession() { stop(); }
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    // Starts the server and sets DISPLAY; false (with a reason) when it cannot.
    bool start(std::string& error);
    void stop();
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    void* keeper_ = nullptr;  // xcb connection that keeps the server up
    std::string display_;
};

// Starts Xvfb before the first test and stops it after the last; a test
// program that needs a display registers it with AddGlobalTestEnvironment.
class XvfbEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
    static bool running();

private:
    XvfbSession session_;
};

// Runs a shell command with the test's DISPLAY; its exit status.
int run_command(const std::string& command);

}  // namespace aquarium_test
