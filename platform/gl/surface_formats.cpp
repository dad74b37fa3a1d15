#include "platform/gl/surface_formats.h"

namespace platform::gl {

bool is_display_format(Format format) {
    return format == kFormatX8R8G8B8 || format == kFormatR5G6B5 || format == kFormatX1R5G5B5;
}

bool is_render_target_format(Format format) {
    return format == kFormatX8R8G8B8 || format == kFormatA8R8G8B8 || format == kFormatR5G6B5 ||
           format == kFormatX1R5G5B5 || format == kFormatA1R5G5B5;
}

bool is_texture_format(Format format) {
    switch (format) {
        case kFormatA8R8G8B8:
        case kFormatX8R8G8B8:
        case kFormatA4R4G4B4:
        case kFormatA1R5G5B5:
        case kFormatX1R5G5B5:
        case kFormatR5G6B5: return true;
        default: return false;
    }
}

bool is_depth_format(Format format) { return format == kFormatD16 || format == kFormatD24X8 || format == kFormatD24S8; }

uint32_t index_size(Format format) {
    if (format == kFormatIndex16) return 2;
    if (format == kFormatIndex32) return 4;
    return 0;
}

}  // namespace platform::gl
