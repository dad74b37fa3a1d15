// The clock and the single-instance lock.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/system/file_instance_lock.h"
#include "platform/system/steady_clock.h"

namespace {

using namespace platform;

TEST(SteadyClock, CounterAndMillisecondsAdvanceTogether) {
    Clock* clock = make_steady_clock();
    int64_t frequency = 0;
    ASSERT_TRUE(clock->query_performance_frequency(frequency));
    EXPECT_EQ(frequency, 1'000'000'000);
    const int64_t first = clock->query_performance_counter();
    const uint32_t first_ms = clock->time_get_time();
    usleep(20 * 1000);
    const int64_t second = clock->query_performance_counter();
    const uint32_t second_ms = clock->time_get_time();
    EXPECT_GT(first, 0);  // never the zero that means "unset"
    EXPECT_GE(second - first, 20'000'000);
    EXPECT_GE(second_ms - first_ms, 20u);
    EXPECT_EQ(clock->time_begin_period(1), 0u);
    EXPECT_EQ(clock->time_end_period(1), 0u);
    EXPECT_NE(clock->time_begin_period(0), 0u);
}

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/aquarium-lock-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override {
        const std::string command = "rm -rf '" + directory_ + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    std::string directory_;
};

TEST_F(InstanceLockTest, OneHolderPerClassUntilReleased) {
    FileInstanceLock first(directory_.c_str());
    FileInstanceLock second(directory_.c_str());
    ASSERT_TRUE(first.try_acquire("pel WindowClassName"));
    EXPECT_FALSE(second.try_acquire("pel WindowClassName"));
    EXPECT_TRUE(second.try_acquire("another class"));  // a different name is a different lock
    first.release();
    EXPECT_TRUE(second.try_acquire("pel WindowClassName"));
    {
        FileInstanceLock scoped(directory_.c_str());
        EXPECT_FALSE(scoped.try_acquire("pel WindowClassName"));
    }
    second.release();
    FileInstanceLock third(directory_.c_str());
    EXPECT_TRUE(third.try_acquire("pel WindowClassName"));
}

TEST_F(InstanceLockTest, LockFileNamesAreSafeAndTheFallbackFolderIsPrivate) {
    char path[512];
    ASSERT_TRUE(instance_lock_path(directory_.c_str(), "../pel Window/Class", path, sizeof path));
    EXPECT_EQ(std::string(path), directory_ + "/aquarium-.._pel_Window_Class.lock");

    // A runtime folder others may write into is not used.
    ASSERT_EQ(chmod(directory_.c_str(), 0777), 0);
    const char* saved_runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = saved_runtime != nullptr ? saved_runtime : "";
    const char* saved_tmp = std::getenv("TMPDIR");
    const std::string saved_tmpdir = saved_tmp != nullptr ? saved_tmp : "";
    setenv("XDG_RUNTIME_DIR", directory_.c_str(), 1);
    const std::string private_tmp = directory_ + "/tmp";
    ASSERT_EQ(mkdir(private_tmp.c_str(), 0700), 0);
    setenv("TMPDIR", private_tmp.c_str(), 1);
    const bool made = instance_lock_path(nullptr, "pel WindowClassName", path, sizeof path);
    auto restore = [](const char* name, const char* value, const std::string& saved_value) {
        if (value != nullptr) {
            setenv(name, saved_value.c_str(), 1);
        } else {
            unsetenv(name);
        }
    };
    restore("XDG_RUNTIME_DIR", saved_runtime, saved);
    restore("TMPDIR", saved_tmp, saved_tmpdir);
    ASSERT_TRUE(made);
    const std::string expected_folder = private_tmp + "/aquarium-" + std::to_string(geteuid());
    EXPECT_EQ(std::string(path), expected_folder + "/aquarium-pel_WindowClassName.lock");
    struct stat info {};
    ASSERT_EQ(stat(expected_folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

}  // namespace
