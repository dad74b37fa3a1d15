# Shared part of the two Windows toolchains (mingw-w64, the "posix" thread
# model of Debian's packages). Included by the word-size files beside it,
# which set AQUARIUM_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${AQUARIUM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${AQUARIUM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${AQUARIUM_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${AQUARIUM_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${AQUARIUM_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries and headers come from the cross environment only; programs
# (python3, glad, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${AQUARIUM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Doubles are computed in SSE2 registers with IEEE double rounding on both
# word sizes (the 32-bit default, the x87 unit, rounds differently), so the
# simulation gives the same numbers as on Linux x86-64.
# GCC cannot align the stack beyond 16 bytes on Windows, so spilled AVX
# vectors may sit unaligned: the assembler turns aligned vector moves into
# unaligned ones, which are as fast on aligned data.
set(CMAKE_C_FLAGS_INIT "${AQUARIUM_MINGW_ARCH_FLAGS} -Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "${AQUARIUM_MINGW_ARCH_FLAGS} -Wa,-muse-unaligned-vector-move")

# Everything the compiler brings (libstdc++, libgcc, winpthread) is linked
# in, so the programs need only the DLLs that come with Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
