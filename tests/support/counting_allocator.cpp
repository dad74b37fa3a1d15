#include "tests/support/counting_allocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> g_counting{true};
std::atomic<long> g_allocations{0};

void count() {
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
}

void* allocate(std::size_t size) {
    count();
    return std::malloc(size == 0 ? 1 : size);
}

// Over-aligned blocks: the Windows C runtime has no aligned_alloc, and its
// aligned blocks must go back through _aligned_free.
void* allocate_aligned(std::size_t size, std::align_val_t align) {
    count();
    const std::size_t a = static_cast<std::size_t>(align);
#ifdef _WIN32
    return _aligned_malloc(size == 0 ? 1 : size, a);
#else
    return std::aligned_alloc(a, (size + a - 1) / a * a);
#endif
}

void free_aligned(void* p) {
#ifdef _WIN32
    _aligned_free(p);
#else
    std::free(p);
#endif
}

void* or_throw(void* p) {
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

namespace test_support {

long allocation_count() { return g_allocations.load(); }
void set_allocation_counting(bool on) { g_counting.store(on); }

}  // namespace test_support

void* operator new(std::size_t size) { return or_throw(allocate(size)); }
void* operator new[](std::size_t size) { return or_throw(allocate(size)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t align) { return or_throw(allocate_aligned(size, align)); }
void* operator new[](std::size_t size, std::align_val_t align) { return or_throw(allocate_aligned(size, align)); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { free_aligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { free_aligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { free_aligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { free_aligned(p); }
