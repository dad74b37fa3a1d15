// The program's pictures, compiled into the binary.
#pragma once

#include <cstddef>
#include <cstdint>

namespace resources {

// The preview picture ("IDB_SMALLWND"): 152 x 112 pixels, 8-bit palette.
inline constexpr int32_t kPreviewWidth = 152;
inline constexpr int32_t kPreviewHeight = 112;

// Decodes the preview picture into `pixels` (kPreviewWidth * kPreviewHeight
// values 0x00RRGGBB, rows from the top); false when it cannot be decoded.
bool decode_preview_bitmap(uint32_t* pixels, int32_t& width, int32_t& height);

// The preview picture as PNG bytes (on Windows the program's bitmap
// resource holds the same pixels).
const uint8_t* preview_png(size_t& size);

// The icon (resource 101) as PNG bytes.
const uint8_t* icon_png(size_t& size);

// Decodes a PNG of at most max_width x max_height pixels into 0xAARRGGBB
// values, rows from the top; false when it is not such a picture.
bool decode_png(const uint8_t* data, size_t size, uint32_t* pixels, int32_t max_width, int32_t max_height,
                int32_t& width, int32_t& height);

}  // namespace resources
