// A power state scripted by a file, in place of the system's: the test
// hook AQUARIUM_TEST_POWER_FILE=PATH, with which tests of the whole
// program power the display down and up and unplug the mains. The file is
// read again at every question. Its words, separated by white space,
// later ones winning: "on", or "off", "suspend", "standby" (the display
// powered down); "battery" or "mains". Other words are ignored; a missing
// or unreadable file means on and mains.
#pragma once

#include "platform/power_status.h"

namespace platform {

// The scripted power status reading `path` (kept, not copied: the
// environment's string lives for the whole run; static storage).
PowerStatus* make_scripted_power_status(const char* path);

// The state the words of `text` describe.
PowerState parse_power_words(const char* text);

}  // namespace platform
