// Run-time choice between the portable code and the AVX-512 code of the hot
// loops. Both versions perform the same IEEE double operations in the same
// order, lane by lane, so they give identical results bit for bit; the wide
// one only does several of them per instruction. Neither uses fused
// multiply-add.
#pragma once

namespace sim {

// Instruction sets enabled for the AVX-512 versions of the hot loops.
#define SIM_AVX512_TARGET __attribute__((target("avx512f,avx512dq,avx512vl")))

// True when the processor runs the AVX-512 versions (AVX-512 F, DQ and VL).
inline bool cpu_has_avx512() {
    static const bool supported = __builtin_cpu_supports("avx512f") &&
                                  __builtin_cpu_supports("avx512dq") &&
                                  __builtin_cpu_supports("avx512vl");
    return supported;
}

}  // namespace sim
