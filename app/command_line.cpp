#include "app/command_line.h"

#include <cstring>

namespace app {

namespace {

struct Switch {
    const char* text;
    ScreenSaverMode mode;
};

// Searched in this order; the search is case-sensitive, hence both cases.
constexpr Switch kSwitches[] = {
    {"-c", ScreenSaverMode::configure},   {"-C", ScreenSaverMode::configure},
    {"/c", ScreenSaverMode::configure},   {"/C", ScreenSaverMode::configure},
    {"-p", ScreenSaverMode::preview},     {"-P", ScreenSaverMode::preview},
    {"/p", ScreenSaverMode::preview},     {"/P", ScreenSaverMode::preview},
    {"-s", ScreenSaverMode::run},         {"-S", ScreenSaverMode::run},
    {"/s", ScreenSaverMode::run},         {"/S", ScreenSaverMode::run},
    {"-a", ScreenSaverMode::unsupported}, {"-A", ScreenSaverMode::unsupported},
    {"/a", ScreenSaverMode::unsupported}, {"/A", ScreenSaverMode::unsupported},
};

constexpr uint64_t kLargestWindowId = 0xFFFFFFFFull;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

void join_arguments(int argc, const char* const* argv, char* out, int capacity) {
    if (capacity <= 0) return;
    int length = 0;
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        if (i > 1 && length < capacity - 1) out[length++] = ' ';
        for (const char* p = argv[i]; *p != '\0' && length < capacity - 1; ++p) {
            out[length++] = *p;
        }
    }
    out[length] = '\0';
}

platform::NativeWindow read_window_id(const char* text) {
    const char* p = text;
    while (is_blank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint64_t value = 0;
    bool too_large = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > kLargestWindowId) {
            too_large = true;
            value = kLargestWindowId + 1;  // keep consuming digits without overflow
        }
    }
    if (too_large || (negative && value != 0)) return 0;
    return static_cast<platform::NativeWindow>(value);
}

bool parse_command_line(const char* command_line, platform::NativeWindow foreground,
                        CommandLineResult& result) {
    result.host_window = 0;
    if (command_line[0] == '\0') {
        result.mode = ScreenSaverMode::configure;
        return true;
    }
    for (const Switch& s : kSwitches) {
        const char* match = std::strstr(command_line, s.text);
        if (match == nullptr) continue;
        result.mode = s.mode;
        result.host_window = read_window_id(match + 2);
        if (result.host_window == 0) result.host_window = foreground;
        return true;
    }
    return false;
}

}  // namespace app
