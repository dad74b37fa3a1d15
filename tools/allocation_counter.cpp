#include "tools/allocation_counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

// The C library's own allocator under its internal names. Defining malloc
// in the executable puts these definitions ahead of the C library's for
// every shared library that the process loads, the driver among them.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<uint64_t> g_allocations{0};

inline void count() { g_allocations.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

namespace tools {

uint64_t process_allocations() { return g_allocations.load(std::memory_order_relaxed); }

bool process_allocations_counted() {
#ifdef AQUARIUM_NO_ALLOCATION_COUNT
    return false;
#else
    return true;
#endif
}

}  // namespace tools

// The sanitizers bring allocators of their own, which these would bypass.
#ifndef AQUARIUM_NO_ALLOCATION_COUNT
extern "C" {

void* malloc(size_t size) {
    count();
    return __libc_malloc(size);
}

void* calloc(size_t count_of, size_t size) {
    count();
    return __libc_calloc(count_of, size);
}

void* realloc(void* pointer, size_t size) {
    count();
    return __libc_realloc(pointer, size);
}

void* memalign(size_t alignment, size_t size) {
    count();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    count();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
    // A power of two and a multiple of the pointer size, as the C library asks.
    if (alignment == 0 || (alignment & (alignment - 1)) != 0 || alignment % sizeof(void*) != 0) return EINVAL;
    count();
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) return ENOMEM;
    *out = pointer;
    return 0;
}

}  // extern "C"
#endif
