#include "platform/hosted/hosted_message_boxes.h"

namespace platform {

int32_t HostedMessageBoxes::show(NativeWindow owner, const char* text, const char* caption, uint32_t flags) {
    if (!windows_.window_exists(host_)) return 0;
    return inner_.show(owner, text, caption, flags);
}

}  // namespace platform
