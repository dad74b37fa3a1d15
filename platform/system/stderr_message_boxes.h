// Message boxes for a process without a display: the caption and the text
// are written to standard error.
#pragma once

#include "platform/window_system.h"

namespace platform {

// Static storage; never null.
MessageBoxes* make_stderr_message_boxes();

// Writes one message box as text: "caption: [error|warning] text" and a line
// feed. Shared with the windowed message boxes for when they cannot show one.
void write_message_box_text(const char* text, const char* caption, uint32_t flags);

}  // namespace platform
