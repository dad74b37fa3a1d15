// End-to-end harness: the real `aquarium` binary on a private Xvfb server.
//
// Every test gets its own X server, its own settings folder
// (XDG_CONFIG_HOME) and its own folder for the instance lock
// (XDG_RUNTIME_DIR). Input comes from xdotool, screenshots from ImageMagick's
// `import`; windows are looked up over a connection of the harness's own.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/x_server.h"

struct xcb_connection_t;

namespace e2e {

using namespace std::chrono_literals;
using test_support::Milliseconds;

// The program's title: window captions and the first line of the picture's text.
inline constexpr const char* kTitle = "Aquarium - a soft-bodied fish in a wire-frame tank";
inline constexpr int kScreenWidth = 1024;
inline constexpr int kScreenHeight = 768;

using test_support::EnvChanges;
using test_support::ExitStatus;
using test_support::read_file;
using test_support::run_tool;
using test_support::ToolResult;
using test_support::wait_until;
using test_support::XServer;
// A program started by a test: standard input /dev/null, standard output
// and error into files of the test's folder.
using Process = test_support::ChildProcess;

void write_file(const std::string& path, const std::string& content);

struct WindowGeometry {
    int x = 0, y = 0, width = 0, height = 0;  // x and y relative to the root
    bool operator==(const WindowGeometry&) const = default;
};
std::ostream& operator<<(std::ostream& out, const WindowGeometry& g);

// The harness's own connection to the server: window queries and the
// preview's host windows.
class XConnection {
public:
    ~XConnection() { close(); }
    bool open(const std::string& display);
    void close();

    // Top-level windows whose _NET_WM_PID is `pid`, bottom to top.
    std::vector<uint32_t> windows_of(pid_t pid);
    // Children of the root window, bottom to top.
    std::vector<uint32_t> top_level_windows();
    std::vector<uint32_t> children(uint32_t window);
    bool viewable(uint32_t window);
    std::optional<WindowGeometry> geometry(uint32_t window);
    std::string title(uint32_t window);
    // The viewable top-level window of `pid` with the program's title.
    std::optional<uint32_t> titled_window_of(pid_t pid);

    // Pictures put into `window` during `span`: the damage reports that
    // cover it whole (a presented frame replaces the whole picture).
    int count_whole_pictures(uint32_t window, Milliseconds span);

    uint32_t create_host_window(int x, int y, int width, int height);
    void destroy_window(uint32_t window);

private:
    uint32_t atom(const char* name);
    std::string string_property(uint32_t window, uint32_t property, uint32_t type);

    xcb_connection_t* connection_ = nullptr;
    uint32_t root_ = 0;
};

// Image facts from ImageMagick.
struct ImageFacts {
    size_t colours = 0;     // distinct colours
    std::string signature;  // hash of the pixels alone
};

// The fixture: X server, connection, private folders, and the program.
class AquariumTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Starts the test's X server (Xvfb); false with a reason when it cannot.
    virtual bool start_server(std::string& error);

    // Starts aquarium with these arguments; a failure to start fails the test.
    Process launch(const std::vector<std::string>& args, const EnvChanges& extra = {});
    // The environment every start of the program gets.
    EnvChanges program_environment(bool with_display) const;

    // Waits for the program's titled, viewable window.
    std::optional<uint32_t> wait_for_window(Process& process, Milliseconds limit = 20s);
    // Waits for run mode's window to cover the screen (or `place`) and show a picture.
    std::optional<uint32_t> wait_for_full_screen_picture(Process& process, Milliseconds limit = 25s);
    std::optional<uint32_t> wait_for_picture_at(Process& process, const WindowGeometry& place,
                                                Milliseconds limit = 25s);

    // xdotool with these arguments; expects it to succeed.
    void xdotool(const std::vector<std::string>& args);
    // Writes a screenshot of a window (or "root") into the test's folder.
    std::string screenshot(const std::string& window, const std::string& name);
    ImageFacts image_facts(const std::string& png, const std::string& crop = {});

    std::string settings_path() const;
    bool settings_exist() const;
    // The values of the program's section in the settings file.
    std::map<std::string, std::string> settings_values() const;
    void write_settings(const std::string& content);

    std::string dir_;  // the test's own folder: settings, runtime, logs, pictures
    XServer server_;
    XConnection x_;
    int launches_ = 0;
};

// The settings section's name.
inline constexpr const char* kSettingsSection = "Software\\marevista_20110817";
// The general values saved on the close of a run and on OK in the dialog.
inline const std::vector<std::string> kGeneralSettings = {
    "r_floor", "d_show_info", "d_exit_omm", "camxz", "camyy", "camrr", "camlr", "camhh", "d_other_monitors"};
inline const std::vector<std::string> kDeviceSettings = {"r_adapter", "r_device", "r_mode", "r_multi_sample"};

}  // namespace e2e
