// aquarium-headless writing its pictures and figures: a picture replaces its
// file only when complete and only when that file is a regular file, and
// every failure to write is reported and ends with a non-zero status.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/child_process.h"

namespace {

using test_support::run_tool;
using test_support::ToolResult;

// Runs a shell command line; its status, with standard error in `errors`.
ToolResult run_shell(const std::string& command, std::string& errors, const std::string& folder) {
    const std::string err_path = folder + "/stderr.txt";
    ToolResult result = run_tool({"/bin/sh", "-c", command + " 2>'" + err_path + "'"}, std::chrono::seconds(90));
    errors = test_support::read_file(err_path);
    std::filesystem::remove(err_path);
    return result;
}

std::string render_command(const std::string& out_option) {
    return std::string("'") + HEADLESS_BINARY + "' render --seed 3 --frames 2 --size 64x48 " + out_option;
}

class HeadlessTool : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "aquarium-headless-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    // Entries of the folder other than `except`.
    int others(const std::string& except) const {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder_)) n += entry.path() != except;
        return n;
    }
    std::string folder_;
};

TEST_F(HeadlessTool, RenderReplacesARegularFileWholeAndLeavesNothingBeside) {
    const std::string out = folder_ + "/fish.png";
    std::ofstream(out) << "old";
    ASSERT_EQ(chmod(out.c_str(), 0640), 0);
    std::string errors;
    const ToolResult result = run_shell(render_command("--out '" + out + "'"), errors, folder_);
    ASSERT_TRUE(result.status.clean()) << result.status.describe() << errors;
    const std::string png = test_support::read_file(out);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    struct stat info {};
    ASSERT_EQ(stat(out.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);  // the file's own mode is kept
    EXPECT_EQ(others(out), 0);
}

TEST_F(HeadlessTool, RenderThatCannotFinishTheFileKeepsTheOldOneAndLeavesNothingBeside) {
    // A file size limit of 512 bytes: the picture's writes fail once its
    // temporary file exists (the error message still fits in its file).
    const std::string out = folder_ + "/fish.png";
    std::ofstream(out) << "old";
    std::string errors;
    const ToolResult result =
        run_shell("(trap '' XFSZ; ulimit -f 1; exec " + render_command("--out '" + out + "')"), errors, folder_);
    EXPECT_EQ(result.status.code, 1) << result.status.describe();
    EXPECT_NE(errors.find("cannot write " + out + ": File too large"), std::string::npos) << errors;
    EXPECT_EQ(test_support::read_file(out), "old");
    EXPECT_EQ(others(out), 0);
}

TEST_F(HeadlessTool, RenderLeavesDevicesPipesAndLinksAloneAndNeverBlocks) {
    const std::string pipe = folder_ + "/pipe.png";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string link = folder_ + "/link.png";
    const std::string target = folder_ + "/target.txt";
    std::ofstream(target) << "keep me";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    std::vector<std::string> victims{pipe, link};
    const std::string device = folder_ + "/null.png";
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) victims.push_back(device);  // needs root

    for (const std::string& victim : victims) {
        SCOPED_TRACE(victim);
        struct stat before {};
        ASSERT_EQ(lstat(victim.c_str(), &before), 0);
        std::string errors;
        const ToolResult result = run_shell(render_command("--out '" + victim + "'"), errors, folder_);
        EXPECT_TRUE(result.status.exited) << result.status.describe();  // not killed by the time limit
        EXPECT_EQ(result.status.code, 1);
        EXPECT_NE(errors.find("cannot write " + victim + ": it is not a regular file"), std::string::npos) << errors;
        struct stat after {};
        ASSERT_EQ(lstat(victim.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_ino, before.st_ino);
    }
    EXPECT_EQ(test_support::read_file(target), "keep me");
    EXPECT_EQ(others(""), static_cast<int>(victims.size()) + 1);  // no temporary file left
}

TEST_F(HeadlessTool, RenderIntoABadFolderSaysWhatFailed) {
    std::string errors;
    const std::string missing = folder_ + "/missing";
    ToolResult result = run_shell(render_command("--every 1 --out-dir '" + missing + "'"), errors, folder_);
    EXPECT_EQ(result.status.code, 1) << result.status.describe();
    EXPECT_NE(errors.find("cannot write " + missing + "/frame_000001.png: No such file or directory"),
              std::string::npos)
        << errors;

    const std::string long_folder = folder_ + "/" + std::string(4200, 'd');
    result = run_shell(render_command("--every 1 --out-dir '" + long_folder + "'"), errors, folder_);
    EXPECT_EQ(result.status.code, 1) << result.status.describe();
    EXPECT_NE(errors.find("the path is too long"), std::string::npos) << errors;
}

TEST_F(HeadlessTool, FiguresWrittenToAFullDiskAreAFailure) {
    std::string errors;
    const std::string bench = std::string("'") + HEADLESS_BINARY + "' bench --steps 10 >/dev/full";
    ToolResult result = run_shell(bench, errors, folder_);
    EXPECT_EQ(result.status.code, 1) << result.status.describe();
    EXPECT_NE(errors.find("aquarium-headless bench: cannot write the output: No space left on device"),
              std::string::npos)
        << errors;

    const std::string trace = std::string("'") + HEADLESS_BINARY + "' trace --seed 1 --steps 5 >/dev/full";
    result = run_shell(trace, errors, folder_);
    EXPECT_EQ(result.status.code, 1) << result.status.describe();
    EXPECT_NE(errors.find("cannot write the output"), std::string::npos) << errors;
}

}  // namespace
