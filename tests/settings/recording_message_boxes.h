// Message boxes that are recorded instead of shown.
#pragma once

#include <string>
#include <vector>

#include "platform/window_system.h"

namespace settings_test {

struct RecordedBox {
    platform::NativeWindow owner;
    std::string text;
    std::string caption;
    uint32_t flags;
};

class RecordingMessageBoxes : public platform::MessageBoxes {
public:
    std::vector<RecordedBox> shown;
    int32_t show(platform::NativeWindow owner, const char* text, const char* caption, uint32_t flags) override {
        shown.push_back(RecordedBox{owner, text, caption, flags});
        return 1;
    }
};

}  // namespace settings_test
