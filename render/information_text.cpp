#include "render/information_text.h"

#include <cstdio>

namespace render {

namespace {

const char* or_empty(const char* text) { return text != nullptr ? text : ""; }

// Whole seconds of the application time; a time that is negative, not a
// number or too large for the count gives 0 or the largest count.
unsigned whole_seconds(float app_time) {
    if (!(app_time > 0.0f)) return 0;
    if (app_time >= 4294967296.0f) return 4294967295u;
    return static_cast<unsigned>(app_time);
}

}  // namespace

void format_information_text(char* out, size_t capacity, const InformationText& info) {
    if (out == nullptr || capacity == 0) return;
    const unsigned s = whole_seconds(info.app_time);
    const int hours = static_cast<int>(s / 3600);  // at most 1193046
    const int minutes = static_cast<int>((s / 60) % 60);
    const int seconds = static_cast<int>(s % 60);
    const int head = std::snprintf(out, capacity, "%s\n%s\n%s\n", or_empty(info.title), or_empty(info.frame_stats),
                                   or_empty(info.device_stats));
    if (head < 0 || static_cast<size_t>(head) >= capacity) return;
    std::snprintf(out + head, capacity - static_cast<size_t>(head), "%d h   %d min   %d sec\n", hours, minutes,
                  seconds);
}

platform::Result draw_information_text(TextOverlay& overlay, const InformationText& info) {
    char text[kInformationTextCapacity];
    format_information_text(text, sizeof text, info);
    return overlay.draw_text(kInformationTextX, kInformationTextY, kInformationTextColour, text, 0);
}

}  // namespace render
