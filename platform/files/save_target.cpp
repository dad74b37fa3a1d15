#include "platform/files/save_target.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace platform::files {

namespace {

constexpr uint32_t kRandomLetters = 6;  // the X's of kTemporarySuffix
constexpr uint32_t kFolderReadBytes = 4096;

// One entry as the kernel's getdents64 returns it.
struct FolderEntry {
    uint64_t inode;
    int64_t next_offset;
    unsigned short record_length;
    unsigned char type;
    char name[1];  // zero-terminated, as long as the record
};

bool is_letter_or_digit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Splits `path` into its folder (written to `folder`) and the name after the
// last slash; null when `path` has no slash or does not fit.
const char* split_folder(const char* path, char (&folder)[kMaxPathBytes]) {
    const int length = std::snprintf(folder, sizeof folder, "%s", path);
    if (length <= 0 || static_cast<uint32_t>(length) >= sizeof folder) return nullptr;
    char* last_slash = std::strrchr(folder, '/');
    if (last_slash == nullptr) return nullptr;
    const char* name = path + (last_slash - folder) + 1;
    if (last_slash == folder) {
        last_slash[1] = '\0';
    } else {
        *last_slash = '\0';
    }
    return name;
}

bool is_temporary_name(const char* entry, const char* base) {
    const size_t base_length = std::strlen(base);
    if (std::strncmp(entry, base, base_length) != 0 || entry[base_length] != '.') return false;
    const char* letters = entry + base_length + 1;
    for (uint32_t i = 0; i < kRandomLetters; ++i) {
        if (!is_letter_or_digit(letters[i])) return false;
    }
    return letters[kRandomLetters] == '\0';
}

bool is_inside(const char* path, const char* folder) {
    const size_t length = std::strlen(folder);
    if (length == 1 && folder[0] == '/') return path[0] == '/';
    return std::strncmp(path, folder, length) == 0 && path[length] == '/';
}

bool owned_by_user(const char* path, bool must_be_regular) {
    struct stat info;
    if (lstat(path, &info) != 0 || info.st_uid != geteuid()) return false;
    return must_be_regular ? S_ISREG(info.st_mode) : S_ISDIR(info.st_mode);
}

}  // namespace

SaveTargetStatus find_save_target(const char* path, SaveTarget& target) {
    target.through_link = false;
    std::snprintf(target.path, sizeof target.path, "%s", path);
    struct stat info;
    if (lstat(path, &info) != 0 || !S_ISLNK(info.st_mode)) return SaveTargetStatus::ok;

    char home_text[kMaxPathBytes];
    char home[kMaxPathBytes];
    static_assert(kMaxPathBytes >= PATH_MAX, "realpath writes up to PATH_MAX bytes");
    if (!user_home_folder(home_text) || realpath(home_text, home) == nullptr) return SaveTargetStatus::no_home;
    char resolved[kMaxPathBytes];
    if (realpath(path, resolved) == nullptr) return SaveTargetStatus::link_leads_nowhere;
    char folder[kMaxPathBytes];
    if (!is_inside(resolved, home) || !owned_by_user(resolved, true) || split_folder(resolved, folder) == nullptr ||
        !owned_by_user(folder, false)) {
        return SaveTargetStatus::link_leaves_own_files;
    }
    std::snprintf(target.path, sizeof target.path, "%s", resolved);
    target.through_link = true;
    return SaveTargetStatus::ok;
}

const char* save_target_problem(SaveTargetStatus status) {
    switch (status) {
        case SaveTargetStatus::ok: return "";
        case SaveTargetStatus::no_home: return "it is a symbolic link and the home folder is not known";
        case SaveTargetStatus::link_leads_nowhere: return "it is a symbolic link that leads to no file";
        case SaveTargetStatus::link_leaves_own_files:
            return "it is a symbolic link to a file that is not one of your own files in your home folder";
    }
    return "";
}

uint32_t remove_stale_temporaries(const char* file_path, int64_t now_seconds) {
    char folder[kMaxPathBytes];
    const char* base = split_folder(file_path, folder);
    if (base == nullptr || base[0] == '\0') return 0;
    const int folder_fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd < 0) return 0;
    uint32_t removed = 0;
    alignas(FolderEntry) char entries[kFolderReadBytes];
    for (;;) {
        const long got = syscall(SYS_getdents64, folder_fd, entries, sizeof entries);
        if (got <= 0) break;
        for (long at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const FolderEntry*>(entries + at);
            at += entry->record_length;
            if (!is_temporary_name(entry->name, base)) continue;
            struct stat info;
            if (fstatat(folder_fd, entry->name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (!S_ISREG(info.st_mode) || info.st_uid != geteuid()) continue;
            if (static_cast<int64_t>(info.st_mtime) > now_seconds - kStaleTemporarySeconds) continue;
            if (unlinkat(folder_fd, entry->name, 0) == 0) ++removed;
        }
    }
    close(folder_fd);
    return removed;
}

}  // namespace platform::files
