#include "app/command_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using app::CommandLineResult;
using app::ScreenSaverMode;
using app::parse_command_line;

constexpr platform::NativeWindow kForeground = 777;

CommandLineResult parse(const char* line, bool expect_found = true) {
    CommandLineResult r{ScreenSaverMode::run, 12345};
    EXPECT_EQ(parse_command_line(line, kForeground, r), expect_found) << line;
    return r;
}

TEST(CommandLine, ModesAndPrecedence) {
    // The switches are searched in the order configure, preview, run,
    // unsupported, wherever they stand in the line.
    const struct {
        const char* line;
        ScreenSaverMode mode;
    } cases[] = {
        {"", ScreenSaverMode::configure},      {"/s", ScreenSaverMode::run},
        {"/S", ScreenSaverMode::run},          {"-a", ScreenSaverMode::unsupported},
        {"-s /c", ScreenSaverMode::configure}, {"/P -C", ScreenSaverMode::configure},
        {"-s -p 5", ScreenSaverMode::preview}, {"-p 5 -a", ScreenSaverMode::preview},
        {"-s -a", ScreenSaverMode::run},       {"-a -S", ScreenSaverMode::run},
        {"xx-syy", ScreenSaverMode::run},  // a switch may stand inside a longer word
    };
    for (const auto& c : cases) EXPECT_EQ(parse(c.line).mode, c.mode) << c.line;
}

TEST(CommandLine, NoSwitchLeavesModeAndReportsFalse) {
    CommandLineResult r = parse("/x", false);
    EXPECT_EQ(r.mode, ScreenSaverMode::run);
    EXPECT_EQ(r.host_window, 0u);
    parse("hello world", false);
    parse("-x /y", false);
}

TEST(CommandLine, HostWindowReadLikeAtol) {
    EXPECT_EQ(parse("/p 4242").host_window, 4242u);
    EXPECT_EQ(parse("/p\t  99abc").host_window, 99u);
    EXPECT_EQ(parse("-p+17").host_window, 17u);
    // Nothing numeric after the switch: the foreground window.
    EXPECT_EQ(parse("/p").host_window, kForeground);
    EXPECT_EQ(parse("/c:1234").host_window, kForeground);
    EXPECT_EQ(parse("/p 0").host_window, kForeground);
    EXPECT_EQ(parse("/s").host_window, kForeground);
}

TEST(CommandLine, UnusableWindowIdsReadAsZero) {
    EXPECT_EQ(app::read_window_id("4294967295"), 4294967295u);
    EXPECT_EQ(app::read_window_id("4294967296"), 0u);
    EXPECT_EQ(app::read_window_id("99999999999999999999999999999999999999"), 0u);
    EXPECT_EQ(app::read_window_id("-5"), 0u);
    EXPECT_EQ(app::read_window_id("-0"), 0u);
    EXPECT_EQ(parse("/p 18446744073709551617").host_window, kForeground);
}

TEST(CommandLine, JoinArgumentsWithSingleSpacesWithinCapacity) {
    const char* argv[] = {"aquarium", "/p", "4242", nullptr};
    char line[64];
    app::join_arguments(3, argv, line, sizeof line);
    EXPECT_STREQ(line, "/p 4242");
    char small[5];
    app::join_arguments(3, argv, small, sizeof small);
    EXPECT_STREQ(small, "/p 4");
    app::join_arguments(1, argv, line, sizeof line);
    EXPECT_STREQ(line, "");
}

TEST(CommandLine, RandomLinesNeverMisbehave) {
    std::mt19937 random(12345);
    for (int i = 0; i < 5000; ++i) {
        std::string line(random() % 300, ' ');
        for (char& c : line) {
            const unsigned pick = random() % 4;
            c = pick == 0 ? "-/cpsaCPSA0123456789+- "[random() % 23] : static_cast<char>(1 + random() % 255);
        }
        CommandLineResult r{ScreenSaverMode::run, 0};
        if (parse_command_line(line.c_str(), kForeground, r) && !line.empty()) {
            EXPECT_NE(r.host_window, 0u);
            EXPECT_LE(r.host_window, 0xFFFFFFFFu);
        }
    }
}

}  // namespace
