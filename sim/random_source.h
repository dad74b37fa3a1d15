// The program's one source of random numbers: a linear congruential
// generator with the constants of the classic C library rand(), so that a
// seed gives the same sequence on every platform. The order of draws is
// part of every algorithm that draws.
#pragma once

#include <cstdint>

namespace sim {

inline constexpr int kRandomMax = 32767;

struct RandomSource {
    uint32_t state;  // generator state, advanced by every draw
};

inline void random_seed(RandomSource& source, uint32_t seed) { source.state = seed; }

// Next value in 0 ... 32767.
inline int random_next(RandomSource& source) {
    source.state = source.state * 214013u + 2531011u;
    return static_cast<int>((source.state >> 16) & 32767u);
}

// Next value as U = rand() / 32767.0, in [0, 1] with both ends included.
inline double random_unit(RandomSource& source) {
    return static_cast<double>(random_next(source)) / 32767.0;
}

}  // namespace sim
