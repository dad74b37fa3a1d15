// Where a save of the settings file writes, and the leftovers of saves that
// never finished.
//
// A save writes a temporary file beside the file it replaces and renames it
// over that file. When the settings file is a symbolic link (dotfiles kept
// in a repository), the save writes through the link, to the file the link
// leads to, only when that file is one of the user's own: a regular file
// owned by the user, in a folder owned by the user, inside the user's home
// folder. The link then stays a link. Any other link (one that leads to no
// file, out of the home folder, or to someone else's file) is refused: the
// link and its target are left alone and the settings are not saved.
#pragma once

#include <cstdint>

#include "platform/files/settings_file_path.h"

namespace platform::files {

// Appended to the name of the file a save replaces, for mkostemp.
inline constexpr char kTemporarySuffix[] = ".XXXXXX";
// A temporary file older than this was left by a save that was killed:
// a save takes milliseconds, so no running save still owns it.
inline constexpr int64_t kStaleTemporarySeconds = 3600;

enum class SaveTargetStatus {
    ok,
    no_home,             // a link, and the user's home folder is not known
    link_leads_nowhere,  // a link whose target does not exist (or a loop)
    link_leaves_own_files,
};

struct SaveTarget {
    char path[kMaxPathBytes];  // the file the save replaces
    bool through_link;         // `path` is where the settings file's link leads
};

// Finds the file a save of the settings file at `path` replaces.
SaveTargetStatus find_save_target(const char* path, SaveTarget& target);

// Text for a refusal, for the message on standard error.
const char* save_target_problem(SaveTargetStatus status);

// Removes the temporary files of saves of `file_path` that were killed
// before their rename: entries of the file's folder named exactly like
// `file_path` plus kTemporarySuffix (six letters or digits), regular files
// of this user, last changed at least kStaleTemporarySeconds before
// `now_seconds` (seconds since the epoch). Fresher ones may belong to a
// save running now and are left alone. Returns how many were removed.
uint32_t remove_stale_temporaries(const char* file_path, int64_t now_seconds);

}  // namespace platform::files
