// The font file fontconfig matches for a family, weight and slant: the
// family itself, or the stand-in the desktop's configuration names (a
// generic family such as "sans-serif" gives the desktop's own choice).
#pragma once

#include <cstddef>
#include <cstdint>

struct _FcConfig;

namespace platform {

// Writes the matched scalable face's file into `file` and its index in the
// file into `index`. `weight` is on the OpenType scale (400 regular, 700
// bold). False when nothing matches or the path does not fit.
bool match_font_file(_FcConfig* config, const char* family, int32_t weight, bool italic, char* file,
                     size_t capacity, int& index);

// The same with the user's own fontconfig configuration, loaded for the call.
bool find_font_file(const char* family, int32_t weight, bool italic, char* file, size_t capacity, int& index);

}  // namespace platform
