// Preloaded into the program by the tests (LD_PRELOAD): the first
// AQUARIUM_TEST_REFUSED_X_CONNECTIONS connections to the X server fail, as
// they do for a moment when the server is busy. Every X connection of the
// process goes through these two functions of libxcb, whoever opens it.
#include <dlfcn.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace {

constexpr const char* kNowhere = ":59999";  // a display without a server
int g_refused = 0;

bool refuse_this_one() {
    const char* text = std::getenv("AQUARIUM_TEST_REFUSED_X_CONNECTIONS");
    const int limit = text != nullptr ? std::atoi(text) : 0;
    if (g_refused >= limit) return false;
    ++g_refused;
    return true;
}

}  // namespace

extern "C" xcb_connection_t* xcb_connect(const char* name, int* screen) {
    using Connect = xcb_connection_t* (*)(const char*, int*);
    const auto next = reinterpret_cast<Connect>(dlsym(RTLD_NEXT, "xcb_connect"));
    return next(refuse_this_one() ? kNowhere : name, screen);
}

extern "C" xcb_connection_t* xcb_connect_to_display_with_auth_info(const char* name, xcb_auth_info_t* auth,
                                                                   int* screen) {
    using Connect = xcb_connection_t* (*)(const char*, xcb_auth_info_t*, int*);
    const auto next = reinterpret_cast<Connect>(dlsym(RTLD_NEXT, "xcb_connect_to_display_with_auth_info"));
    return next(refuse_this_one() ? kNowhere : name, auth, screen);
}
