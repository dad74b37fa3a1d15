#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_window_system.h"
#include "platform/system/stderr_message_boxes.h"

namespace platform {
namespace {

// Shows boxes with SDL. AQUARIUM_MESSAGE_BOXES=stderr writes them to
// standard error instead, for runs where nobody could press OK.
class SdlMessageBoxes final : public MessageBoxes {
public:
    int32_t show(NativeWindow, const char* text, const char* caption, uint32_t flags) override {
        const char* choice = std::getenv("AQUARIUM_MESSAGE_BOXES");
        if (choice == nullptr || std::strcmp(choice, "stderr") != 0) {
            uint32_t sdl_flags = SDL_MESSAGEBOX_INFORMATION;
            if ((flags & 0xF0u) == kBoxIconError) sdl_flags = SDL_MESSAGEBOX_ERROR;
            if ((flags & 0xF0u) == kBoxIconWarning) sdl_flags = SDL_MESSAGEBOX_WARNING;
            // Owned by no window: the box must show even when the owner is
            // a full-screen window that is about to go away.
            if (SDL_ShowSimpleMessageBox(sdl_flags, caption != nullptr ? caption : "", text != nullptr ? text : "",
                                         nullptr) == 0) {
                return 1;
            }
        }
        write_message_box_text(text, caption, flags);
        return 1;
    }
};

}  // namespace

MessageBoxes* make_sdl_message_boxes() {
    static SdlMessageBoxes boxes;
    return &boxes;
}

}  // namespace platform
