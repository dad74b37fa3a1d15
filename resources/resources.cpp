#include "resources/resources.h"

// stb_image's PNG decoder, compiled into this file only (header-only use of
// Debian's libstb-dev, so the Linux and Windows builds decode alike).
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <climits>

namespace resources {

extern const uint8_t preview_png_data[];
extern const size_t preview_png_data_size;
extern const uint8_t icon_png_data[];
extern const size_t icon_png_data_size;

bool decode_png(const uint8_t* data, size_t size, uint32_t* pixels, int32_t max_width, int32_t max_height,
                int32_t& width, int32_t& height) {
    if (size > static_cast<size_t>(INT_MAX)) return false;
    const int length = static_cast<int>(size);
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(data, length, &w, &h, &channels)) return false;
    if (w <= 0 || h <= 0 || w > max_width || h > max_height) return false;
    stbi_uc* rgba = stbi_load_from_memory(data, length, &w, &h, &channels, 4);
    if (rgba == nullptr) return false;
    if (w <= 0 || h <= 0 || w > max_width || h > max_height) {
        stbi_image_free(rgba);
        return false;
    }
    for (int32_t i = 0; i < w * h; ++i) {
        const stbi_uc* p = rgba + 4 * i;
        pixels[i] = static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[0]) << 16 |
                    static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]);
    }
    stbi_image_free(rgba);
    width = w;
    height = h;
    return true;
}

// On Windows it is the program's bitmap resource (windows/bitmap_resource.cpp).
#if !defined(_WIN32)
bool decode_preview_bitmap(uint32_t* pixels, int32_t& width, int32_t& height) {
    if (!decode_png(preview_png_data, preview_png_data_size, pixels, kPreviewWidth, kPreviewHeight, width, height)) {
        return false;
    }
    for (int32_t i = 0; i < width * height; ++i) pixels[i] &= 0x00FFFFFFu;
    return true;
}
#endif

const uint8_t* preview_png(size_t& size) {
    size = preview_png_data_size;
    return preview_png_data;
}

const uint8_t* icon_png(size_t& size) {
    size = icon_png_data_size;
    return icon_png_data;
}

}  // namespace resources
