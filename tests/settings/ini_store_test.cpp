// The settings kept in a real INI file under a temporary XDG_CONFIG_HOME:
// the load rules through the file, what a save keeps, and the guarantees of
// the write (atomic, mode 0600, never larger than the reader accepts).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>

#include "platform/files/ini_line_scanner.h"
#include "platform/files/ini_settings_store.h"
#include "settings/settings.h"
#include "tests/settings/temp_config_home.h"

namespace {

using namespace std::string_literals;
using platform::files::IniSettingsStore;
using settings::Settings;

using settings_test::bits_of;

const char kDefaultFile[] =
    "[Software\\marevista_20110817]\n"
    "r_floor=0\n"
    "d_show_info=1\n"
    "d_exit_omm=0\n"
    "camxz=270\n"
    "camyy=15\n"
    "camrr=2\n"
    "camlr=0\n"
    "camhh=0\n"
    "d_other_monitors=1\n";

class IniStore : public settings_test::TempConfigHome {
protected:
    void save_general(const Settings& s) {
        IniSettingsStore store(path_.c_str(), settings::kSettingsKeyName);
        settings::save_general_settings(store, s);
    }
    bool load_device(Settings& s) {
        IniSettingsStore store(path_.c_str(), settings::kSettingsKeyName);
        return settings::load_device_settings(store, s);
    }
};

void expect_defaults(const Settings& s) {
    const Settings d = settings::default_settings();
    EXPECT_EQ(s.r_floor, d.r_floor);
    EXPECT_EQ(s.d_show_info, d.d_show_info);
    EXPECT_EQ(s.d_exit_omm, d.d_exit_omm);
    EXPECT_EQ(bits_of(s.camera_azimuth_deg), bits_of(d.camera_azimuth_deg));
    EXPECT_EQ(bits_of(s.camera_elevation_deg), bits_of(d.camera_elevation_deg));
    EXPECT_EQ(bits_of(s.camera_distance), bits_of(d.camera_distance));
    EXPECT_EQ(bits_of(s.camera_look_angle_deg), bits_of(d.camera_look_angle_deg));
    EXPECT_EQ(bits_of(s.camera_height), bits_of(d.camera_height));
}

TEST_F(IniStore, PathFollowsXdgConfigHomeOrFallsBackToHome) {
    EXPECT_EQ(path_, root_ + "/aquarium/settings.ini");
    const char* home = std::getenv("HOME");
    const std::string saved_home = home != nullptr ? home : "";
    setenv("HOME", "/home/someone", 1);
    char path[platform::files::kMaxPathBytes];
    for (const char* config_home : {"", "relative/folder"}) {
        setenv("XDG_CONFIG_HOME", config_home, 1);
        ASSERT_TRUE(platform::files::default_settings_file_path(path));
        EXPECT_STREQ(path, "/home/someone/.config/aquarium/settings.ini") << config_home;
    }
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_TRUE(platform::files::default_settings_file_path(path));
    EXPECT_STREQ(path, "/home/someone/.config/aquarium/settings.ini");
    setenv("XDG_CONFIG_HOME", std::string(5000, 'x').insert(0, "/").c_str(), 1);
    EXPECT_FALSE(platform::files::default_settings_file_path(path));
    if (home != nullptr) setenv("HOME", saved_home.c_str(), 1); else unsetenv("HOME");
}

TEST_F(IniStore, FirstRunWritesTheGeneralDefaultsIntoAPrivateFile) {
    expect_defaults(start_up());
    EXPECT_EQ(read_file(), kDefaultFile);
    EXPECT_EQ(file_mode(path_) & 0777, 0600u);
    EXPECT_TRUE(S_ISREG(file_mode(path_)));
    EXPECT_EQ(file_mode(folder_) & 0777, 0700u);
    Settings s = settings::default_settings();
    EXPECT_FALSE(load_device(s));
    // A second start finds the key and writes nothing.
    start_up();
    EXPECT_EQ(read_file(), kDefaultFile);
}

TEST_F(IniStore, ValuesComeBackBitForBit) {
    const float floats[] = {0.1f, 1.0f / 3.0f, -0.0f, FLT_MIN, FLT_MAX, -FLT_MAX, 1.0e-45f, 3.0e-40f,
                            123456.789f, -270.25f};
    const uint32_t raw_bits[] = {0x7FC00001u, 0xFF800000u};  // a NaN and an infinity travel as bits
    const uint32_t integers[] = {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 123456789u};
    {
        IniSettingsStore store(path_.c_str(), settings::kSettingsKeyName);
        bool created = false;
        ASSERT_EQ(store.create_key(created), platform::kOk);
        EXPECT_TRUE(created);
        // Names built by appending (GCC 12 warns falsely about "f" + text).
        const auto name = [](char letter, int i) { return std::string(1, letter).append(std::to_string(i)); };
        int i = 0;
        for (float f : floats) store.write_float_value(name('f', i++).c_str(), bits_of(f));
        for (uint32_t b : raw_bits) store.write_float_value(name('f', i++).c_str(), b);
        i = 0;
        for (uint32_t v : integers) store.write_value(name('i', i++).c_str(), v);
        ASSERT_EQ(store.close_key(), platform::kOk);
    }
    IniSettingsStore store(path_.c_str(), settings::kSettingsKeyName);
    ASSERT_EQ(store.open_key(), platform::kOk);
    int i = 0;
    uint32_t bits = 0;
    for (float f : floats) {
        ASSERT_TRUE(store.read_float_value(("f" + std::to_string(i++)).c_str(), bits)) << f;
        EXPECT_EQ(bits, bits_of(f)) << f;
    }
    for (uint32_t b : raw_bits) {
        ASSERT_TRUE(store.read_float_value(("f" + std::to_string(i++)).c_str(), bits));
        EXPECT_EQ(bits, b);
    }
    i = 0;
    for (uint32_t v : integers) {
        ASSERT_TRUE(store.read_value(("i" + std::to_string(i++)).c_str(), bits));
        EXPECT_EQ(bits, v);
    }
    store.close_key();
}

TEST_F(IniStore, LoadRulesApplyToHandWrittenValues) {
    write_file(
        "; written by hand\n"
        "[software\\MAREVISTA_20110817]\n"
        "  camxz = 725\n"
        "camyy=0x43480000\n"
        "CAMRR=3.5 ; closer\n"
        "camlr=-370.0\n"
        "camhh=1e2\n"
        "d_show_info=5\n"
        "d_exit_omm=0x10\n"
        "r_floor=-7\n"
        "r_adapter=0x1\n"
        "r_device=+1\n"
        "r_mode=4294967295\n"
        "r_multi_sample=2\n");
    const Settings s = start_up();
    EXPECT_EQ(s.camera_azimuth_deg, 5.0f);
    EXPECT_EQ(s.camera_elevation_deg, 200.0f);
    EXPECT_EQ(s.camera_distance, 3.5f);
    EXPECT_EQ(s.camera_look_angle_deg, -10.0f);
    EXPECT_EQ(s.camera_height, 100.0f);
    EXPECT_TRUE(s.d_show_info);
    EXPECT_TRUE(s.d_exit_omm);
    EXPECT_EQ(s.r_floor, -7);
    Settings device = settings::default_settings();
    ASSERT_TRUE(load_device(device));
    EXPECT_EQ(device.r_adapter, 1u);
    EXPECT_EQ(device.r_device, 1u);
    EXPECT_EQ(device.r_mode, 0xFFFFFFFFu);
    EXPECT_EQ(device.r_multi_sample, 2);
}

TEST_F(IniStore, TextThatIsNotA32BitValueKeepsTheDefault) {
    const char* integer_texts[] = {"4294967296", "-2147483649", "0x100000000", "1.5", "12abc", "", "0x",
                                   "--1", "1 2", "99999999999999999999999"};
    const char* float_texts[] = {"nan", "NaN", "inf", "-infinity", "1e39", "-1e39", "0x100000000", "", "1.5.2",
                                 "+-1", "0x7g", "12 3"};
    for (const char* text : integer_texts) {
        write_file(std::string("[Software\\marevista_20110817]\nr_floor=") + text + "\nd_show_info=" + text +
                   "\n");
        const Settings s = start_up();
        EXPECT_EQ(s.r_floor, 0) << text;
        EXPECT_TRUE(s.d_show_info) << text;
    }
    for (const char* text : float_texts) {
        write_file(std::string("[Software\\marevista_20110817]\ncamyy=") + text + "\n");
        EXPECT_EQ(start_up().camera_elevation_deg, 15.0f) << text;
    }
    write_file("[Software\\marevista_20110817]\nr_floor=-2147483648\nd_show_info=0\n");
    const Settings s = start_up();
    EXPECT_EQ(s.r_floor, INT32_MIN);
    EXPECT_FALSE(s.d_show_info);
}

TEST_F(IniStore, TheLastOfDuplicateValuesCountsAndASaveLeavesOne) {
    write_file("[Software\\marevista_20110817]\ncamxz=10\ncamyy=20\ncamxz=30\n");
    Settings s = start_up();
    EXPECT_EQ(s.camera_azimuth_deg, 30.0f);
    EXPECT_EQ(s.camera_elevation_deg, 20.0f);
    s.camera_azimuth_deg = 45.0f;
    save_general(s);
    const std::string file = read_file();
    EXPECT_EQ(file.find("camxz="), file.rfind("camxz="));
    EXPECT_EQ(file.rfind("[Software\\marevista_20110817]\ncamxz=45\ncamyy=20\n", 0), 0u) << file;
}

TEST_F(IniStore, SavingTheGeneralSettingsKeepsEveryOtherLine) {
    write_file(
        "# my settings\n"
        "[other]\n"
        "camxz=999\n"
        "\n"
        "[Software\\marevista_20110817]\n"
        "; camera\n"
        "camxz=10\n"
        "colour=blue\n"
        "r_adapter=1\n"
        "r_device=0\n"
        "r_mode=3\n"
        "r_multi_sample=4\n"
        "garbage line without equals\n"
        "\n"
        "[later]\n"
        "x=1\r\n");
    Settings s = start_up();
    s.camera_azimuth_deg = 20.0f;
    s.d_show_info = false;
    save_general(s);
    EXPECT_EQ(read_file(),
              "# my settings\n"
              "[other]\n"
              "camxz=999\n"
              "\n"
              "[Software\\marevista_20110817]\n"
              "; camera\n"
              "camxz=20\n"
              "colour=blue\n"
              "r_adapter=1\n"
              "r_device=0\n"
              "r_mode=3\n"
              "r_multi_sample=4\n"
              "r_floor=0\n"
              "d_show_info=0\n"
              "d_exit_omm=0\n"
              "camyy=15\n"
              "camrr=2\n"
              "camlr=0\n"
              "camhh=0\n"
              "d_other_monitors=1\n"
              "garbage line without equals\n"
              "\n"
              "[later]\n"
              "x=1\r\n");
    Settings device = settings::default_settings();
    ASSERT_TRUE(load_device(device));
    EXPECT_EQ(device.r_mode, 3u);
    EXPECT_EQ(device.r_multi_sample, 4);
}

TEST_F(IniStore, AFileWithoutTheSectionGetsItAppended) {
    write_file("[other]\nkey=value");  // no line feed at the end
    expect_defaults(start_up());
    EXPECT_EQ(read_file(), std::string("[other]\nkey=value\n\n") + kDefaultFile);
}

TEST_F(IniStore, EmptyTruncatedAndBinaryFilesNeverStopStartUp) {
    write_file("");
    expect_defaults(start_up());
    EXPECT_EQ(read_file(), kDefaultFile);

    write_file("[Software\\marevista_20110817]\ncamxz=12");
    EXPECT_EQ(start_up().camera_azimuth_deg, 12.0f);

    const std::string binary_lines = "\x01\x02\xff\xfe\n\xef\xbb\xbf\x7f" "camyy=3\n\0\0\0\0\n"s;
    write_file("[Software\\marevista_20110817]\ncamxz=1\0" "5\n"s + binary_lines + "camyy=7\n");
    Settings s = start_up();
    EXPECT_EQ(s.camera_azimuth_deg, 270.0f);
    EXPECT_EQ(s.camera_elevation_deg, 7.0f);
    save_general(s);
    // The lines no reader uses are still there, byte for byte.
    const std::string file = read_file();
    EXPECT_NE(file.find("camxz=1\0" "5\n"s + binary_lines), std::string::npos);
    const Settings again = start_up();
    EXPECT_EQ(again.camera_azimuth_deg, 270.0f);
    EXPECT_EQ(again.camera_elevation_deg, 7.0f);
}

TEST_F(IniStore, LinesTooLongToReadAreCopiedByteForByte) {
    const std::string long_number = "camxz=1" + std::string(300, '0');
    const std::string long_comment = "; " + std::string(1000, 'c');
    std::string huge_line;
    for (int i = 0; huge_line.size() < 10000; ++i) huge_line += std::to_string(i) + ",";
    write_file("[Software\\marevista_20110817]\n" + long_number + "\n" + long_comment + "\n" + huge_line +
               "\ncamyy=5\n");
    Settings s = start_up();
    EXPECT_EQ(s.camera_azimuth_deg, 270.0f);
    EXPECT_EQ(s.camera_elevation_deg, 5.0f);
    save_general(s);
    EXPECT_EQ(read_file(), "[Software\\marevista_20110817]\n" + long_number + "\n" + long_comment + "\n" + huge_line +
                               "\ncamyy=5\nr_floor=0\nd_show_info=1\nd_exit_omm=0\ncamxz=270\ncamrr=2\ncamlr=0\n"
                               "camhh=0\nd_other_monitors=1\n");
}

TEST_F(IniStore, AHeaderTooLongToReadKeepsItsLinesOutOfTheSectionAbove) {
    const std::string long_header = "[" + std::string(250, 'h') + "]";
    const std::string binary_header = "[Software\\marevista_20110817\x01]";
    const std::string after_long = long_header + "\ncamxz=111\ncamyy=112\n";
    const std::string after_binary = binary_header + "\ncamrr=113\n";
    write_file("[Software\\marevista_20110817]\ncamhh=4\n" + after_long + after_binary);
    Settings s = start_up();
    EXPECT_EQ(s.camera_azimuth_deg, 270.0f);  // not ours: they stand under other headers
    EXPECT_EQ(s.camera_elevation_deg, 15.0f);
    EXPECT_EQ(s.camera_distance, 2.0f);
    EXPECT_EQ(s.camera_height, 4.0f);
    s.camera_azimuth_deg = 20.0f;
    save_general(s);
    const std::string file = read_file();
    EXPECT_EQ(file,
              "[Software\\marevista_20110817]\ncamhh=4\nr_floor=0\nd_show_info=1\nd_exit_omm=0\ncamxz=20\n"
              "camyy=15\ncamrr=2\ncamlr=0\nd_other_monitors=1\n" +
                  after_long + after_binary);
}

TEST_F(IniStore, AFilePrecisely1MiBLongIsReadAndASaveMayReachTheLimitButNeverPassIt) {
    const std::string head = "[Software\\marevista_20110817]\ncamxz=33\n";
    std::string padding = "; ";
    const size_t limit = static_cast<size_t>(platform::files::kMaxFileBytes);
    padding += std::string(limit - head.size() - padding.size() - 1, 'p') + "\n";
    write_file(head + padding);
    ASSERT_EQ(read_file().size(), limit);
    Settings s = start_up();
    EXPECT_EQ(s.camera_azimuth_deg, 33.0f);
    // The save adds the eight values not in the file: over the limit.
    testing::internal::CaptureStderr();
    s.camera_azimuth_deg = 34.0f;
    save_general(s);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("could not save the settings to " + path_), std::string::npos) << errors;
    EXPECT_EQ(read_file(), head + padding);
    EXPECT_EQ(stray_files(), 0);
    EXPECT_EQ(start_up().camera_azimuth_deg, 33.0f);

