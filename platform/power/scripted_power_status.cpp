#include "platform/power/scripted_power_status.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace platform {
namespace {

constexpr size_t kScriptBytes = 256;
constexpr const char* kBlanks = " \t\r\n";

bool word_is(const char* word, size_t length, const char* expected) {
    return length == std::strlen(expected) && std::strncmp(word, expected, length) == 0;
}

class ScriptedPowerStatus final : public PowerStatus {
public:
    explicit ScriptedPowerStatus(const char* path) : path_(path) {}

    PowerState read() override {
        char text[kScriptBytes];
        text[0] = '\0';
        const int fd = open(path_, O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            const ssize_t got = ::read(fd, text, sizeof text - 1);
            text[got > 0 ? got : 0] = '\0';
            close(fd);
        }
        return parse_power_words(text);
    }

private:
    const char* path_;
};

}  // namespace

PowerState parse_power_words(const char* text) {
    PowerState state{false, false};
    if (text == nullptr) return state;
    for (const char* p = text + std::strspn(text, kBlanks); *p != '\0'; p += std::strspn(p, kBlanks)) {
        const size_t length = std::strcspn(p, kBlanks);
        if (word_is(p, length, "on")) state.display_dark = false;
        if (word_is(p, length, "off") || word_is(p, length, "suspend") || word_is(p, length, "standby")) {
            state.display_dark = true;
        }
        if (word_is(p, length, "battery")) state.on_battery = true;
        if (word_is(p, length, "mains")) state.on_battery = false;
        p += length;
    }
    return state;
}

PowerStatus* make_scripted_power_status(const char* path) {
    static ScriptedPowerStatus status(path);
    return &status;
}

}  // namespace platform
