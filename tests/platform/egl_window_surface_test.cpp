// A window surface on a window another program owns, which that program
// destroys while the surface is being made: the destruction has to wait
// until the surface exists (Mesa's X11 surface code crashes when the window
// vanishes under it), and a window already gone gets no surface.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/egl/egl_connection.h"
#include "tests/support/x_server.h"

namespace {

// The window to destroy when the driver first asks after it, and the
// owner's connection.
struct Vanish {
    xcb_connection_t* owner = nullptr;
    xcb_window_t window = 0;
    unsigned int round_trip = 0;  // the owner's request sent after the destruction
    bool served = false;          // whether the server answered it before the driver went on
};
Vanish g_vanish;

// Whether the server answers the owner's request `sequence` within `seconds`.
bool answered_within(xcb_connection_t* owner, unsigned int sequence, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(owner, sequence, &reply, &error) == 1) {
            std::free(reply);
            std::free(error);
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

// Stands in for libxcb's: the driver asks the window's geometry while it
// makes the surface. Just before, the owner destroys the window and gives
// the server half a second to carry that out.
extern "C" xcb_get_geometry_cookie_t xcb_get_geometry(xcb_connection_t* c, xcb_drawable_t drawable) {
    using Real = xcb_get_geometry_cookie_t (*)(xcb_connection_t*, xcb_drawable_t);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "xcb_get_geometry"));
    if (g_vanish.window != 0 && drawable == g_vanish.window) {
        g_vanish.window = 0;
        xcb_destroy_window(g_vanish.owner, drawable);
        g_vanish.round_trip = xcb_get_input_focus(g_vanish.owner).sequence;
        xcb_flush(g_vanish.owner);
        g_vanish.served = answered_within(g_vanish.owner, g_vanish.round_trip, 0.5);
    }
    return real(c, drawable);
}

namespace {

using platform::egl::EglConnection;
using platform::egl::EglTarget;

TEST(EglWindowSurface, AWindowDestroyedMeanwhileGoesOnlyOnceItsSurfaceIsMade) {
    ASSERT_TRUE(test_support::XvfbEnvironment::running());
    EglConnection egl;
    ASSERT_TRUE(egl.open(EglTarget::X11Windows, false));
    xcb_connection_t* owner = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(owner), 0);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(owner)).data;
    const xcb_window_t window = xcb_generate_id(owner);
    xcb_create_window(owner, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 64, 48, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    xcb_map_window(owner, window);
    std::free(xcb_get_input_focus_reply(owner, xcb_get_input_focus(owner), nullptr));
    const EGLConfig config = egl.window_config(window);
    ASSERT_NE(config, nullptr);

    g_vanish = Vanish{owner, window};
    const EGLSurface surface = egl.create_window_surface(config, window);
    if (g_vanish.window != 0) {
        g_vanish = Vanish{};
        xcb_disconnect(owner);
        GTEST_SKIP() << "this driver does not ask after the window";
    }
    EXPECT_FALSE(g_vanish.served) << "the window was destroyed while its surface was made";
    EXPECT_NE(surface, EGL_NO_SURFACE);
    EXPECT_TRUE(answered_within(owner, g_vanish.round_trip, 5.0)) << "the server is still held";
    if (surface != EGL_NO_SURFACE) eglDestroySurface(egl.display(), surface);

    EXPECT_EQ(egl.create_window_surface(config, window), EGL_NO_SURFACE) << "the window is gone";
    xcb_disconnect(owner);
}

}  // namespace
