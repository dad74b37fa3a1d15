#include "platform/system/stderr_message_boxes.h"

#include <cstdio>

namespace platform {
namespace {

class StderrMessageBoxes final : public MessageBoxes {
public:
    int32_t show(NativeWindow, const char* text, const char* caption, uint32_t flags) override {
        write_message_box_text(text, caption, flags);
        return 1;
    }
};

const char* icon_label(uint32_t flags) {
    switch (flags & 0xF0u) {
        case kBoxIconError: return "error: ";
        case kBoxIconWarning: return "warning: ";
        default: return "";
    }
}

}  // namespace

void write_message_box_text(const char* text, const char* caption, uint32_t flags) {
    std::fprintf(stderr, "%s: %s%s\n", caption != nullptr ? caption : "", icon_label(flags),
                 text != nullptr ? text : "");
    std::fflush(stderr);
}

MessageBoxes* make_stderr_message_boxes() {
    static StderrMessageBoxes boxes;
    return &boxes;
}

}  // namespace platform
