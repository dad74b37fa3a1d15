// The information text over the picture: the title, the frame-rate line,
// the device description and the running time.
#pragma once

#include <cstddef>

#include "platform/result.h"
#include "render/text_overlay.h"

namespace render {

inline constexpr uint32_t kInformationTextColour = 0xFF828296;
inline constexpr float kInformationTextX = 2.0f;  // pixels
inline constexpr float kInformationTextY = 0.0f;  // pixels
// Title (80 bytes), two statistics lines (90 each) and the running time fit.
inline constexpr size_t kInformationTextCapacity = 512;

struct InformationText {
    const char* title;         // window title
    const char* frame_stats;   // frame-rate line
    const char* device_stats;  // device description
    float app_time;            // application time, s
};

// Writes the four lines, each ending in a line feed, into `out` (cut short
// to fit `capacity`). Null texts count as empty.
void format_information_text(char* out, size_t capacity, const InformationText& info);

// Draws the information text at its place and in its colour.
platform::Result draw_information_text(TextOverlay& overlay, const InformationText& info);

}  // namespace render
