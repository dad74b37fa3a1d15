// Thousands of generated hostile settings files: start-up never fails, the
// loaded camera values are usable, a save always leaves a file that reads
// back exactly, and comments and lines no reader uses survive.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "platform/files/ini_settings_store.h"
#include "settings/settings.h"
#include "tests/settings/temp_config_home.h"

namespace {

using platform::files::IniSettingsStore;
using settings::Settings;

constexpr int kFiles = 3000;

const char* const kNames[] = {"r_floor", "d_show_info", "d_exit_omm", "camxz", "camyy", "camrr",
                              "camlr", "camhh", "d_other_monitors", "r_adapter", "r_device", "r_mode",
                              "r_multi_sample", "CAMXZ", "unknown"};
const char* const kValues[] = {"0", "1", "-1", "5", "725", "-370.5", "360", "1e38", "1e39", "-1e39", "nan", "inf",
                               "-inf", "4294967295", "4294967296", "-2147483648", "-2147483649", "0x7fc00000",
                               "0x7f800000", "0xffffffff", "0x100000000", "", "=", "1.5e", "0x", "  7  ",
                               "3 ; note", "1e-45", "-0", "99999999999999999999", "0.1"};
const char* const kSections[] = {"[Software\\marevista_20110817]", "[software\\MAREVISTA_20110817]", "[other]",
                                 "[]", "[Software\\marevista_20110817", "[ Software\\marevista_20110817 ]",
                                 "[Software\\marevista_20110817] ; trailing"};

class Generator {
public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    std::string file() {
        std::string text;
        const int lines = pick(0, 30);
        for (int i = 0; i < lines; ++i) {
            text += line();
            const int ending = pick(0, 9);
            if (i + 1 < lines || ending > 1) text += ending == 0 ? "\r\n" : "\n";
        }
        return text;
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    std::string random_bytes(int length, int low, int high) {
        std::string s;
        for (int i = 0; i < length; ++i) s += static_cast<char>(pick(low, high));
        return s;
    }

    std::string line() {
        switch (pick(0, 11)) {
            case 0:
            case 1:
            case 2:
                return std::string(kNames[pick(0, std::size(kNames) - 1)]) + "=" + kValues[pick(0, std::size(kValues) - 1)];
            case 3:
                return kSections[pick(0, std::size(kSections) - 1)];
            case 4:
                return (pick(0, 1) ? "; " : "# ") + random_bytes(pick(0, 300), 0x20, 0x7E);
            case 5:
                return "";
            case 6:
                return random_bytes(pick(1, 300), 0, 255);
            case 7:
                return std::string(kNames[pick(0, 7)]) + "=" + std::string(pick(190, 6000), '9');
            case 8:
                return std::string(pick(1, 8), ' ') + kNames[pick(0, 7)] + " = " + kValues[pick(0, std::size(kValues) - 1)];
            case 9:
                return std::string(kNames[pick(0, 7)]) + "=" + random_bytes(pick(0, 20), 0x20, 0x7E);
            case 10:
                return std::string(kNames[pick(0, 7)]) + ":" + kValues[pick(0, std::size(kValues) - 1)];
            default:
                return random_bytes(pick(0, 40), 0x20, 0x7E);
        }
    }

    std::mt19937 random_;
};

bool is_binary(const std::string& line) {
    for (char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t' && c != '\r') || u == 0x7F) return true;
    }
    return false;
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

using settings_test::bits_of;

class IniStoreFuzz : public settings_test::TempConfigHome {};

TEST_F(IniStoreFuzz, HostileFilesNeverStopStartUpAndASaveReadsBackExactly) {
    Generator generator(20240817u);
    for (int n = 0; n < kFiles; ++n) {
        const std::string original = generator.file();
        write_file(original);
        SCOPED_TRACE("file " + std::to_string(n));

        Settings s = start_up();
        for (float camera : {s.camera_azimuth_deg, s.camera_elevation_deg, s.camera_distance, s.camera_look_angle_deg,
                             s.camera_height})
            ASSERT_TRUE(std::isfinite(camera));
        ASSERT_LT(std::fabs(s.camera_azimuth_deg), 360.0f);
        ASSERT_LT(std::fabs(s.camera_look_angle_deg), 360.0f);
        {
            IniSettingsStore store(path_.c_str(), settings::kSettingsKeyName);
            Settings device = s;
            settings::load_device_settings(store, device);
        }

        // Change every value so that the save has to replace them all.
        s.r_floor = static_cast<int32_t>(static_cast<uint32_t>(s.r_floor) + 1u);
        s.d_show_info = !s.d_show_info;
        s.d_other_monitors = !s.d_other_monitors;
        s.camera_azimuth_deg = std::nextafter(s.camera_azimuth_deg, 0.0f);
        s.camera_elevation_deg += 1.0f;
        s.camera_height = -s.camera_height - 0.5f;
        {
            IniSettingsStore store(path_.c_str(), settings::kSettingsKeyName);
            settings::save_general_settings(store, s);
        }
        const std::string saved = read_file();
        const Settings again = start_up();
        ASSERT_EQ(again.r_floor, s.r_floor);
        ASSERT_EQ(again.d_show_info, s.d_show_info);
        ASSERT_EQ(again.d_exit_omm, s.d_exit_omm);
        ASSERT_EQ(again.d_other_monitors, s.d_other_monitors);
        ASSERT_EQ(bits_of(again.camera_azimuth_deg), bits_of(s.camera_azimuth_deg));
        ASSERT_EQ(bits_of(again.camera_elevation_deg), bits_of(s.camera_elevation_deg));
        ASSERT_EQ(bits_of(again.camera_distance), bits_of(s.camera_distance));
        ASSERT_EQ(bits_of(again.camera_look_angle_deg), bits_of(s.camera_look_angle_deg));
        ASSERT_EQ(bits_of(again.camera_height), bits_of(s.camera_height));

        // Comments and lines no reader uses survive byte for byte.
        const std::vector<std::string> saved_lines = split_lines(saved);
        for (const std::string& line : split_lines(original)) {
            if (line.empty() || (line[0] != ';' && line[0] != '#' && !is_binary(line) && line.size() < 200)) continue;
            ASSERT_NE(std::find(saved_lines.begin(), saved_lines.end(), line), saved_lines.end()) << line;
        }
        ASSERT_EQ(stray_files(), 0);
    }
}

}  // namespace
