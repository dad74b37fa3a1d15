// Where the settings file lives: $XDG_CONFIG_HOME/aquarium/settings.ini, or
// ~/.config/aquarium/settings.ini when XDG_CONFIG_HOME is unset, empty or
// not an absolute path.
#pragma once

#include <cstdint>

namespace platform::files {

inline constexpr uint32_t kMaxPathBytes = 4096;

// False when no home folder is known or the path would not fit.
bool default_settings_file_path(char (&path)[kMaxPathBytes]);

// The user's home folder: $HOME when it is an absolute path, otherwise the
// password database's entry; false when neither is known.
bool user_home_folder(char (&path)[kMaxPathBytes]);

}  // namespace platform::files
