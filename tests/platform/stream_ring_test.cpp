// The streaming rings' placement and fences, on a ring in plain memory with
// fences that only count: the software driver shows neither fault in a
// picture (its draws are done before a fence could matter).
#include "platform/gl/stream_ring.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform::gl {
namespace {

constexpr uint32_t kCapacity = 64;  // four sections of 16 bytes

// Fence n is the n-th set, from 1. A wait notes the fence and what the ring
// held as the wait began.
struct FakeFences {
    const StreamRing* ring = nullptr;
    uintptr_t set = 0;
    std::vector<uintptr_t> waited;
    std::vector<std::string> ring_at_wait;

    RingFences seam() {
        return RingFences{
            [](void* context) -> void* { return reinterpret_cast<void*>(++static_cast<FakeFences*>(context)->set); },
            [](void* context, void* fence) {
                FakeFences& f = *static_cast<FakeFences*>(context);
                f.waited.push_back(reinterpret_cast<uintptr_t>(fence));
                f.ring_at_wait.emplace_back(reinterpret_cast<const char*>(f.ring->mapped), f.ring->capacity);
            },
            [](void*, void*) {}, this};
    }
};

struct MappedRing {
    char bytes[kCapacity] = {};
    StreamRing ring{};
    FakeFences fences;

    MappedRing() {
        ring.capacity = kCapacity;
        ring.mapped = reinterpret_cast<uint8_t*>(bytes);
        fences.ring = &ring;
    }
    uint32_t append(char fill, uint32_t count, uint32_t alignment) {
        const std::string data(count, fill);
        return write_mapped_ring(ring, data.data(), count, alignment, fences.seam());
    }
};

TEST(StreamRing, AppendsGoAtTheNextMultipleOfTheirAlignmentOrAtTheFront) {
    MappedRing r;
    const struct {
        char fill;
        uint32_t bytes, alignment, offset;
    } appends[] = {
        // 31 rounds up to 35; the last one would pass the end at 40.
        {'a', 3, 1, 0}, {'b', 5, 4, 4}, {'c', 8, 16, 16}, {'d', 7, 6, 24}, {'e', 2, 5, 35}, {'f', 30, 4, 0},
    };
    for (const auto& a : appends) {
        EXPECT_EQ(r.append(a.fill, a.bytes, a.alignment), a.offset) << a.fill;
        EXPECT_EQ(std::string(r.bytes + a.offset, a.bytes), std::string(a.bytes, a.fill)) << a.fill;
    }
}

TEST(StreamRing, ASectionIsWrittenAgainOnlyAfterItsFenceHasSignalled) {
    MappedRing r;
    r.append('a', 16, 1);  // section 0
    r.append('b', 16, 1);  // section 1: writing left 0, fence 1
    r.append('c', 32, 1);  // sections 2 and 3: fence 2 on section 1
    EXPECT_EQ(r.fences.set, 2u);
    EXPECT_TRUE(r.fences.waited.empty());

    // The ring starts again: 2 and 3 get fences 3 and 4, and section 0 is
    // written only once fence 1 has been met, while it still held 'a'.
    EXPECT_EQ(r.append('d', 8, 1), 0u);
    EXPECT_EQ(r.fences.set, 4u);
    ASSERT_EQ(r.fences.waited, (std::vector<uintptr_t>{1}));
    EXPECT_EQ(r.fences.ring_at_wait[0].substr(0, 16), std::string(16, 'a'));

    // Reaching into section 1 meets its fence first; sections 2 and 3 keep theirs.
    EXPECT_EQ(r.append('e', 16, 1), 8u);
    ASSERT_EQ(r.fences.waited, (std::vector<uintptr_t>{1, 2}));
    EXPECT_EQ(r.fences.ring_at_wait[1].substr(16, 16), std::string(16, 'b'));
    EXPECT_EQ(r.fences.set, 4u);
}

}  // namespace
}  // namespace platform::gl
