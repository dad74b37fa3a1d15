// A fresh XDG_CONFIG_HOME in a temporary folder for one test, removed
// afterwards, and small file helpers.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/files/ini_settings_store.h"
#include "platform/files/settings_file_path.h"
#include "settings/settings.h"

namespace settings_test {

inline uint32_t bits_of(float value) { return std::bit_cast<uint32_t>(value); }

class TempConfigHome : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "aquarium-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        const char* old = std::getenv("XDG_CONFIG_HOME");
        had_old_ = old != nullptr;
        if (had_old_) old_ = old;
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
        char path[platform::files::kMaxPathBytes];
        ASSERT_TRUE(platform::files::default_settings_file_path(path));
        path_ = path;
        folder_ = root_ + "/aquarium";
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(root_, ignored);
        if (had_old_) {
            setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }

    // Start-up: create or open the key, then load the general settings.
    settings::Settings start_up() {
        platform::files::IniSettingsStore store(path_.c_str(), settings::kSettingsKeyName);
        settings::Settings s = settings::default_settings();
        settings::ensure_settings_key(store, s);
        settings::load_general_settings(store, s);
        return s;
    }

    void make_folder() { std::filesystem::create_directories(folder_); }

    void write_file(const std::string& content) {
        make_folder();
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << content;
    }

    std::string read_file() const { return read_file_at(path_); }

    static std::string read_file_at(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    mode_t file_mode(const std::string& path) const {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0) return 0;
        return info.st_mode;
    }

    // Entries of the settings folder other than the settings file.
    int stray_files() const {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
            if (entry.path().string() != path_) ++count;
        }
        return count;
    }

    std::string root_;
    std::string folder_;
    std::string path_;
    bool had_old_ = false;
    std::string old_;
};

}  // namespace settings_test
