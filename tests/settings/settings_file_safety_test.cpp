// What start-up and saving do with a settings file they must not lose: one
// that is there but cannot be read, a symbolic link, and the temporary
// files of saves that were killed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <functional>

#include "platform/files/ini_line_scanner.h"
#include "platform/files/ini_settings_store.h"
#include "platform/files/save_target.h"
#include "settings/settings.h"
#include "tests/settings/temp_config_home.h"

namespace {

using platform::files::IniSettingsStore;
using settings::Settings;

const char kUserFile[] = "[Software\\marevista_20110817]\ncamxz=123\n; mine\n";

class SettingsFileSafety : public settings_test::TempConfigHome {
protected:
    void SetUp() override {
        TempConfigHome::SetUp();
        const char* old = std::getenv("HOME");
        had_home_ = old != nullptr;
        if (had_home_) old_home_ = old;
        setenv("HOME", root_.c_str(), 1);  // the temporary folder is the user's home
    }
    void TearDown() override {
        if (had_home_) {
            setenv("HOME", old_home_.c_str(), 1);
        } else {
            unsetenv("HOME");
        }
        TempConfigHome::TearDown();
    }

    // A start-up (with its creation of a missing key) and the save at the end
    // of a run, in one process; what they wrote on standard error.
    std::string start_and_save(Settings& s) {
        testing::internal::CaptureStderr();
        {
            IniSettingsStore store(path_.c_str(), settings::kSettingsKeyName);
            s = settings::default_settings();
            settings::ensure_settings_key(store, s);
            settings::load_general_settings(store, s);
            s.camera_azimuth_deg = 45.0f;
            settings::save_general_settings(store, s);
            settings::save_device_settings(store, s);
        }
        return testing::internal::GetCapturedStderr();
    }

    static int count(const std::string& text, const std::string& part) {
        int n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }

