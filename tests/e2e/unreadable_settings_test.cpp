// A settings file that is there but cannot be read, met by the real
// program: neither the start nor the end of a run replaces it, whatever the
// command line, and the program says so once.
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "e2e_session.h"

namespace e2e {
namespace {

int occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(AquariumTest, AnUnreadableSettingsFileSurvivesEveryModeAndIsReportedOnce) {
    // Over the size limit by one byte, with the user's camera in it.
    std::string big = std::string("[") + kSettingsSection + "]\ncamxz=33\n";
    big += std::string((1u << 20) + 1 - big.size(), '\n');
    write_settings(big);

    Process unsupported = launch({"-a"});
    ASSERT_TRUE(unsupported.wait_for_exit(10s).has_value());
    EXPECT_EQ(occurrences(unsupported.errors(), "cannot read the settings file"), 1) << unsupported.errors();
    EXPECT_EQ(read_file(settings_path()), big);

    Process run = launch({"-s"});
    ASSERT_TRUE(wait_for_window(run).has_value()) << run.errors();
    run.signal(SIGTERM);  // ends the run through its close, which saves
    const std::optional<ExitStatus> status = run.wait_for_exit(10s);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->clean()) << status->describe();
    EXPECT_EQ(occurrences(run.errors(), "cannot read the settings file " + settings_path() + " (larger than 1 MiB)"),
              1)
        << run.errors();
    EXPECT_EQ(read_file(settings_path()), big);
    const auto entries = std::filesystem::directory_iterator(dir_ + "/config/aquarium");
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 1) << "a temporary file was left beside the settings";
}

}  // namespace
}  // namespace e2e
