// The scene's random seed fixed from outside, for reproducible runs and tests.
#pragma once

#include <cstdint>

namespace app {

// AQUARIUM_SEED, when it holds a whole unsigned 32-bit decimal number, is
// the seed: true, with `seed` set. Anything else leaves the clock's seed.
bool seed_from_environment(uint32_t& seed);

}  // namespace app
