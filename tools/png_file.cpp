#include "tools/png_file.h"

#include <errno.h>
#include <fcntl.h>
#include <png.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace tools {

namespace {

constexpr size_t kPathCapacity = 4096 + 8;
constexpr char kTemporarySuffix[] = ".XXXXXX";

// The mode a newly created file gets: 0666 less the process's umask.
mode_t new_file_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Writes the picture to `file`; 0 or an errno value.
int write_picture(std::FILE* file, const uint8_t* rgba, uint32_t width, uint32_t height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows(height);
    int error = png != nullptr && info != nullptr ? 0 : ENOMEM;
    errno = 0;
    // libpng reports errors by jumping back here; nothing with a destructor
    // is created between this point and the jump.
    if (error == 0 && setjmp(png_jmpbuf(png)) != 0) {
        error = errno != 0 ? errno : EIO;
    } else if (error == 0) {
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
    return error;
}

}  // namespace

int write_png(const char* path, const uint8_t* rgba, uint32_t width, uint32_t height) {
    if (path == nullptr || path[0] == '\0' || rgba == nullptr || width == 0 || height == 0) return EINVAL;
    mode_t mode = new_file_mode();
    struct stat existing;
    if (lstat(path, &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) return kNotARegularFile;
        mode = existing.st_mode & 07777;
    } else if (errno != ENOENT) {
        return errno;
    }

    char temporary[kPathCapacity];
    const int length = std::snprintf(temporary, sizeof temporary, "%s%s", path, kTemporarySuffix);
    if (length < 0 || static_cast<size_t>(length) >= sizeof temporary) return ENAMETOOLONG;
    const int fd = mkostemp(temporary, O_CLOEXEC);
    if (fd < 0) return errno;
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        unlink(temporary);
        return error;
    }
    int error = write_picture(file, rgba, width, height);
    if (std::fflush(file) != 0 && error == 0) error = errno;
    if (fchmod(fd, mode) != 0 && error == 0) error = errno;
    if (std::fclose(file) != 0 && error == 0) error = errno;
    if (error == 0 && rename(temporary, path) != 0) error = errno;
    if (error != 0) unlink(temporary);
    return error;
}

}  // namespace tools
