# 32-bit Windows, built with Debian's g++-mingw-w64-i686-posix:
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(AQUARIUM_MINGW_TRIPLE i686-w64-mingw32)
set(AQUARIUM_MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
