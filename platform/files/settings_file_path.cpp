#include "platform/files/settings_file_path.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace platform::files {

namespace {

constexpr const char* kFileInConfigHome = "aquarium/settings.ini";

bool is_absolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

bool fits(int written) {
    return written > 0 && static_cast<uint32_t>(written) < kMaxPathBytes;
}

}  // namespace

bool user_home_folder(char (&path)[kMaxPathBytes]) {
    const char* home = std::getenv("HOME");
    char passwd_text[1024];
    if (!is_absolute(home)) {
        struct passwd entry;
        struct passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, passwd_text, sizeof passwd_text, &found) != 0 || found == nullptr) {
            return false;
        }
        home = found->pw_dir;
        if (!is_absolute(home)) return false;
    }
    return fits(std::snprintf(path, sizeof path, "%s", home));
}

bool default_settings_file_path(char (&path)[kMaxPathBytes]) {
    const char* config_home = std::getenv("XDG_CONFIG_HOME");
    if (is_absolute(config_home)) {
        return fits(std::snprintf(path, sizeof path, "%s/%s", config_home, kFileInConfigHome));
    }
    char home[kMaxPathBytes];
    if (!user_home_folder(home)) return false;
    return fits(std::snprintf(path, sizeof path, "%s/.config/%s", home, kFileInConfigHome));
}

}  // namespace platform::files
