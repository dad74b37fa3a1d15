# 64-bit Windows, built with Debian's g++-mingw-w64-x86-64-posix:
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(AQUARIUM_MINGW_TRIPLE x86_64-w64-mingw32)
set(AQUARIUM_MINGW_ARCH_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
