#include "platform/sdl/screen_saving.h"

#include <SDL2/SDL.h>

namespace platform {

void allow_screen_saving() {
    SDL_SetHintWithPriority(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1", SDL_HINT_OVERRIDE);
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_EnableScreenSaver();
}

}  // namespace platform
