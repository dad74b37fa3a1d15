// Counts the heap allocations of a test executable that links the
// counting allocator (it replaces the global operator new and delete).
// Used to prove that frames and simulation steps allocate nothing.
#pragma once

namespace test_support {

// Allocations made since the program started, counted while counting is on.
long allocation_count();
// Turns counting on or off (it starts on).
void set_allocation_counting(bool on);

}  // namespace test_support
