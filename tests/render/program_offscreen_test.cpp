// The whole program run offscreen, as `aquarium-headless render` runs it,
// and the PNG files it writes.
#include "tools/headless_render.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/png_file.h"

namespace {

struct Captured {
    std::vector<uint64_t> frames;
    std::vector<uint8_t> last;  // RGBA of the last frame handed over
    uint32_t width = 0, height = 0;
};

bool capture(void* context, uint64_t frame, const uint8_t* rgba, uint32_t width, uint32_t height) {
    Captured& c = *static_cast<Captured*>(context);
    c.frames.push_back(frame);
    c.last.assign(rgba, rgba + static_cast<size_t>(width) * height * 4);
    c.width = width, c.height = height;
    return true;
}

int count_pixels(const Captured& c, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, bool (*test)(const uint8_t*)) {
    int n = 0;
    for (uint32_t y = y0; y < y1; ++y) {
        for (uint32_t x = x0; x < x1; ++x) n += test(&c.last[(static_cast<size_t>(y) * c.width + x) * 4]) ? 1 : 0;
    }
    return n;
}

TEST(HeadlessRender, TheFishInItsTankWithTheInformationText) {
    Captured c;
    ASSERT_EQ(tools::run_headless_render(tools::HeadlessRenderOptions{3, 120, 640, 480, 40, true}, &capture, &c),
              platform::kOk);
    ASSERT_EQ(c.frames, (std::vector<uint64_t>{40, 80, 120}));
    ASSERT_EQ(c.width, 640u);

    const uint8_t* corner = &c.last[(static_cast<size_t>(479) * 640 + 639) * 4];
    EXPECT_EQ(corner[0], 0);
    EXPECT_EQ(corner[1], 0);
    EXPECT_EQ(corner[2], 0x28);
    const int text = count_pixels(c, 0, 0, 320, 80, [](const uint8_t* p) {
        return std::abs(p[0] - 0x82) <= 2 && std::abs(p[1] - 0x82) <= 2 && std::abs(p[2] - 0x96) <= 2;
    });
    EXPECT_GT(text, 200);
    // The camera follows the head, so the body fills part of the middle.
    const int body =
        count_pixels(c, 280, 200, 360, 280, [](const uint8_t* p) { return p[0] > 40 && p[1] > p[0] && p[2] > p[0]; });
    EXPECT_GT(body, 300);
}

TEST(PngFile, WritesTheRgbOfEveryPixelAndRefusesBadPaths) {
    const uint8_t rgba[2 * 3 * 4] = {255, 0, 0, 255, 0, 255, 0, 9, 0, 0, 255, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const std::string path = ::testing::TempDir() + "png_file_test.png";
    ASSERT_EQ(tools::write_png(path.c_str(), rgba, 3, 2), 0);

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&image, path.c_str()), 0);
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_NE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr), 0);
    for (int i = 0; i < 6; ++i) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(rgb[i * 3 + k], rgba[i * 4 + k]) << i << "," << k;
    }
    std::remove(path.c_str());

    EXPECT_EQ(tools::write_png("/nonexistent-folder/x.png", rgba, 3, 2), ENOENT);
    EXPECT_EQ(tools::write_png(path.c_str(), rgba, 0, 2), EINVAL);
}

}  // namespace
