// The simulation never allocates once the scene is built: every global
// operator new of this executable counts its calls.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "render/scene_setup.h"
#include "sim/records.h"
#include "sim/scheduling.h"
#include "sim/sim_step.h"
#include "sim_test_support.h"

namespace {

std::atomic<long> g_allocations{0};

void* counted_alloc(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}

void* counted_aligned_alloc(std::size_t size, std::align_val_t align) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t a = static_cast<std::size_t>(align);
    return std::aligned_alloc(a, (size + a - 1) / a * a);
}

void* or_throw(void* p) {
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t size) { return or_throw(counted_alloc(size)); }
void* operator new[](std::size_t size) { return or_throw(counted_alloc(size)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted_alloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted_alloc(size); }
void* operator new(std::size_t size, std::align_val_t align) {
    return or_throw(counted_aligned_alloc(size, align));
}
void* operator new[](std::size_t size, std::align_val_t align) {
    return or_throw(counted_aligned_alloc(size, align));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace {

TEST(Allocation, CounterSeesAllocations) {
    const long before = g_allocations.load();
    void* p = ::operator new(64);
    ::operator delete(p);
    EXPECT_EQ(g_allocations.load() - before, 1);
}

TEST(Allocation, SceneSetUpAllocatesNothingBeyondTheRecords) {
    simtest::Scene scene = simtest::make_records();
    const long before = g_allocations.load();
    render::setup_scene(scene.c(), scene.w(), 2024);
    EXPECT_EQ(g_allocations.load() - before, 0);
}

TEST(Allocation, FramesAllocateNothing) {
    simtest::Scene scene = simtest::make_scene(2024);
    const long before = g_allocations.load();
    // 90 simulated seconds: rate measurement, manoeuvres, a second target.
    for (int64_t k = 1; k <= 5400; ++k) {
        sim::advance_frame(scene.c(), scene.w(), simtest::frame_time(k));
    }
    const long during = g_allocations.load() - before;
    EXPECT_EQ(during, 0);
    EXPECT_NE(scene.w().manoeuvre, 0);
    EXPECT_GT(scene.w().next_target_time, 90.0);
}

}  // namespace
