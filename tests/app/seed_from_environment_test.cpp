// AQUARIUM_SEED fixes the scene's seed only when it is a whole unsigned
// 32-bit decimal number; anything else leaves the clock's seed.
#include "app/seed_from_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Sets or (with null) removes AQUARIUM_SEED, on either system's C library.
void set_seed_variable(const char* text) {
#ifdef _WIN32
    _putenv_s("AQUARIUM_SEED", text != nullptr ? text : "");
#else
    if (text != nullptr) {
        setenv("AQUARIUM_SEED", text, 1);
    } else {
        unsetenv("AQUARIUM_SEED");
    }
#endif
}

struct SeedCase {
    const char* text;    // the variable's value; null: not set
    bool taken;
    uint32_t seed;
};

TEST(SeedFromEnvironment, OnlyWholeUnsigned32BitNumbersAreTaken) {
    const SeedCase cases[] = {
        {"7", true, 7},          {"0", true, 0},         {"4294967295", true, 4294967295u},
        {"4294967296", false, 0}, {"-1", false, 0},      {"+3", false, 0},
        {"12a", false, 0},        {"", false, 0},        {" 5", false, 0},
        {nullptr, false, 0},
    };
    for (const SeedCase& c : cases) {
        SCOPED_TRACE(c.text != nullptr ? c.text : "(unset)");
        set_seed_variable(c.text);
        uint32_t seed = 99;
        EXPECT_EQ(app::seed_from_environment(seed), c.taken);
        EXPECT_EQ(seed, c.taken ? c.seed : 99u);
    }
    set_seed_variable(nullptr);
}

}  // namespace
