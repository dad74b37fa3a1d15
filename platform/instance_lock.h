// The single-instance rule: a named lock that at most one running program
// holds while its window of that class exists.
#pragma once

namespace platform {

class InstanceLock {
public:
    // Takes the lock named `class_name`; false when another program holds it.
    virtual bool try_acquire(const char* class_name) = 0;
    virtual void release() = 0;

protected:
    virtual ~InstanceLock() = default;
};

}  // namespace platform
