#include "platform/sdl/video_session.h"

#include <cstring>

namespace platform::sdl {

VideoSession choose_video_session(const VideoSessionFacts& facts) {
    if (facts.needs_x11) return VideoSession::x11;
    if (facts.forced != nullptr && std::strcmp(facts.forced, "x11") == 0) return VideoSession::x11;
    if (facts.forced != nullptr && std::strcmp(facts.forced, "wayland") == 0) return VideoSession::wayland;
    const bool wayland_session = facts.wayland_display != nullptr && facts.wayland_display[0] != '\0';
    return wayland_session && facts.compositor_fits ? VideoSession::wayland : VideoSession::x11;
}

const char* video_driver_name(VideoSession session) { return session == VideoSession::wayland ? "wayland" : "x11"; }

}  // namespace platform::sdl
