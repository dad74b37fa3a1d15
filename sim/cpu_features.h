// Run-time choice between the versions of the hot loops: the portable code
// (SSE2, which every x86-64 processor has), AVX2 and AVX-512. All of them
// perform the same IEEE double operations in the same order, lane by lane,
// so they give identical results bit for bit; the wider ones only do more
// of them per instruction. None uses fused multiply-add.
//
// AQUARIUM_SIM_PATH=sse2|avx2|avx512 narrows the choice (sse2 forces the
// portable code whatever the processor offers): the tests run every path
// and compare their traces. It is read once, at the first step.
#pragma once

#include <cstdlib>

namespace sim {

// Instruction sets enabled for the wide versions of the hot loops. AVX2
// does not bring FMA with it: fused multiply-adds would round differently.
#define SIM_AVX2_TARGET __attribute__((target("avx2")))
#define SIM_AVX512_TARGET __attribute__((target("avx512f,avx512dq,avx512vl")))

enum class SimPath {
    Sse2,    // portable: eight lanes in four SSE2 registers
    Avx2,    // eight lanes in two AVX2 registers
    Avx512,  // eight lanes in one AVX-512 register (F, DQ and VL)
};

// The widest path this processor runs.
SimPath widest_sim_path();

// The path named `name` ("sse2", "avx2" or "avx512"); false for other names.
bool parse_sim_path(const char* name, SimPath& path);
const char* sim_path_name(SimPath path);

// The path of `requested` (a name as above, or null) when `widest` allows
// it, else `widest`: a request for more than the processor runs, or an
// unknown name, is ignored.
SimPath choose_sim_path(SimPath widest, const char* requested);

// The path the hot loops take: the widest the processor runs, or a narrower
// one named by the environment variable AQUARIUM_SIM_PATH. Read once.
SimPath sim_path();

// Makes the hot loops take `path` from now on (tests run every path in one
// process); false, and nothing changes, when the processor cannot run it.
bool set_sim_path(SimPath path);

// The name of the code the hot loops run, for reports: "sse2", "avx2" or "avx512".
inline const char* sim_code_path() { return sim_path_name(sim_path()); }

}  // namespace sim