    bool had_home_ = false;
    std::string old_home_;
};

// Runs `body` in a child process that cannot read files of other users even
// when the tests run as root; its exit status.
int run_unprivileged(const std::string& readable_folder, const std::function<int()>& body) {
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (geteuid() == 0) {
            chmod(readable_folder.c_str(), 0777);
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
        }
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SettingsFileSafety, AFileThatCannotBeReadIsNeverReplacedAndSaidOnce) {
    // Not a regular file: a pipe and a folder.
    make_folder();
    ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
    Settings s{};
    std::string errors = start_and_save(s);  // does not block on the pipe
    EXPECT_EQ(s.camera_azimuth_deg, 45.0f);
    EXPECT_TRUE(S_ISFIFO(file_mode(path_)));
    EXPECT_EQ(count(errors, "cannot read the settings file " + path_), 1) << errors;
    EXPECT_EQ(stray_files(), 0);
    ASSERT_EQ(unlink(path_.c_str()), 0);

    ASSERT_EQ(mkdir(path_.c_str(), 0700), 0);
    errors = start_and_save(s);
    EXPECT_TRUE(S_ISDIR(file_mode(path_)));
    EXPECT_EQ(count(errors, "not a regular file"), 1) << errors;
    ASSERT_EQ(rmdir(path_.c_str()), 0);

    // Over the size limit, by one byte.
    std::string big = kUserFile;
    big += std::string(static_cast<size_t>(platform::files::kMaxFileBytes) + 1 - big.size(), '\n');
    write_file(big);
    errors = start_and_save(s);
    EXPECT_EQ(read_file(), big);
    EXPECT_EQ(count(errors, "larger than 1 MiB"), 1) << errors;
    EXPECT_EQ(stray_files(), 0);
}

TEST_F(SettingsFileSafety, AFileWithoutReadPermissionKeepsItsValues) {
    write_file(kUserFile);
    ASSERT_EQ(chmod(path_.c_str(), 0200), 0);
    ASSERT_EQ(chmod(folder_.c_str(), 0777), 0);
    const int status = run_unprivileged(root_, [this] {
        Settings s{};
        const std::string errors = start_and_save(s);
        if (s.camera_azimuth_deg != 45.0f) return 1;
        if (count(errors, "cannot read the settings file") != 1) return 2;
        return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(read_file(), kUserFile);
    EXPECT_EQ(stray_files(), 0);
}

TEST_F(SettingsFileSafety, AMissingFileIsCreatedWithTheDefaults) {
    Settings s{};
    EXPECT_EQ(start_and_save(s), "");
    EXPECT_NE(read_file().find("camxz=45\n"), std::string::npos);
}

TEST_F(SettingsFileSafety, ALinkToOneOfTheUsersOwnFilesIsWrittenThrough) {
    const std::string dotfiles = root_ + "/dotfiles";
    ASSERT_EQ(mkdir(dotfiles.c_str(), 0755), 0);
    const std::string target = dotfiles + "/aquarium.ini";
    {
        std::ofstream out(target);
        out << kUserFile;
    }
    make_folder();
    ASSERT_EQ(symlink("../dotfiles/aquarium.ini", path_.c_str()), 0);
    Settings s{};
    EXPECT_EQ(start_and_save(s), "");
    EXPECT_TRUE(S_ISLNK(file_mode(path_)));
    const std::string saved = read_file_at(target);
    EXPECT_EQ(saved.rfind("[Software\\marevista_20110817]\ncamxz=45\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("\n; mine\n"), std::string::npos) << saved;
    EXPECT_EQ(stray_files(), 0);
    int beside_target = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dotfiles)) beside_target += entry.path() != target;
    EXPECT_EQ(beside_target, 0);
}

TEST_F(SettingsFileSafety, ALinkOutOfTheHomeFolderOrToNothingIsRefusedAndLeftAlone) {
    // Out of the home folder: HOME is a folder beside the link's target, or
    // one whose name the target's folder merely starts with.
    const std::string home = root_ + "/home";
    ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((home + "2").c_str(), 0700), 0);
    setenv("HOME", home.c_str(), 1);
    make_folder();
    Settings s{};
    std::string errors;
    for (const std::string& target : {root_ + "/elsewhere.ini", home + "2/settings.ini"}) {
        SCOPED_TRACE(target);
        std::ofstream(target) << kUserFile;
        unlink(path_.c_str());
        ASSERT_EQ(symlink(target.c_str(), path_.c_str()), 0);
        errors = start_and_save(s);
        EXPECT_EQ(s.camera_azimuth_deg, 45.0f);
        EXPECT_NE(errors.find("the settings are not saved to " + path_), std::string::npos) << errors;
        EXPECT_NE(errors.find("not one of your own files"), std::string::npos) << errors;
        EXPECT_TRUE(S_ISLNK(file_mode(path_)));
        EXPECT_EQ(read_file_at(target), kUserFile);
        EXPECT_EQ(stray_files(), 0);
    }

    // A link that leads to no file is not replaced by a file either.
    ASSERT_EQ(unlink(path_.c_str()), 0);
    ASSERT_EQ(symlink("missing.ini", path_.c_str()), 0);
    errors = start_and_save(s);
    EXPECT_NE(errors.find("a symbolic link that leads to no file"), std::string::npos) << errors;
    EXPECT_TRUE(S_ISLNK(file_mode(path_)));
    EXPECT_EQ(stray_files(), 0);
}

TEST_F(SettingsFileSafety, ASaveRemovesOnlyOldTemporariesOfItsOwnFile) {
    write_file(kUserFile);
    const auto make = [&](const std::string& name, bool old) {
        const std::string path = folder_ + "/" + name;
        std::ofstream(path) << "partial";
        if (old) {
            const time_t then = std::time(nullptr) - platform::files::kStaleTemporarySeconds - 10;
            const struct timespec times[2] = {{then, 0}, {then, 0}};
            utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
        }
        return path;
    };
    const std::string stale = make("settings.ini.a1B2c3", true);
    const std::string fresh = make("settings.ini.Zz9Yy8", false);  // a save running right now
    const std::string others[] = {make("settings.ini.a1B2c", true), make("settings.ini.a1B2c3d", true),
                                  make("settings.ini.a1-2c3", true), make("other.ini.a1B2c3", true),
                                  make("settings.ini~", true)};
    Settings s{};
    start_and_save(s);
    EXPECT_EQ(file_mode(stale), 0u);
    EXPECT_NE(file_mode(fresh), 0u);
    for (const std::string& other : others) EXPECT_NE(file_mode(other), 0u) << other;
    EXPECT_NE(read_file().find("camxz=45\n"), std::string::npos);
}

}  // namespace
