// aquarium-headless as a program: what its commands accept, what they
// refuse, and the shape of the trace it prints.
#include "tools/headless_options.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace {

using test_support::ChildProcess;
using test_support::ExitStatus;

struct HeadlessRun {
    ExitStatus status;
    std::string out;
    std::string err;
};

HeadlessRun run_headless(const std::vector<std::string>& arguments, const test_support::EnvChanges& env = {}) {
    static int counter = 0;
    const std::string stem = ::testing::TempDir() + "headless_" + std::to_string(::getpid()) + "_" +
                             std::to_string(counter++);
    std::vector<std::string> argv{AQUARIUM_HEADLESS};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ChildProcess child;
    HeadlessRun run;
    if (!child.start(argv, env, stem)) {
        ADD_FAILURE() << "cannot start " << AQUARIUM_HEADLESS;
        return run;
    }
    const std::optional<ExitStatus> status = child.wait_for_exit(std::chrono::seconds(60));
    if (!status) {
        ADD_FAILURE() << "aquarium-headless did not end";
        return run;
    }
    run.status = *status;
    run.out = child.output();
    run.err = child.errors();
    return run;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) parts.push_back(part);
    return parts;
}

constexpr const char* kTraceHeader =
    "step,time,px,py,pz,qw,qx,qy,qz,vx,vy,vz,lx,ly,lz,hx,hy,hz,ex,ey,ez,manoeuvre,hist_pos,tx,ty,tz";

TEST(HeadlessTrace, PrintsTheHeaderThenEveryKthFrame) {
    const HeadlessRun run = run_headless({"trace", "--seed", "7", "--steps", "10", "--every", "3"});
    ASSERT_TRUE(run.status.clean()) << run.status.describe() << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> lines = split(run.out, '\n');
    ASSERT_EQ(lines.size(), 4u) << run.out;
    EXPECT_EQ(lines[0], kTraceHeader);
    const int steps[] = {3, 6, 9};
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        const std::vector<std::string> fields = split(lines[row + 1], ',');
        ASSERT_EQ(fields.size(), 26u);
        EXPECT_EQ(fields[0], std::to_string(steps[row]));
        // The step is 1/60 s, so after frame k the simulation time is k/60.
        EXPECT_NEAR(std::stod(fields[1]), steps[row] / 60.0, 1e-6);
        // manoeuvre and hist_pos print as integers.
        EXPECT_EQ(fields[21].find_first_not_of("-0123456789"), std::string::npos) << fields[21];
        EXPECT_EQ(fields[22].find_first_not_of("-0123456789"), std::string::npos) << fields[22];
        // Doubles keep all 17 significant digits, so the trace reads back bit for bit.
        EXPECT_GE(fields[2].size(), 15u) << fields[2];
    }
    EXPECT_TRUE(run.out.ends_with("\n"));
}

TEST(HeadlessTrace, TheSameSeedGivesTheSameTraceAndAnotherSeedAnother) {
    const HeadlessRun first = run_headless({"trace", "--seed", "11", "--steps", "120", "--every", "40"});
    const HeadlessRun again = run_headless({"trace", "--seed", "11", "--steps", "120", "--every", "40"});
    const HeadlessRun other = run_headless({"trace", "--seed", "12", "--steps", "120", "--every", "40"});
    ASSERT_TRUE(first.status.clean() && again.status.clean() && other.status.clean());
    EXPECT_EQ(first.out, again.out);
    EXPECT_NE(first.out, other.out);
    // Options may come in any order.
    const HeadlessRun reordered = run_headless({"trace", "--every", "40", "--steps", "120", "--seed", "11"});
    EXPECT_EQ(reordered.out, first.out);
}

TEST(HeadlessTrace, LargestSeedIsAccepted) {
    const HeadlessRun run = run_headless({"trace", "--seed", "4294967295", "--steps", "1"});
    EXPECT_TRUE(run.status.clean()) << run.err;
    EXPECT_EQ(split(run.out, '\n').size(), 2u);
}

