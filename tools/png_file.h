// Writes 8-bit RGBA pictures as PNG files.
#pragma once

#include <cstdint>

namespace tools {

// write_png's answer when `path` names something that is not a regular file
// (a device, a pipe, a link, a folder): it is left alone.
inline constexpr int kNotARegularFile = -1;

// Writes width x height pixels, rows from the top, 4 bytes each (red,
// green, blue, alpha), to `path`. The alpha is dropped: the file is RGB.
// The picture goes to a temporary file beside `path` that is renamed over
// it once complete, so `path` holds either its old content or the whole new
// picture, and a failure removes only the temporary file. Returns 0, the
// errno value of the failure, or kNotARegularFile.
int write_png(const char* path, const uint8_t* rgba, uint32_t width, uint32_t height);

}  // namespace tools
