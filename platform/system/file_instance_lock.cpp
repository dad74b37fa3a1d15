#include "platform/system/file_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

// A folder we may keep the lock in: a real directory (not a link) owned by
// this user that nobody else can write into.
bool is_private_directory(const char* path) {
    struct stat info {};
    if (lstat(path, &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool copy_text(char* out, unsigned capacity, const char* text) {
    const size_t length = std::strlen(text);
    if (length + 1 > capacity) return false;
    std::memcpy(out, text, length + 1);
    return true;
}

// $XDG_RUNTIME_DIR when usable, else <tmp>/aquarium-<uid>, created 0700.
bool default_lock_directory(char* out, unsigned capacity) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && is_private_directory(runtime)) {
        return copy_text(out, capacity, runtime);
    }
    const char* temp = std::getenv("TMPDIR");
    if (temp == nullptr || temp[0] != '/') temp = "/tmp";
    const int written = std::snprintf(out, capacity, "%s/aquarium-%u", temp, static_cast<unsigned>(geteuid()));
    if (written < 0 || static_cast<unsigned>(written) >= capacity) return false;
    if (mkdir(out, 0700) != 0 && errno != EEXIST) return false;
    return is_private_directory(out);
}

}  // namespace

bool instance_lock_path(const char* directory, const char* class_name, char* path, unsigned capacity) {
    char folder[256];
    if (directory != nullptr && directory[0] != '\0') {
        if (!copy_text(folder, sizeof folder, directory)) return false;
    } else if (!default_lock_directory(folder, sizeof folder)) {
        return false;
    }
    char name[128];
    unsigned length = 0;
    for (const char* c = class_name; *c != '\0' && length + 1 < sizeof name; ++c) {
        const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
                           *c == '-' || *c == '.';
        name[length++] = plain ? *c : '_';
    }
    name[length] = '\0';
    const int written = std::snprintf(path, capacity, "%s/aquarium-%s.lock", folder, name);
    return written > 0 && static_cast<unsigned>(written) < capacity;
}

FileInstanceLock::FileInstanceLock(const char* directory) {
    directory_[0] = '\0';
    if (directory != nullptr) copy_text(directory_, sizeof directory_, directory);
}

FileInstanceLock::~FileInstanceLock() { release(); }

bool FileInstanceLock::try_acquire(const char* class_name) {
    release();
    if (class_name == nullptr) return false;
    char path[512];
    if (!instance_lock_path(directory_, class_name, path, sizeof path)) {
        // Without a usable folder the rule cannot be checked; running a
        // second copy is better than refusing to run at all.
        return true;
    }
    const int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return true;  // as above
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held_elsewhere = errno == EWOULDBLOCK;
        close(fd);
        return !held_elsewhere;
    }
    fd_ = fd;
    return true;
}

void FileInstanceLock::release() {
    if (fd_ >= 0) {
        flock(fd_, LOCK_UN);
        close(fd_);
        fd_ = -1;
    }
}

InstanceLock* make_file_instance_lock() {
    static FileInstanceLock lock;
    return &lock;
}

}  // namespace platform
