// Writes 8-bit RGBA pictures as PNG files.
#pragma once

#include <cstdint>

namespace tools {

// Writes width x height pixels, rows from the top, 4 bytes each (red,
// green, blue, alpha), to `path`. The alpha is dropped: the file is RGB.
// False when the file cannot be written; a partial file is removed.
bool write_png(const char* path, const uint8_t* rgba, uint32_t width, uint32_t height);

}  // namespace tools
