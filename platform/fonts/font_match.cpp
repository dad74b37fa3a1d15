#include "platform/fonts/font_match.h"

#include <fontconfig/fontconfig.h>

#include <cstdio>

namespace platform {

bool match_font_file(FcConfig* config, const char* family, int32_t weight, bool italic, char* file, size_t capacity,
                     int& index) {
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return false;

    bool found = false;
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path != nullptr) {
        const int written = std::snprintf(file, capacity, "%s", reinterpret_cast<const char*>(path));
        found = written > 0 && static_cast<size_t>(written) < capacity;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    }
    FcPatternDestroy(match);
    return found;
}

bool find_font_file(const char* family, int32_t weight, bool italic, char* file, size_t capacity, int& index) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) return false;
    const bool found = match_font_file(config, family, weight, italic, file, capacity, index);
    FcConfigDestroy(config);
    return found;
}

}  // namespace platform
