// Counts every heap allocation the process makes, the OpenGL driver's
// included: aquarium-headless defines malloc and its relatives itself (see
// allocation_counter.cpp), so calls from shared libraries arrive here too.
#pragma once

#include <cstdint>

namespace tools {

// malloc, calloc, realloc and the aligned allocations since the program
// started, from every thread.
uint64_t process_allocations();
// False in builds that leave the counting out (sanitizer builds).
bool process_allocations_counted();

}  // namespace tools
