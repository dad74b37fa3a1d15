#include "platform/system/process_id.h"

#include <unistd.h>

namespace platform {

uint32_t process_id() { return static_cast<uint32_t>(getpid()); }

}  // namespace platform
