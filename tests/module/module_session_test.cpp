// The real aquarium as an XScreenSaver module on a private Xvfb server: in
// a window made by a stand-in host, on the root window, next to another
// module; it follows resizes, ignores input, ends on SIGTERM, SIGINT or the
// window's end with status 0, and never writes the settings.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "tests/module/x_session.h"

namespace module_test {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kWater = 0x000028;      // the scene's background
constexpr uint32_t kHostPaint = 0xFFFFFF;  // what the host's window shows before the module draws
constexpr double kStartSeconds = 30.0;     // software rendering on a loaded machine can be slow
constexpr double kExitSeconds = 10.0;

// The scene: the water covers most of the picture, and the tank's lines,
// the fish and the text bring many other colours.
bool shows_scene(const Picture& picture) {
    const long total = static_cast<long>(picture.pixels.size());
    return total > 0 && picture.count(kWater) * 2 > total && picture.count(kHostPaint) * 20 < total &&
           picture.other_colours(kWater) >= 20;
}

class ModuleSession : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server_.start(error)) << error;
        server_.export_environment();
        char pattern[] = "/tmp/aquarium-module-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        config_ = home_ / "config";
        fs::create_directories(config_);
        fs::create_directories(home_ / "runtime");
        chmod((home_ / "runtime").c_str(), 0700);
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(home_, ignored);
    }

    // A private home for the settings and the runtime files; XSCREENSAVER_WINDOW
    // as given (unset when empty).
    EnvChanges environment(const std::optional<std::string>& xscreensaver_window = std::nullopt) const {
        return EnvChanges{
            {"XDG_CONFIG_HOME", config_.string()},
            {"XDG_RUNTIME_DIR", (home_ / "runtime").string()},
            {"HOME", home_.string()},
            {"AQUARIUM_SEED", "3"},
            {"AQUARIUM_MESSAGE_BOXES", "stderr"},
            {"SDL_VIDEODRIVER", "x11"},
            {"WAYLAND_DISPLAY", std::nullopt},
            {"XSCREENSAVER_WINDOW", xscreensaver_window},
        };
    }

    static std::vector<std::string> aquarium(std::initializer_list<std::string> arguments) {
        std::vector<std::string> argv{AQUARIUM_PROGRAM};
        argv.insert(argv.end(), arguments);
        return argv;
    }

    bool open_host(HostWindow& host, int width = 320, int height = 240) {
        return host.open(TEST_HOST_PROGRAM, width, height, kHostPaint);
    }

    // The window's picture once it shows the scene at `width` x `height`
    // (any size when 0); nullopt when it does not in time or the module ends.
    static std::optional<Picture> wait_for_scene(ChildProcess& module, const std::string& window, int width = 0,
                                                 int height = 0) {
        const double deadline = now_seconds() + kStartSeconds;
        while (now_seconds() < deadline && module.running()) {
            std::optional<Picture> picture = screenshot(window);
            if (picture && (width == 0 || (picture->width == width && picture->height == height)) &&
                shows_scene(*picture)) {
                return picture;
            }
            sleep_seconds(0.25);
        }
        return std::nullopt;
    }

    // Nothing was written under the settings folder.
    void expect_no_settings_written() const {
        EXPECT_TRUE(fs::is_empty(config_)) << "the module wrote under " << config_;
    }

    XServer server_;
    fs::path home_;
    fs::path config_;
};

TEST_F(ModuleSession, RootDrawsInTheHostsWindowAndEndsOnSigterm) {
    HostWindow host;
    ASSERT_TRUE(open_host(host));
    ChildProcess module;
    ASSERT_TRUE(module.start(aquarium({"-root"}), environment(host.hex_id())));

    const std::optional<Picture> picture = wait_for_scene(module, host.hex_id(), 320, 240);
    ASSERT_TRUE(picture.has_value()) << "no scene in the host's window";

    module.signal(SIGTERM);
    EXPECT_EQ(exit_code(module, kExitSeconds), std::optional<int>(0));
    expect_no_settings_written();
    // The host's window is still the host's.
    EXPECT_TRUE(host.resize(100, 100));
}

