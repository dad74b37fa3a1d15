// Command lines that end the program at once, silently, and the rule of
// one running copy.
#include <string>
#include <thread>
#include <vector>

#include "e2e_session.h"

namespace e2e {
namespace {

// Ends at once with code 0, writes nothing to its output, shows nothing.
void expect_silent_end(Process& process, XConnection& x, const std::string& what) {
    bool showed = false;
    const bool ended = wait_until(
        [&] {
            showed = showed || !x.windows_of(process.pid()).empty();
            return !process.running();
        },
        5s, 10ms);
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

INSTANTIATE_TEST_SUITE_P(
    Lines, SilentEndTest,
    ::testing::Values(Line{"DashA", {"-a"}}, Line{"SlashUpperA", {"/A", "1234"}}, Line{"SlashX", {"/x"}},
                      Line{"Words", {"hello", "world"}}, Line{"LongOptions", {"--version", "--help"}},
                      Line{"Blanks", {" ", "\t"}}),
    [](const ::testing::TestParamInfo<Line>& info) { return std::string(info.param.name); });

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
