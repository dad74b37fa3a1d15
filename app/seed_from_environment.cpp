#include "app/seed_from_environment.h"

#include <cstdlib>

namespace app {

bool seed_from_environment(uint32_t& seed) {
    const char* text = std::getenv("AQUARIUM_SEED");
    if (text == nullptr || *text < '0' || *text > '9') return false;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*end != '\0' || value > 0xFFFFFFFFull) return false;
    seed = static_cast<uint32_t>(value);
    return true;
}

}  // namespace app
