// The embedded pictures decode to what the program expects, and the decoder
// refuses what does not fit the caller's buffer or is not a PNG.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "resources/resources.h"

namespace {

TEST(Resources, PreviewDecodesToItsSizeWithoutAlpha) {
    std::vector<uint32_t> pixels(resources::kPreviewWidth * resources::kPreviewHeight, 0xFFFFFFFFu);
    int32_t width = 0, height = 0;
    ASSERT_TRUE(resources::decode_preview_bitmap(pixels.data(), width, height));
    EXPECT_EQ(width, resources::kPreviewWidth);
    EXPECT_EQ(height, resources::kPreviewHeight);
    int distinct_from_first = 0;
    for (uint32_t p : pixels) {
        EXPECT_EQ(p & 0xFF000000u, 0u);
        if (p != pixels[0]) ++distinct_from_first;
    }
    EXPECT_GT(distinct_from_first, 0) << "a picture, not a flat colour";
}

TEST(Resources, IconDecodesAsAnOpaqueAndTransparentPicture) {
    size_t size = 0;
    const uint8_t* png = resources::icon_png(size);
    ASSERT_NE(png, nullptr);
    std::vector<uint32_t> pixels(256 * 256);
    int32_t width = 0, height = 0;
    ASSERT_TRUE(resources::decode_png(png, size, pixels.data(), 256, 256, width, height));
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);
    bool opaque = false;
    for (int32_t i = 0; i < width * height; ++i) opaque = opaque || (pixels[i] >> 24) == 0xFF;
    EXPECT_TRUE(opaque);
}

TEST(Resources, DecoderRefusesOversizeTruncatedAndForeignData) {
    size_t size = 0;
    const uint8_t* png = resources::icon_png(size);
    std::vector<uint32_t> pixels(256 * 256, 0x12345678u);
    int32_t width = -1, height = -1;
    // Larger than the caller's limit: nothing is written.
    EXPECT_FALSE(resources::decode_png(png, size, pixels.data(), 1, 1, width, height));
    EXPECT_EQ(pixels[0], 0x12345678u);
    EXPECT_EQ(width, -1);
    EXPECT_FALSE(resources::decode_png(png, size / 2, pixels.data(), 256, 256, width, height));
    const uint8_t text[] = "not a picture at all";
    EXPECT_FALSE(resources::decode_png(text, sizeof text, pixels.data(), 256, 256, width, height));
    EXPECT_FALSE(resources::decode_png(png, 0, pixels.data(), 256, 256, width, height));
}

}  // namespace
