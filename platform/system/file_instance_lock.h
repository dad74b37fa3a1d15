// The single-instance rule as an advisory lock (flock) on a file named after
// the window class. The lock lives in $XDG_RUNTIME_DIR, or when that is not
// usable in a private per-user folder of the temporary directory. The system
// drops the lock when the process ends, however it ends.
#pragma once

#include "platform/instance_lock.h"

namespace platform {

class FileInstanceLock final : public InstanceLock {
public:
    // `directory`: where the lock file goes; null chooses as described above.
    explicit FileInstanceLock(const char* directory = nullptr);
    ~FileInstanceLock() override;
    FileInstanceLock(const FileInstanceLock&) = delete;
    FileInstanceLock& operator=(const FileInstanceLock&) = delete;

    bool try_acquire(const char* class_name) override;
    void release() override;

private:
    char directory_[256];
    int fd_ = -1;
};

// The process's lock (static storage; never null).
InstanceLock* make_file_instance_lock();

// Builds the lock file's path for a class name into `path`; false when it
// does not fit or no usable folder exists. Characters other than letters,
// digits, '-' and '.' become '_'.
bool instance_lock_path(const char* directory, const char* class_name, char* path, unsigned capacity);

}  // namespace platform
