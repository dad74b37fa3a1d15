// Where the settings file lives: $XDG_CONFIG_HOME/aquarium/settings.ini, or
// ~/.config/aquarium/settings.ini when XDG_CONFIG_HOME is unset, empty or
// not an absolute path.
#pragma once

#include <cstdint>

namespace platform::files {

inline constexpr uint32_t kMaxPathBytes = 4096;

// False when no home folder is known or the path would not fit.
bool default_settings_file_path(char (&path)[kMaxPathBytes]);

}  // namespace platform::files
