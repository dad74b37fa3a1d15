// The running process's id, to tell apart programs started side by side.
#pragma once

#include <cstdint>

namespace platform {

uint32_t process_id();

}  // namespace platform
