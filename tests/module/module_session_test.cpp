// The real aquarium as an XScreenSaver module on a private Xvfb server: in
// a window made by a stand-in host, on the root window, next to another
// module; it follows resizes, ignores input and the host's own options,
// ends by SIGTERM or SIGINT (cleaning up first, then dying by the signal as
// the other modules do) or quietly, as by SIGTERM, when its window goes away
// at any moment, and never writes the settings.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "tests/module/x_session.h"

namespace module_test {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kWater = 0x000028;      // the scene's background
constexpr uint32_t kHostPaint = 0xFFFFFF;  // what the host's window shows before the module draws
constexpr double kStartSeconds = 30.0;     // software rendering on a loaded machine can be slow
constexpr double kExitSeconds = 10.0;
const std::optional<int> kEndedBySigterm = -SIGTERM;  // exit_code's answer

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
    EXPECT_EQ(exit_code(module, kExitSeconds), kEndedBySigterm);
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

    // The host takes its window away: the end the host wanted.
    ASSERT_TRUE(host.destroy());
    EXPECT_EQ(exit_code(module, kExitSeconds), kEndedBySigterm);
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
    EXPECT_EQ(exit_code(one, kExitSeconds), std::optional<int>(-SIGINT));
    EXPECT_EQ(exit_code(two, kExitSeconds), kEndedBySigterm);

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
    EXPECT_EQ(exit_code(module, kExitSeconds), kEndedBySigterm);
    expect_no_settings_written();
}

