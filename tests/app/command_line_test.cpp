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

// A handle as Windows hands it out: its low 32 bits widened with their sign.
platform::NativeWindow handle(uint32_t low_bits) {
    return static_cast<platform::NativeWindow>(static_cast<intptr_t>(static_cast<int32_t>(low_bits)));
}

TEST(CommandLine, HostWindowInEveryFormHostsWriteIt) {
    const struct {
        const char* line;
        bool named;
        platform::NativeWindow window;
    } cases[] = {
        {"/p 4242", true, 4242},
        {"/p\t  99abc", true, 99},
        {"-p+17", true, 17},
        {"/p:123", true, 123},
        {"/c:1234", true, 1234},
        {"/c 1234", true, 1234},
        {"/c: 55", true, 55},
        // Signed or unsigned, widened or not: one window.
        {"/p -5", true, handle(0xFFFFFFFBu)},
        {"/p 4294967291", true, handle(0xFFFFFFFBu)},
        {"/p 18446744073709551611", true, handle(0xFFFFFFFBu)},
        {"/p -2147483648", true, handle(0x80000000u)},
        {"/p 2147483648", true, handle(0x80000000u)},
        {"/p 4294967295", true, handle(0xFFFFFFFFu)},
        // Numbers that spell no window.
        {"/p 0", true, 0},
        {"/p -0", true, 0},
        {"/p:0", true, 0},
        {"/p -2147483649", true, 0},
        {"/p 4294967296", true, 0},
        {"/p 18446744071562067967", true, 0},  // one below the widened forms
        {"/p 18446744073709551616", true, 0},
        {"/p 99999999999999999999999999999999999999", true, 0},
        // No number at all: the foreground window.
        {"/p", false, kForeground},
        {"/p:", false, kForeground},
        {"/p -", false, kForeground},
        {"/p ::5", false, kForeground},
        {"/s", false, kForeground},
    };
    for (const auto& c : cases) {
        const CommandLineResult r = parse(c.line);
        EXPECT_EQ(r.window_named, c.named) << c.line;
        EXPECT_EQ(r.host_window, c.window) << c.line;
    }
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
            EXPECT_EQ(r.host_window, handle(static_cast<uint32_t>(r.host_window))) << "not a handle Windows gives";
            if (!r.window_named) {
                EXPECT_EQ(r.host_window, kForeground);
            }
        }
    }
}

}  // namespace
