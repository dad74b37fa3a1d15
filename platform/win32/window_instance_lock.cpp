#include "platform/win32/window_instance_lock.h"

#include <windows.h>

namespace platform::win32 {
namespace {

class WindowInstanceLock final : public InstanceLock {
public:
    bool try_acquire(const char* class_name) override { return FindWindowA(class_name, nullptr) == nullptr; }
    // The lock is the window itself: it goes when the window goes.
    void release() override {}
};

}  // namespace

InstanceLock* make_window_instance_lock() {
    static WindowInstanceLock lock;
    return &lock;
}

}  // namespace platform::win32
