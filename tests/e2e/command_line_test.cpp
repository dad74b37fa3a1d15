// Command lines that end the program at once, silently, and the rule of
// one running copy.
#include <string>
#include <thread>
#include <vector>

#include "e2e_session.h"

namespace e2e {
namespace {

// Waits up to 5 s for the process to end, and tells whether it ended and
// whether it showed a window meanwhile.
struct Ending {
    bool ended;   // ended within the wait
    bool showed;  // a window of its own was seen before it ended
};
Ending watch_ending(Process& process, XConnection& x) {
    bool showed = false;
    const bool ended = wait_until(
        [&] {
            showed = showed || !x.windows_of(process.pid()).empty();
            return !process.running();
        },
        5s, 10ms);
    return {ended, showed};
}

// Ends at once with code 0, writes nothing to its output, shows nothing.
void expect_silent_end(Process& process, XConnection& x, const std::string& what) {
    const auto [ended, showed] = watch_ending(process, x);
    ASSERT_TRUE(ended) << what << " did not end at once";
    EXPECT_TRUE(process.status()->clean()) << what << ": " << process.status()->describe();
    EXPECT_FALSE(showed) << what << " showed a window";
    EXPECT_EQ(process.output(), "") << what;
    EXPECT_EQ(process.errors(), "") << what;
}

struct Line {
    const char* name;
    std::vector<std::string> args;
};

class SilentEndTest : public AquariumTest, public ::testing::WithParamInterface<Line> {};

TEST_P(SilentEndTest, EndsAtOnceWithCodeZero) {
    Process aquarium = launch(GetParam().args);
    expect_silent_end(aquarium, x_, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Lines, SilentEndTest,
                         ::testing::Values(Line{"DashA", {"-a"}}, Line{"SlashUpperA", {"/A", "1234"}},
                                           Line{"SlashX", {"/x"}}, Line{"Words", {"hello", "world"}},
                                           Line{"LongOptions", {"--verbose", "--helpful"}},
                                           Line{"Blanks", {" ", "\t"}}),
                         [](const ::testing::TestParamInfo<Line>& info) { return std::string(info.param.name); });

// A preview whose number names no window (0, one already gone, one beyond
// what a window id can be) draws nowhere: it ends at once with status 1,
// silently.
TEST_F(AquariumTest, PreviewOfNoWindowEndsAtOnceWithStatusOne) {
    const uint32_t gone = x_.create_host_window(10, 10, 200, 150);
    ASSERT_NE(gone, 0u);
    x_.destroy_window(gone);
    const std::vector<std::vector<std::string>> lines = {{"/p", "0"}, {"/p", std::to_string(gone)}, {"-p:4294967296"}};
    for (const std::vector<std::string>& args : lines) {
        Process aquarium = launch(args);
        const auto [ended, showed] = watch_ending(aquarium, x_);
        ASSERT_TRUE(ended) << args.back() << " did not end at once";
        EXPECT_TRUE(aquarium.status()->exited && aquarium.status()->code == 1) << aquarium.status()->describe();
        EXPECT_FALSE(showed) << args.back();
        EXPECT_EQ(aquarium.output() + aquarium.errors(), "") << args.back();
    }
}

// --help and --version answer on standard output and end with status 0,
// before any of the switches is looked at.
TEST_F(AquariumTest, HelpAndVersionAnswerAndEnd) {
    const std::vector<Line> lines = {Line{"help", {"--help"}},
                                     Line{"help", {"-h"}},
                                     Line{"help", {"-s", "--help"}},
                                     Line{"version", {"--version"}},
                                     Line{"version", {"-c", "-version"}},
                                     Line{"version", {"--version", "--help"}}};
    for (const Line& line : lines) {
        Process aquarium = launch(line.args);
        const auto [ended, showed] = watch_ending(aquarium, x_);
        ASSERT_TRUE(ended) << line.args.back();
        EXPECT_TRUE(aquarium.status()->clean()) << aquarium.status()->describe();
        EXPECT_FALSE(showed) << line.args.back();
        EXPECT_EQ(aquarium.errors(), "");
        if (std::string(line.name) == "help") {
            EXPECT_EQ(aquarium.output().rfind("Usage: aquarium ", 0), 0u) << aquarium.output();
            EXPECT_NE(aquarium.output().find("-window-id"), std::string::npos);
        } else {
            EXPECT_EQ(aquarium.output(), "aquarium " AQUARIUM_EXPECTED_VERSION "\n");
        }
    }
}

// An answer that cannot be written is a failure (no X server needed).
TEST(HelpAndVersion, AnAnswerIntoAFullDeviceEndsWithStatusOne) {
    for (const char* option : {"--help", "--version"}) {
        const ToolResult result =
            run_tool({"/bin/sh", "-c", std::string("'") + AQUARIUM_BINARY + "' " + option + " >/dev/full 2>/dev/null"});
        EXPECT_TRUE(result.status.exited && result.status.code == 1) << option << ": " << result.status.describe();
    }
}

// While a screen saver shows its window, every further start, whatever its
// mode, ends at once and leaves the first one alone.
TEST_F(AquariumTest, SecondInstanceEndsAtOnceWhileTheFirstShowsItsWindow) {
    Process first = launch({"-s"});
    const std::optional<uint32_t> window = wait_for_full_screen_picture(first);
    ASSERT_TRUE(window.has_value()) << "the first copy shows nothing; errors: " << first.errors();

    const uint32_t host = x_.create_host_window(10, 10, 200, 150);
    const std::vector<Line> seconds = {Line{"run", {"-s"}}, Line{"configure", {"/c"}}, Line{"configure", {}},
                                       Line{"preview", {"/p", std::to_string(host)}}};
    for (const Line& second : seconds) {
        Process again = launch(second.args);
        expect_silent_end(again, x_, std::string("a second copy in ") + second.name + " mode");
        EXPECT_TRUE(x_.children(host).empty()) << "a second copy previewed";
    }
    ASSERT_TRUE(first.running());
    EXPECT_TRUE(x_.viewable(*window));

    xdotool({"click", "1"});
    const std::optional<ExitStatus> status = first.wait_for_exit(10s);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->clean()) << status->describe();

    // With the first copy gone, the next start shows its window again.
    Process next = launch({"-s"});
    ASSERT_TRUE(wait_for_window(next).has_value()) << "no window after the first copy ended";
    xdotool({"key", "Escape"});
    ASSERT_TRUE(next.wait_for_exit(10s).has_value());
}

}  // namespace
}  // namespace e2e
