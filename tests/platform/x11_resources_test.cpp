// The desktop's scale as X resources carry it (Xft.dpi in the root
// window's RESOURCE_MANAGER), read without a display.
#include <gtest/gtest.h>

#include "platform/sdl/x11_monitors.h"

namespace {

TEST(X11Resources, XftDpiIsTakenFromItsOwnLineAndNonsenseIsNotSet) {
    struct Case {
        const char* resources;
        int32_t dpi;  // 0: not set
    };
    const Case cases[] = {
        {"Xft.dpi:\t96\n", 96},
        {"Xft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\n", 144},
        {"  Xft.dpi :  120.6", 121},
        {"Xft.dpi:", 0},
        {"Xft.dpi:\tlarge\n", 0},
        {"Xft.dpi:\t0\n", 0},
        {"Xft.dpi:\t-96\n", 0},
        {"Xft.dpi:\t1e9\n", 0},
        {"Xft.dpiscale:\t2\n", 0},
        {"xterm*faceSize:\t11\n", 0},
        {"", 0},
        {nullptr, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::x11::dpi_from_resources(c.resources), c.dpi) << (c.resources ? c.resources : "null");
    }
}

}  // namespace
