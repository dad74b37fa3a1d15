#include "platform/sdl/video_start.h"

#include <cstdio>
#include <cstring>

namespace platform::sdl {

bool start_video_on_display(const VideoStartSteps& steps, const char* wanted, char* problem, size_t problem_size) {
    for (int attempt = 1; attempt <= kVideoStartTries; ++attempt) {
        if (attempt > 1) steps.pause();
        if (!steps.start()) {
            std::snprintf(problem, problem_size, "%s", steps.error());
            continue;
        }
        const char* driver = steps.driver();
        if (driver != nullptr && std::strcmp(driver, wanted) == 0) return true;
        std::snprintf(problem, problem_size, "only the video driver \"%s\" could be started",
                      driver != nullptr ? driver : "(none)");
        steps.stop();
    }
    return false;
}

}  // namespace platform::sdl
