#include "platform/gl/index_batches.h"

#include <gtest/gtest.h>

namespace platform::gl {
namespace {

TEST(IndexBatches, BoundsCoverBothIndexSizes) {
    const uint16_t short_indices[] = {7, 3, 65535, 12};
    const uint32_t long_indices[] = {70000, 5, 4000000000u};
    const IndexBounds shorts = index_bounds(short_indices, 4, 2);
    EXPECT_EQ(shorts.lowest, 3u);
    EXPECT_EQ(shorts.highest, 65535u);
    const IndexBounds longs = index_bounds(long_indices, 3, 4);
    EXPECT_EQ(longs.lowest, 5u);
    EXPECT_EQ(longs.highest, 4000000000u);
    // Only the first `count` indices count.
    EXPECT_EQ(index_bounds(short_indices, 2, 2).highest, 7u);
}

TEST(IndexBatches, RebasingKeepsTheIndicesDifferences) {
    const uint16_t short_indices[] = {1002, 1000, 1001};
    uint16_t short_out[3] = {};
    rebase_indices(short_indices, 3, 2, 1000, short_out);
    EXPECT_EQ(short_out[0], 2);
    EXPECT_EQ(short_out[1], 0);
    EXPECT_EQ(short_out[2], 1);
    const uint32_t long_indices[] = {70001, 70000};
    uint32_t long_out[2] = {};
    rebase_indices(long_indices, 2, 4, 70000, long_out);
    EXPECT_EQ(long_out[0], 1u);
    EXPECT_EQ(long_out[1], 0u);
}

// A batch boundary inside a primitive would tear it into two wrong ones.
TEST(IndexBatches, BatchesHoldWholePrimitivesWithinOnePass) {
    const uint32_t triangles = indices_per_batch(PrimitiveType::TriangleList);
    const uint32_t lines = indices_per_batch(PrimitiveType::LineList);
    EXPECT_EQ(triangles % 3, 0u);
    EXPECT_EQ(lines % 2, 0u);
    EXPECT_LE(triangles, kIndicesPerPass);
    EXPECT_LE(lines, kIndicesPerPass);
    EXPECT_GT(triangles + 3, kIndicesPerPass);
}

}  // namespace
}  // namespace platform::gl
