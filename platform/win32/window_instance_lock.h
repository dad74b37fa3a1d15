// The single-instance rule on Windows: another program holds the lock while
// a window of the named class exists (FindWindowA). Nothing is taken.
#pragma once

#include "platform/instance_lock.h"

namespace platform::win32 {

// Static storage; never null.
InstanceLock* make_window_instance_lock();

}  // namespace platform::win32
