#include "resources/resources.h"

#include <png.h>

#include <cstring>

namespace resources {

extern const uint8_t preview_png_data[];
extern const size_t preview_png_data_size;
extern const uint8_t icon_png_data[];
extern const size_t icon_png_data_size;

bool decode_png(const uint8_t* data, size_t size, uint32_t* pixels, int32_t max_width, int32_t max_height,
                int32_t& width, int32_t& height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) return false;
    if (image.width == 0 || image.height == 0 || image.width > static_cast<uint32_t>(max_width) ||
        image.height > static_cast<uint32_t>(max_height)) {
        png_image_free(&image);
        return false;
    }
    // BGRA bytes are 0xAARRGGBB values on a little-endian machine.
    image.format = PNG_FORMAT_BGRA;
    if (!png_image_finish_read(&image, nullptr, pixels, 0, nullptr)) return false;
    width = static_cast<int32_t>(image.width);
    height = static_cast<int32_t>(image.height);
    return true;
}

bool decode_preview_bitmap(uint32_t* pixels, int32_t& width, int32_t& height) {
    if (!decode_png(preview_png_data, preview_png_data_size, pixels, kPreviewWidth, kPreviewHeight, width, height)) {
        return false;
    }
    for (int32_t i = 0; i < width * height; ++i) pixels[i] &= 0x00FFFFFFu;
    return true;
}

const uint8_t* icon_png(size_t& size) {
    size = icon_png_data_size;
    return icon_png_data;
}

}  // namespace resources
