// Result codes: 32-bit, negative is failure, 0 is success. The framework's
// own codes and the platform's pass through unchanged to the caller.
#pragma once

#include <cstdint>

namespace platform {

using Result = int32_t;

inline constexpr Result kOk = 0;
inline constexpr Result kFail = static_cast<Result>(0x80004005u);          // generic failure
inline constexpr Result kOutOfMemory = static_cast<Result>(0x8007000Eu);
inline constexpr Result kOutOfVideoMemory = static_cast<Result>(0x8876017Cu);
inline constexpr Result kInvalidCall = static_cast<Result>(0x8876086Cu);
inline constexpr Result kNotAvailable = static_cast<Result>(0x8876086Au);
inline constexpr Result kDeviceLost = static_cast<Result>(0x88760868u);     // lost, cannot be reset yet
inline constexpr Result kDeviceNotReset = static_cast<Result>(0x88760869u); // lost, ready to be reset

inline constexpr bool failed(Result r) { return r < 0; }
inline constexpr bool succeeded(Result r) { return r >= 0; }

}  // namespace platform
