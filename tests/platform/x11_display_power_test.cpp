// The DPMS reader where there is no DPMS: Xvfb lacks the extension, and a
// display without a server cannot be reached. Either way the display
// counts as on, so the frames never stop for it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/power/x11_display_power.h"

namespace {

TEST(X11DisplayPower, WithoutTheExtensionOrWithoutAServerTheDisplayIsOn) {
    platform::power::X11DisplayPower xvfb(std::getenv("DISPLAY"));  // the tests' own Xvfb
    platform::power::X11DisplayPower nowhere(":59999");
    for (int question = 0; question < 3; ++question) {
        EXPECT_FALSE(xvfb.dark());
        EXPECT_FALSE(nowhere.dark());
    }
}

}  // namespace