    // With all general values already there, the save comes to exactly the limit: written.
    const std::string full = kDefaultFile + padding.substr(0, limit - (sizeof kDefaultFile - 1) - 1) + "\n";
    ASSERT_EQ(full.size(), limit);
    write_file(full);
    s = start_up();
    s.camera_azimuth_deg = 271.0f;
    save_general(s);
    std::string expected = full;
    expected.replace(expected.find("camxz=270"), 9, "camxz=271");
    const std::string saved = read_file();
    EXPECT_TRUE(saved == expected) << saved.size() << " bytes";  // not a diff of a megabyte
    EXPECT_EQ(stray_files(), 0);
}

TEST_F(IniStore, AFolderAtTheFilesPlaceIsReportedAndChangesNothing) {
    make_folder();
    ASSERT_EQ(mkdir(path_.c_str(), 0700), 0);  // a folder where the file should be
    testing::internal::CaptureStderr();
    Settings s = start_up();
    save_general(s);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("cannot read the settings file " + path_ + " (not a regular file)"), std::string::npos)
        << errors;
    EXPECT_TRUE(S_ISDIR(file_mode(path_)));
    expect_defaults(s);
    EXPECT_EQ(stray_files(), 0);
}

TEST_F(IniStore, ASaveInterruptedBeforeTheRenameLeavesTheOldFileWhole) {
    const std::string old_file = std::string(kDefaultFile) + "; " + std::string(3000, 'k') + "\n";
    write_file(old_file);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Writes stop after 100 bytes, long before the new file is complete.
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        IniSettingsStore store(path_.c_str(), settings::kSettingsKeyName);
        Settings s = settings::default_settings();
        s.camera_azimuth_deg = 1.0f;
        store.open_key();
        store.write_float_value("camxz", bits_of(s.camera_azimuth_deg));
        _exit(platform::failed(store.close_key()) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save should have failed";
    EXPECT_EQ(read_file(), old_file);
    EXPECT_EQ(stray_files(), 0);
}

TEST_F(IniStore, StoreRefusesNamesThatWouldNotStayOneValueLine) {
    IniSettingsStore store(path_.c_str(), settings::kSettingsKeyName);
    bool created = false;
    ASSERT_EQ(store.create_key(created), platform::kOk);
    for (const char* name : {"", "a=b", "a b", "[x]", "a;b", "line\nfeed"}) EXPECT_LT(store.write_value(name, 1), 0);
    EXPECT_EQ(store.close_key(), platform::kOk);
    EXPECT_LT(store.write_value("camxz", 1), 0);  // the key is closed
}

}  // namespace
