// The program's about text: a fixed text whose first line is the program's
// title. The text is not kept as characters but decoded from a keyed table
// of numbers each time it is needed.
#pragma once

#include <cstdint>

#include "platform/result.h"
#include "platform/window_system.h"

namespace settings {

inline constexpr uint32_t kAboutTextLength = 213;      // characters, without the terminating zero
inline constexpr uint32_t kAboutBoxBufferSize = 216;   // bytes the about box decodes into
inline constexpr uint32_t kTitleBufferSize = 80;       // bytes of the process-wide title buffer

// Fills `buffer` with the about text and its terminating zero; fails
// (leaving an empty text when there is room for one) when `capacity` is
// below kAboutTextLength + 1.
platform::Result decode_about_text(char* buffer, uint32_t capacity);

// Copies the about text's first line (up to, without, the first line feed)
// into `title`, bounded by `capacity` bytes including the terminating zero.
void title_from_about_text(char* title, uint32_t capacity);

// Shows the whole about text in a message box owned by `owner`, captioned
// "About", with only an OK button. Returns what the message box returned.
int32_t show_about_box(platform::MessageBoxes& message_boxes, platform::NativeWindow owner);

}  // namespace settings
