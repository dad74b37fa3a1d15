#include "tools/headless_options.h"

#include <cerrno>
#include <cstdlib>

namespace tools {

bool parse_unsigned(const char* text, uint64_t max, uint64_t& out) {
    if (text == nullptr || *text < '0' || *text > '9') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || value > max) {
        return false;
    }
    out = value;
    return true;
}

}  // namespace tools