TEST_F(ModuleSession, WindowIdFollowsResizesIgnoresInputAndEndsWithTheWindow) {
    HostWindow host;
    ASSERT_TRUE(open_host(host));
    ChildProcess module;
    ASSERT_TRUE(module.start(aquarium({"--window-id", std::to_string(host.id())}), environment()));
    const std::optional<Picture> small = wait_for_scene(module, host.hex_id(), 320, 240);
    ASSERT_TRUE(small.has_value());
    // The information text in the top left corner: glyphs of one colour.
    const uint32_t text_colour = small->most_frequent_other(kWater, 0, 0, 300, 80);
    const long text_pixels = small->count(text_colour, 0, 0, 300, 80);
    ASSERT_GT(text_pixels, 500);

    // A larger window: the scene fills it, the new corner too, drawn at the
    // new size. The text keeps its size and stays crisp in its own colour;
    // the old picture merely stretched over the window would blur it.
    ASSERT_TRUE(host.resize(480, 360));
    const double deadline = now_seconds() + kStartSeconds;
    std::optional<Picture> grown;
    while (now_seconds() < deadline) {
        grown = wait_for_scene(module, host.hex_id(), 480, 360);
        if (grown && grown->count(kHostPaint, 380, 260, 100, 100) == 0 &&
            grown->count(kWater, 380, 260, 100, 100) > 5000 &&
            grown->count(text_colour, 0, 0, 300, 80) * 10 > text_pixels * 6) {
            break;
        }
        grown.reset();
    }
    ASSERT_TRUE(grown.has_value()) << "the scene was not drawn anew at 480 x 360";

    // Input that would end the run mode at once: the seventh mouse move, a
    // click, keys, Alt+Enter. The host decides; the module goes on drawing.
    for (int i = 1; i <= 8; ++i) {
        ChildProcess move;
        ASSERT_TRUE(move.start({"xdotool", "mousemove", "--window", host.hex_id(), std::to_string(30 * i),
                                std::to_string(20 * i)},
                               {}));
        exit_code(move, kExitSeconds);
    }
    // The pointer is over the window now; the click and keys go where it is.
    ChildProcess press;
    ASSERT_TRUE(press.start({"xdotool", "click", "1", "key", "x", "Escape", "alt+Return"}, {}));
    exit_code(press, kExitSeconds);
    sleep_seconds(1.0);
    ASSERT_TRUE(module.running()) << "input in the host's window ended the module";
    const std::optional<Picture> later = screenshot(host.hex_id());
    ASSERT_TRUE(later.has_value());
    EXPECT_TRUE(shows_scene(*later));
    EXPECT_EQ(later->width, 480);
    EXPECT_NE(later->pixels, grown->pixels) << "the scene stood still";

    // The host takes its window away.
    ASSERT_TRUE(host.destroy());
    EXPECT_EQ(exit_code(module, kExitSeconds), std::optional<int>(0));
    expect_no_settings_written();
}

TEST_F(ModuleSession, ModulesRunSideBySideAndLeaveTheSettingsAlone) {
    // The user's settings exist; the modules read them and change nothing.
    fs::create_directories(config_ / "aquarium");
    const fs::path settings_file = config_ / "aquarium" / "settings.ini";
    const std::string settings_text = "; the user's own\n[Software\\marevista_20110817]\nd_show_info=0\ncamxz=725\n";
    std::ofstream(settings_file) << settings_text;

    HostWindow first, second;
    ASSERT_TRUE(open_host(first));
    ASSERT_TRUE(open_host(second, 200, 150));
    ChildProcess one, two;
    ASSERT_TRUE(one.start(aquarium({"-root"}), environment(first.hex_id())));
    ASSERT_TRUE(two.start(aquarium({"-window-id", second.hex_id()}), environment()));
    EXPECT_TRUE(wait_for_scene(one, first.hex_id(), 320, 240).has_value());
    EXPECT_TRUE(wait_for_scene(two, second.hex_id(), 200, 150).has_value());

    one.signal(SIGINT);
    two.signal(SIGTERM);
    EXPECT_EQ(exit_code(one, kExitSeconds), std::optional<int>(0));
    EXPECT_EQ(exit_code(two, kExitSeconds), std::optional<int>(0));

    std::ifstream file(settings_file, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()), settings_text);
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(config_ / "aquarium")) ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST_F(ModuleSession, RootWithoutAHostWindowDrawsOnTheRootWindow) {
    ChildProcess module;
    ASSERT_TRUE(module.start(aquarium({"-root"}), environment()));
    ASSERT_TRUE(wait_for_scene(module, "root", 1024, 768).has_value()) << "no scene on the root window";
    module.signal(SIGTERM);
    EXPECT_EQ(exit_code(module, kExitSeconds), std::optional<int>(0));
    expect_no_settings_written();
}

TEST_F(ModuleSession, TheScreenSaversSwitchesAndBrokenFlagsDrawNothing) {
    HostWindow host;
    ASSERT_TRUE(open_host(host));
    // -a is the screen saver's unsupported mode, which ends at once (after
    // the start-up steps every mode shares); a missing or malformed id is
    // no module request either, and ends the same way.
    for (const std::vector<std::string>& argv :
         {aquarium({"-window-id", host.hex_id(), "-a"}), aquarium({"-window-id"}), aquarium({"-window-id", "none"})}) {
        ChildProcess run;
        ASSERT_TRUE(run.start(argv, environment(host.hex_id())));
        EXPECT_EQ(exit_code(run, kExitSeconds), std::optional<int>(0)) << argv.back();
    }
    // A window that does not exist: reported, status 1.
    ChildProcess gone;
    ASSERT_TRUE(gone.start(aquarium({"-window-id", "0x7fffff0"}), environment()));
    EXPECT_EQ(exit_code(gone, kExitSeconds), std::optional<int>(1));

    const std::optional<Picture> picture = screenshot(host.hex_id());
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->count(kHostPaint), static_cast<long>(picture->pixels.size()));
}

}  // namespace
}  // namespace module_test
