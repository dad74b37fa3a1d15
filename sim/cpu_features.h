// Run-time choice between the portable code and the AVX-512 code of the hot
// loops. Both versions perform the same IEEE double operations in the same
// order, lane by lane, so they give identical results bit for bit; the wide
// one only does several of them per instruction. Neither uses fused
// multiply-add.
//
// AQUARIUM_SIM_PORTABLE set to anything but "" or "0" makes every hot loop
// take the portable code, whatever the processor offers: the tests run both
// and compare their traces. It is read once, at the first step.
#pragma once

#include <cstdlib>

namespace sim {

// True when the environment asks for the portable code only.
inline bool portable_code_forced() {
    static const bool forced = [] {
        const char* value = std::getenv("AQUARIUM_SIM_PORTABLE");
        return value != nullptr && value[0] != '\0' && !(value[0] == '0' && value[1] == '\0');
    }();
    return forced;
}

// Instruction sets enabled for the AVX-512 versions of the hot loops.
#define SIM_AVX512_TARGET __attribute__((target("avx512f,avx512dq,avx512vl")))

// True when the AVX-512 versions run: the processor has AVX-512 F, DQ and VL
// and the portable code is not forced.
inline bool cpu_has_avx512() {
    static const bool supported = !portable_code_forced() && __builtin_cpu_supports("avx512f") &&
                                  __builtin_cpu_supports("avx512dq") &&
                                  __builtin_cpu_supports("avx512vl");
    return supported;
}

// The name of the code the hot loops run, for reports: "avx512" or "portable".
inline const char* sim_code_path() { return cpu_has_avx512() ? "avx512" : "portable"; }

}  // namespace sim
