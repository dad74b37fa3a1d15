// Message boxes of a module drawing in another program's window. The host
// ends a module by taking its window away, at any moment, even while the
// module is still starting; whatever then fails was the host's doing, so
// nothing is said. Otherwise the text goes to the message boxes underneath
// (standard error, which the host keeps).
#pragma once

#include "platform/window_system.h"

namespace platform {

class HostedMessageBoxes final : public MessageBoxes {
public:
    // `windows` is asked whether `host` still exists before each message.
    HostedMessageBoxes(MessageBoxes& inner, WindowSystem& windows, NativeWindow host)
        : inner_(inner), windows_(windows), host_(host) {}

    // 0 (nothing shown) when the host's window is gone.
    int32_t show(NativeWindow owner, const char* text, const char* caption, uint32_t flags) override;

private:
    MessageBoxes& inner_;
    WindowSystem& windows_;
    NativeWindow host_;
};

}  // namespace platform