TEST(HeadlessCommandLine, RefusesBadCommandLinesWithUsageAndStatusTwo) {
    const std::vector<std::vector<std::string>> refused = {
        {},
        {"fly"},
        {"TRACE", "--seed", "1", "--steps", "1"},
        {"trace"},
        {"trace", "--seed", "1"},
        {"trace", "--steps", "1"},
        {"trace", "--seed", "1", "--steps"},
        {"trace", "--seed", "-1", "--steps", "1"},
        {"trace", "--seed", "+1", "--steps", "1"},
        {"trace", "--seed", "4294967296", "--steps", "1"},
        {"trace", "--seed", "1", "--steps", "1x"},
        {"trace", "--seed", "1", "--steps", ""},
        {"trace", "--seed", "1", "--steps", "1000000001"},
        {"trace", "--seed", "1", "--steps", "1", "--every", "0"},
        {"trace", "--seed", "1", "--steps", "1", "--colour", "red"},
        {"trace", "seed", "1", "--steps", "1"},
        {"bench", "--steps", "0"},
        {"bench", "--seed", "1"},
        {"render", "--seed", "1", "--frames", "1"},
        {"render", "--seed", "1", "--frames", "1", "--size", "64", "--out", "x.png"},
        {"render", "--seed", "1", "--frames", "1", "--size", "0x48", "--out", "x.png"},
    };
    for (const auto& arguments : refused) {
        std::string shown;
        for (const std::string& a : arguments) shown += " '" + a + "'";
        SCOPED_TRACE(shown);
        const HeadlessRun run = run_headless(arguments);
        EXPECT_TRUE(run.status.exited);
        EXPECT_EQ(run.status.code, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("usage: aquarium-headless"), std::string::npos) << run.err;
    }
}

TEST(HeadlessBench, ReportsWhichSimulationCodeRuns) {
    const HeadlessRun portable =
        run_headless({"bench", "--steps", "1", "--gl-frames", "2"}, {{"AQUARIUM_SIM_PATH", "sse2"}});
    ASSERT_TRUE(portable.status.clean()) << portable.err;
    EXPECT_NE(portable.out.find("sim_code: sse2\n"), std::string::npos) << portable.out;
    for (const char* figure :
         {"sim_step: ", "build_body: ", "frame_cpu: ", "frame_gl_640x480: ", "frame_gl_1920x1080: "}) {
        EXPECT_NE(portable.out.find(figure), std::string::npos) << figure;
    }

    // An unknown name is ignored: the processor decides.
    const HeadlessRun chosen =
        run_headless({"bench", "--steps", "1", "--gl-frames", "2"}, {{"AQUARIUM_SIM_PATH", "fastest"}});
    ASSERT_TRUE(chosen.status.clean()) << chosen.err;
    const bool named = chosen.out.find("sim_code: sse2\n") != std::string::npos ||
                       chosen.out.find("sim_code: avx2\n") != std::string::npos ||
                       chosen.out.find("sim_code: avx512\n") != std::string::npos;
    EXPECT_TRUE(named) << chosen.out;
}

TEST(ParseUnsigned, TakesWholeDecimalNumbersUpToTheLimitOnly) {
    uint64_t value = 99;
    EXPECT_TRUE(tools::parse_unsigned("0", 10, value));
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(tools::parse_unsigned("10", 10, value));
    EXPECT_EQ(value, 10u);
    EXPECT_TRUE(tools::parse_unsigned("007", 10, value));
    EXPECT_EQ(value, 7u);
    const uint64_t max = std::numeric_limits<uint64_t>::max();
    EXPECT_TRUE(tools::parse_unsigned("18446744073709551615", max, value));
    EXPECT_EQ(value, max);

    value = 99;
    for (const char* text : {"11", "", "-1", "+1", " 1", "1 ", "1.0", "0x1", "1e3", "abc"}) {
        EXPECT_FALSE(tools::parse_unsigned(text, 10, value)) << "'" << text << "'";
    }
    EXPECT_FALSE(tools::parse_unsigned("18446744073709551616", max, value));
    EXPECT_FALSE(tools::parse_unsigned(nullptr, max, value));
    EXPECT_EQ(value, 99u);  // untouched by every refusal
}

}  // namespace
