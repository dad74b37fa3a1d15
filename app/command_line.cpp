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

constexpr uint64_t kLowestSignedHandle = 0x80000000ull;           // magnitude of -2^31
constexpr uint64_t kLowestWidenedHandle = 0xFFFFFFFF80000000ull;  // -2^31 widened to 64 bits, unsigned

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

WindowNumber read_window_number(const char* text) {
    const char* p = text;
    while (is_blank(*p)) ++p;
    if (*p == ':') ++p;
    while (is_blank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (*p < '0' || *p > '9') return WindowNumber{false, 0};
    uint64_t magnitude = 0;
    bool too_large = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const uint64_t digit = static_cast<uint64_t>(*p - '0');
        if (magnitude > (UINT64_MAX - digit) / 10) too_large = true;  // keeps reading the digits
        if (!too_large) magnitude = magnitude * 10 + digit;
    }
    constexpr WindowNumber kSpellsNoWindow{true, 0};
    if (too_large) return kSpellsNoWindow;
    uint32_t low_bits = 0;  // the 32 bits that count
    if (negative) {
        if (magnitude > kLowestSignedHandle) return kSpellsNoWindow;
        low_bits = 0u - static_cast<uint32_t>(magnitude);
    } else {
        if (magnitude > UINT32_MAX && magnitude < kLowestWidenedHandle) return kSpellsNoWindow;
        low_bits = static_cast<uint32_t>(magnitude);
    }
    const auto widened = static_cast<intptr_t>(static_cast<int32_t>(low_bits));
    return WindowNumber{true, static_cast<platform::NativeWindow>(widened)};
}

bool parse_command_line(const char* command_line, platform::NativeWindow foreground,
                        CommandLineResult& result) {
    result.host_window = 0;
    result.window_named = false;
    if (command_line[0] == '\0') {
        result.mode = ScreenSaverMode::configure;
        return true;
    }
    for (const Switch& s : kSwitches) {
        const char* match = std::strstr(command_line, s.text);
        if (match == nullptr) continue;
        result.mode = s.mode;
        const WindowNumber number = read_window_number(match + 2);
        result.window_named = number.written;
        result.host_window = number.written ? number.window : foreground;
        return true;
    }
    return false;
}

}  // namespace app
