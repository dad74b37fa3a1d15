#include "tools/png_file.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace tools {

bool write_png(const char* path, const uint8_t* rgba, uint32_t width, uint32_t height) {
    if (path == nullptr || rgba == nullptr || width == 0 || height == 0) return false;
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows(height);
    bool ok = png != nullptr && info != nullptr;
    // libpng reports errors by jumping back here; nothing with a destructor
    // is created between this point and the jump.
    if (ok && setjmp(png_jmpbuf(png)) != 0) {
        ok = false;
    } else if (ok) {
        png_init_io(png, file);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_set_filler(png, 0, PNG_FILLER_AFTER);  // rows carry a fourth byte to skip
        for (uint32_t y = 0; y < height; ++y) {
            rows[y] = const_cast<png_bytep>(rgba + static_cast<size_t>(y) * width * 4);
        }
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::remove(path);
    return ok;
}

}  // namespace tools
