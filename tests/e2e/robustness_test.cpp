// Hostile input: thousands of random command lines, and settings files full
// of garbage. The program may refuse them, but it never crashes, and a bad
// settings file never stops a run.
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e_session.h"
#include "platform/files/ini_settings_store.h"
#include "settings/settings.h"

namespace e2e {
namespace {

using Random = std::mt19937_64;

size_t environment_number(const char* name, size_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    return static_cast<size_t>(std::strtoull(text, nullptr, 10));
}

size_t pick(Random& random, size_t low, size_t high) {  // low..high inclusive
    return std::uniform_int_distribution<size_t>(low, high)(random);
}

std::string random_text(Random& random, size_t length, const std::string& alphabet) {
    std::string text(length, ' ');
    for (char& c : text) c = alphabet[pick(random, 0, alphabet.size() - 1)];
    return text;
}

std::string random_bytes(Random& random, size_t length) {  // no zero byte: arguments cannot hold one
    std::string text(length, ' ');
    for (char& c : text) c = static_cast<char>(pick(random, 1, 255));
    return text;
}

std::string random_digits(Random& random, size_t length) { return random_text(random, length, "0123456789"); }

const std::vector<std::string> kRunOrConfigure = {"-c", "-C", "/c", "/C", "-s", "-S", "/s", "/S"};
const std::vector<std::string> kConfigure = {"-c", "-C", "/c", "/C"};
const std::vector<std::string> kPreview = {"-p", "-P", "/p", "/P"};
const std::vector<std::string> kUnsupported = {"-a", "-A", "/a", "/A"};

bool contains_any(const std::string& text, const std::vector<std::string>& needles) {
    for (const std::string& needle : needles) {
        if (text.find(needle) != std::string::npos) return true;
    }
    return false;
}

// Splits a long text into arguments no longer than the kernel takes.
void add_in_pieces(std::vector<std::string>& args, const std::string& text) {
    constexpr size_t kPiece = 100000;
    for (size_t at = 0; at < text.size(); at += kPiece) args.push_back(text.substr(at, kPiece));
}

// One random command line, as the program's argument list.
std::vector<std::string> random_command_line(Random& random) {
    static const std::string kSwitchy = "-/cCpPsSaAxX0123456789 \t+:;=\"'";
    static const std::string kPlain =
        "abdefghijklmnoqrtuvwxyzBDEFGHIJKLMNOQRTUVWXYZ0123456789 \t!#$%&()*+,.:;<=>?@[]^_{|}~";
    std::vector<std::string> args;
    const size_t kind = pick(random, 0, 99);
    if (kind < 35) {  // short words of switch characters and digits
        for (size_t i = pick(random, 1, 6); i > 0; --i) args.push_back(random_text(random, pick(random, 0, 20), kSwitchy));
    } else if (kind < 55) {  // binary
        for (size_t i = pick(random, 1, 4); i > 0; --i) args.push_back(random_bytes(random, pick(random, 1, 300)));
    } else if (kind < 70) {  // a preview switch with a hostile number
        static const std::vector<std::string> kNumbers = {
            "4294967295", "4294967296", "18446744073709551615", "18446744073709551616", "9223372036854775808",
            "-2147483648", "-0", "+0", "0", "000000000000000000000000000000000000000000000001"};
        static const std::vector<std::string> kBetween = {"", " ", "  ", "\t", ":", "=", "\n", " -", " +", " --"};
        std::string number = pick(random, 0, 3) == 0 ? kNumbers[pick(random, 0, kNumbers.size() - 1)]
                                                     : random_digits(random, pick(random, 0, 1) ? pick(random, 10, 60)
                                                                                                : pick(random, 61, 3000));
        std::string line = kPreview[pick(random, 0, 3)] + kBetween[pick(random, 0, kBetween.size() - 1)] + number;
        if (pick(random, 0, 1)) line += random_text(random, pick(random, 1, 30), kPlain);
        if (pick(random, 0, 3) == 0) line = random_text(random, pick(random, 1, 50), kPlain) + line;
        add_in_pieces(args, line);
    } else if (kind < 80) {  // long, with a switch somewhere (or not)
        std::string line = random_text(random, pick(random, 5000, 400000), kPlain);
        if (pick(random, 0, 1)) {
            const std::vector<std::string>& set = pick(random, 0, 1) ? kPreview : kUnsupported;
            line.insert(pick(random, 0, line.size()), set[pick(random, 0, set.size() - 1)] + random_digits(random, 12));
        }
        add_in_pieces(args, line);
    } else if (kind < 90) {  // very many arguments
        for (size_t i = pick(random, 500, 5000); i > 0; --i) args.push_back(random_text(random, pick(random, 0, 3), kSwitchy));
    } else {  // the switch that selects nothing, among bytes of every kind
        args.push_back(random_bytes(random, pick(random, 0, 40)));
        args.push_back(kUnsupported[pick(random, 0, 3)] + random_bytes(random, pick(random, 0, 40)));
    }
    return args;
}

std::string join(const std::vector<std::string>& args) {
    std::string line;
    for (size_t i = 0; i < args.size(); ++i) line += (i == 0 ? "" : " ") + args[i];
    return line;
}

std::string printable(const std::string& text, size_t limit = 200) {
    std::string out;
    for (size_t i = 0; i < text.size() && out.size() < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    if (out.size() >= limit) out += "... (" + std::to_string(text.size()) + " characters)";
    return out;
}

class RandomCommandLineTest : public AquariumTest {
protected:
    // One program run in one of the parallel slots.
    struct Slot {
        Process process;
        size_t index = 0;
        std::string line;
        bool without_display = false;   // selects run or configure mode
        bool may_keep_running = false;  // a preview that found a window to live in
        bool selects_preview = false;   // the preview switch wins (configure is looked for first)
        bool stopped_by_us = false;
        std::chrono::steady_clock::time_point started;
    };

    // Lines that select run or configure mode are started without a
    // display: they must then end at once with an error text instead of
    // opening a window. All other lines get the display.
    void start(Slot& slot, size_t slot_number, size_t index, const std::vector<std::string>& args) {
        slot.index = index;
        slot.line = join(args);
        const bool windowed_mode = slot.line.empty() || contains_any(slot.line, kRunOrConfigure);
        slot.without_display = windowed_mode;
        slot.may_keep_running = !windowed_mode && contains_any(slot.line, kPreview);
        slot.selects_preview = contains_any(slot.line, kPreview) && !contains_any(slot.line, kConfigure);
        slot.stopped_by_us = false;
        const std::string folder = dir_ + "/slot" + std::to_string(slot_number);
        EnvChanges env = program_environment(!windowed_mode);
        env.push_back({"XDG_CONFIG_HOME", folder + "/config"});
        env.push_back({"XDG_RUNTIME_DIR", folder + "/runtime"});
        std::vector<std::string> argv{AQUARIUM_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        slot.started = std::chrono::steady_clock::now();
        ASSERT_TRUE(slot.process.start(argv, env, folder + "/run")) << "cannot start the program";
    }

    void prepare_slot_folders(size_t slot_number) {
        const std::string folder = dir_ + "/slot" + std::to_string(slot_number);
        std::filesystem::create_directories(folder + "/config");
        std::filesystem::create_directories(folder + "/runtime");
        std::filesystem::permissions(folder + "/runtime", std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
    }

    // Judges a run that has ended; false when it has failed. Status 1 is a
    // preview whose number names no window.
    bool judge(Slot& slot, std::string& failure) {
        const ExitStatus status = *slot.process.status();
        std::ostringstream why;
        if (!status.exited && !slot.stopped_by_us) {
            why << "crashed: " << status.describe();
        } else if (status.exited && status.code != 0 && !(status.code == 1 && slot.selects_preview)) {
            why << "ended with " << status.describe();
        } else if (!slot.without_display && (slot.process.output() != "" || slot.process.errors() != "")) {
            why << "was not silent: " << printable(slot.process.output() + slot.process.errors());
        }
        if (why.str().empty()) return true;
        failure = "line " + std::to_string(slot.index) + " " + why.str() + "\n    command line: " + printable(slot.line);
        return false;
    }
};

// Most lines select nothing and must end at once and silently; lines with
// a preview switch must end as well (with status 1) unless their number
// names a window, and then end on a signal like any program; run and configure
// lines without a display end with an error text. None may crash.
TEST_F(RandomCommandLineTest, ThousandsOfRandomLinesNeverCrashTheProgram) {
    const size_t count = environment_number("AQUARIUM_E2E_FUZZ_LINES", 2000);
    const size_t seed = environment_number("AQUARIUM_E2E_FUZZ_SEED", 20110817);
    RecordProperty("seed", std::to_string(seed));
    Random random(seed);

    constexpr size_t kSlots = 2;
    std::array<Slot, kSlots> slots;
    std::array<bool, kSlots> busy{};
    for (size_t s = 0; s < kSlots; ++s) prepare_slot_folders(s);

    std::vector<std::string> failures;
    size_t next = 0, stopped = 0, without_display = 0, previews = 0;
    const auto started = std::chrono::steady_clock::now();
    while (next < count || busy[0] || busy[1]) {
        for (size_t s = 0; s < kSlots; ++s) {
            Slot& slot = slots[s];
            if (!busy[s]) {
                if (next >= count) continue;
                ASSERT_NO_FATAL_FAILURE(start(slot, s, next, random_command_line(random)));
                without_display += slot.without_display ? 1 : 0;
                previews += slot.may_keep_running ? 1 : 0;
                ++next;
                busy[s] = true;
                continue;
            }
            if (slot.process.running()) {
                const auto age = std::chrono::steady_clock::now() - slot.started;
                if (slot.may_keep_running && age > 3s) {
                    slot.stopped_by_us = true;
                    ++stopped;
                    slot.process.stop(SIGTERM);
                } else if (age > 15s) {
                    failures.push_back("line " + std::to_string(slot.index) + " did not end by itself\n    " +
                                       "command line: " + printable(slot.line));
                    slot.stopped_by_us = true;
                    slot.process.stop(SIGKILL);
                } else {
                    continue;
                }
            }
            std::string failure;
            if (!judge(slot, failure)) failures.push_back(failure);
            busy[s] = false;
        }
        std::this_thread::sleep_for(1ms);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf(
        "[ e2e ] %zu command lines in %.1f s (seed %zu): %zu run or configure lines without a display, %zu with a "
        "preview switch (%zu found a window to live in and were stopped), %zu with neither\n",
        count, seconds, seed, without_display, previews, stopped, count - without_display - previews);

    EXPECT_TRUE(failures.empty()) << failures.size() << " of " << count << " lines failed (seed " << seed
                                  << "); the first:\n"
                                  << [&] {
                                         std::string text;
                                         for (size_t i = 0; i < failures.size() && i < 10; ++i) text += failures[i] + "\n";
                                         return text;
                                     }();
}

// ---- hostile settings files ----

std::string binary_garbage() {
    Random random(7);
    std::string text;
    while (text.size() < 64 * 1024) {
        const size_t kind = pick(random, 0, 9);
        if (kind == 0) {
            text += "[Software\\marevista_20110817]\n";
        } else if (kind == 1) {
            text += kGeneralSettings[pick(random, 0, kGeneralSettings.size() - 1)] + "=";
        } else {
            std::string bytes(pick(random, 1, 200), '\0');
            for (char& c : bytes) c = static_cast<char>(pick(random, 0, 255));
            text += bytes;
        }
    }
    return text;
}

// Every value not a number, not finite, or far out of range; the device
// indices point far outside the device table.
std::string not_numbers() {
    return "[Software\\marevista_20110817]\n"
           "r_floor=99999999999999999999999999999\n"
           "d_show_info=-nan\n"
           "d_exit_omm=1e999\n"
           "camxz=nan\n"
           "camyy=inf\n"
           "camrr=0x7f800000\n"
           "camlr=0x7fc00000\n"
           "camhh=-1e39\n"
           "r_adapter=4294967295\n"
           "r_device=-1\n"
           "r_mode=99999999999\n"
           "r_multi_sample=2147483647\n";
}

// Finite, but as large as a float gets; indices just outside the table.
std::string huge_numbers() {
    return "[Software\\marevista_20110817]\n"
           "r_floor=-2147483648\n"
           "d_show_info=5\n"
           "d_exit_omm=4294967295\n"
           "camxz=3.4028235e38\n"
           "camyy=3.4028235e38\n"
           "camrr=-3.4028235e38\n"
           "camlr=-3.4028235e38\n"
           "camhh=1e-45\n"
           "r_adapter=1\n"
           "r_device=2\n"
           "r_mode=100000\n"
           "r_multi_sample=-5\n";
}

// A device choice inside the table with a multisample type that no
// software or common hardware device offers (three samples).
std::string multisample_not_offered() {
    return "[Software\\marevista_20110817]\n"
           "r_adapter=0\n"
           "r_device=0\n"
           "r_mode=0\n"
           "r_multi_sample=3\n";
}

std::string overlong_lines() {
    std::string text;
    text.append("[").append(200000, 'S').append("]\n");
    text += std::string(1 << 20, 'x') + "\n";
    text += "[Software\\marevista_20110817]\n";
    text += "camxz=" + std::string(10000, '7') + "\n";
    text += "camyy=0." + std::string(100000, '0') + "1\n";
    text += "r_floor=" + std::string(1 << 20, '1') + "\n";
    text += std::string(300000, 'k') + "=1\n";
    for (int i = 0; i < 50000; ++i) text += "junk" + std::to_string(i) + "=" + std::to_string(i * 7919) + "\n";
    text += "d_show_info=1";  // no line end
    return text;
}

std::string broken_structure() {
    std::string text = "\xEF\xBB\xBF";  // a byte-order mark
    text += "[Software\\marevista_20110817\r\n";
    text += "=270\r\n";
    text += "camxz\r\n";
    text += "; camyy=10\r\n";
    text += "[Software\\marevista_20110817]\r\n";
    text += "camxz = 725 \r\n";
    text += std::string("camyy=1") + '\0' + "5\r\n";
    text += "camrr==2\r\n";
    text += "[Software\\marevista_20110817]\r\n";
    text += "camxz=-370\r\n";
    text += "d_show_info=\r\n";
    text += "[]\r\n[[[\r\n]]]\r\n";
    return text;
}

struct HostileSettings {
    const char* name;
    std::string (*content)();
};

class HostileSettingsTest : public AquariumTest, public ::testing::WithParamInterface<HostileSettings> {};

TEST_P(HostileSettingsTest, NeverStopsARun) {
    write_settings(GetParam().content());
    Process aquarium = launch({"-s"});
    const std::optional<uint32_t> window = wait_for_full_screen_picture(aquarium);
    ASSERT_TRUE(window.has_value()) << "no picture; the program "
                                    << (aquarium.running() ? "still runs" : aquarium.status()->describe())
                                    << "; errors: " << aquarium.errors();
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(aquarium.running());
    xdotool({"key", "Escape"});
    const std::optional<ExitStatus> status = aquarium.wait_for_exit(10s);
    ASSERT_TRUE(status.has_value()) << "Escape did not end it";
    EXPECT_TRUE(status->clean()) << status->describe() << "; errors: " << aquarium.errors();

    // A file over the size limit cannot be read and is left as it was.
    const std::string original = GetParam().content();
    if (original.size() > (1u << 20)) {
        EXPECT_TRUE(read_file(settings_path()) == original) << "a file that could not be read was replaced";
        return;
    }
    // Otherwise what the run saved reads back, through the program's own
    // reader, as sound values. (Lines that no reader uses stay in the file
    // byte for byte, so a plain look at the text would find them too.)
    platform::files::IniSettingsStore store(settings_path().c_str(), settings::kSettingsKeyName);
    ASSERT_EQ(store.open_key(), platform::kOk);
    for (const std::string& name : kGeneralSettings) {
        uint32_t bits = 0;
        ASSERT_TRUE(store.read_float_value(name.c_str(), bits)) << name << " not saved";
        if (name.rfind("cam", 0) == 0) {
            EXPECT_TRUE(std::isfinite(std::bit_cast<float>(bits))) << name;
        }
    }
    uint32_t show_info = 2;
    EXPECT_TRUE(store.read_value("d_show_info", show_info) && show_info <= 1) << show_info;
    store.close_key();
}

INSTANTIATE_TEST_SUITE_P(Files, HostileSettingsTest,
                         ::testing::Values(HostileSettings{"BinaryGarbage", &binary_garbage},
                                           HostileSettings{"NotNumbers", &not_numbers},
                                           HostileSettings{"HugeNumbers", &huge_numbers},
                                           HostileSettings{"MultisampleNotOffered", &multisample_not_offered},
                                           HostileSettings{"OverlongLines", &overlong_lines},
                                           HostileSettings{"BrokenStructure", &broken_structure}),
                         [](const ::testing::TestParamInfo<HostileSettings>& info) {
                             return std::string(info.param.name);
                         });

// The settings path is taken by a folder: nothing can be read or saved,
// and the screen saver runs all the same.
TEST_F(AquariumTest, ASettingsPathThatIsAFolderNeverStopsARun) {
    std::filesystem::create_directories(settings_path());
    Process aquarium = launch({"-s"});
    ASSERT_TRUE(wait_for_full_screen_picture(aquarium).has_value()) << "errors: " << aquarium.errors();
    xdotool({"key", "Escape"});
    const std::optional<ExitStatus> status = aquarium.wait_for_exit(10s);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->clean()) << status->describe();
    EXPECT_TRUE(std::filesystem::is_directory(settings_path()));
}

}  // namespace
}  // namespace e2e