TEST_F(ModuleSession, BrokenFlagsDrawNothing) {
    HostWindow host;
    ASSERT_TRUE(open_host(host));
    // A missing or malformed id or delay: said on standard error, and the
    // program ends at once.
    for (const std::vector<std::string>& argv :
         {aquarium({"-window-id"}), aquarium({"-window-id", "none"}), aquarium({"-root", "-delay", "soon"})}) {
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

TEST_F(ModuleSession, TheHostsOwnOptionsNeitherRunFullScreenNorOpenTheDialog) {
    // Each holds one of the screen saver's switches (-s, -p, -c); with
    // -root they are options like any other and the module draws in the
    // host's window, and nowhere else.
    HostWindow host;
    ASSERT_TRUE(open_host(host));
    for (const std::vector<std::string>& argv :
         {aquarium({"-root", "-sync"}), aquarium({"-root", "-pair"}), aquarium({"-count", "3", "--root"}),
          aquarium({"-root", "-visual", "default", "-fps", "-delay", "20000"})}) {
        ChildProcess module;
        ASSERT_TRUE(module.start(argv, environment(host.hex_id())));
        EXPECT_TRUE(wait_for_scene(module, host.hex_id(), 320, 240).has_value()) << argv[1];
        const std::optional<Picture> screen = screenshot("root");
        ASSERT_TRUE(screen.has_value());
        // The root window around the host's is still the empty desktop.
        EXPECT_EQ(screen->count(kWater, 400, 300, 600, 400), 0) << argv[1] << " drew outside the host's window";
        module.signal(SIGTERM);
        EXPECT_EQ(exit_code(module, kExitSeconds), kEndedBySigterm) << argv[1];
    }
}

TEST_F(ModuleSession, DelayKeepsFramesApart) {
    // -delay 1000000: a second at least from one frame to the next, so the
    // picture changes at most once a second however often it is looked at
    // (a tenth less for the swaps' own jitter).
    constexpr double kLeastSeconds = 0.9;
    HostWindow host;
    ASSERT_TRUE(open_host(host));
    ChildProcess module;
    ASSERT_TRUE(module.start(aquarium({"-root", "-delay", "1000000"}), environment(host.hex_id())));
    ASSERT_TRUE(wait_for_scene(module, host.hex_id(), 320, 240).has_value());
    const double start = now_seconds();
    std::optional<Picture> last = screenshot(host.hex_id());
    ASSERT_TRUE(last.has_value());
    int changes = 0;
    while (now_seconds() < start + 4.0) {
        std::optional<Picture> picture = screenshot(host.hex_id());
        ASSERT_TRUE(picture.has_value());
        changes += picture->pixels != last->pixels;
        last = std::move(picture);
    }
    const double seconds = now_seconds() - start;
    EXPECT_LE(changes, static_cast<int>(seconds / kLeastSeconds) + 1) << "in " << seconds << " s";
    module.signal(SIGTERM);
    EXPECT_EQ(exit_code(module, kExitSeconds), kEndedBySigterm);
}

TEST_F(ModuleSession, AWindowTakenAwayAtAnyMomentIsAQuietEnd) {
    // XScreenSaver may take the window away while the module still starts:
    // no error text, and the status of a SIGTERM, however early.
    for (const double delay : {0.0, 0.02, 0.1, 0.25, 0.5, 0.8, 1.5, 3.0}) {
        HostWindow host;
        ASSERT_TRUE(open_host(host));
        ChildProcess module;
        const std::string stem = (home_ / ("vanish-" + std::to_string(static_cast<int>(delay * 1000)))).string();
        ASSERT_TRUE(module.start(aquarium({"-root"}), environment(host.hex_id()), stem));
        sleep_seconds(delay);
        ASSERT_TRUE(host.destroy());
        EXPECT_EQ(exit_code(module, kExitSeconds), kEndedBySigterm) << "after " << delay << " s";
        EXPECT_EQ(module.errors(), "") << "after " << delay << " s";
    }
}

// The clients the X server saw connect from `pid` in its audit log (level
// 2), and how many of them have left.
struct Connections {
    int opened = 0;
    int closed = 0;
};

Connections count_connections(const std::string& log, pid_t pid) {
    Connections counted;
    std::set<std::string> clients;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find(" client ");
        if (at == std::string::npos) continue;
        const std::string client = line.substr(at + 8, line.find(' ', at + 8) - at - 8);
        if (line.find("pid=" + std::to_string(pid) + " )") != std::string::npos) {
            clients.insert(client);
            ++counted.opened;
        } else if (line.find("disconnected") != std::string::npos && clients.count(client) != 0) {
            ++counted.closed;
        }
    }
    return counted;
}

TEST(ModuleConnections, RootOnTheRootWindowOpensNoConnectionOfItsOwn) {
    // Finding the root window takes no connection of its own: a module on
    // the root window keeps the connections a module in a window has.
    Connections seen[2];
    for (int root = 0; root < 2; ++root) {
        char pattern[] = "/tmp/aquarium-audit-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        const fs::path folder = pattern;
        XServer server;
        std::string error;
        ASSERT_TRUE(server.start(error, (folder / "x.log").string(), {"-audit", "2"})) << error;
        server.export_environment();
        HostWindow host;  // only for the module in a window: it would cover part of the root window
        if (root == 0) {
            ASSERT_TRUE(host.open(TEST_HOST_PROGRAM, 320, 240, kHostPaint));
        }
        ChildProcess module;
        const EnvChanges env{{"AQUARIUM_SEED", "3"},         {"HOME", folder.string()},
                             {"XDG_CONFIG_HOME", folder.string()}, {"SDL_VIDEODRIVER", "x11"},
                             {"XSCREENSAVER_WINDOW", std::nullopt}};
        ASSERT_TRUE(module.start(root != 0 ? std::vector<std::string>{AQUARIUM_PROGRAM, "-root"}
                                           : std::vector<std::string>{AQUARIUM_PROGRAM, "-window-id", host.hex_id()},
                                 env));
        const std::string window = root != 0 ? "root" : host.hex_id();
        std::optional<Picture> picture;
        for (const double deadline = now_seconds() + kStartSeconds; now_seconds() < deadline && module.running();) {
            picture = screenshot(window);
            if (picture && shows_scene(*picture)) break;
            picture.reset();
            sleep_seconds(0.25);
        }
        ASSERT_TRUE(picture.has_value()) << window;
        sleep_seconds(1.0);
        // While it draws.
        seen[root] = count_connections(test_support::read_file((folder / "x.log").string()), module.pid());
        module.signal(SIGTERM);
        EXPECT_EQ(exit_code(module, kExitSeconds), kEndedBySigterm);
        server.stop();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    EXPECT_GT(seen[0].opened, 0) << "the audit log names no connection of the module";
    EXPECT_EQ(seen[1].opened, seen[0].opened);
    EXPECT_EQ(seen[1].closed, 0);
}

}  // namespace
}  // namespace module_test
