# Set-up of the Windows builds (mingw-w64 on Debian), included from the top
# CMakeLists.txt.

# Header-only libraries of the build machine (GLM, stb), reached through a
# folder of links so that the cross compiler never sees the rest of the
# build machine's /usr/include.
set(AQUARIUM_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${AQUARIUM_HOST_HEADERS})
foreach(dir glm stb)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: run scripts/setup-windows.sh")
  endif()
  file(CREATE_LINK /usr/include/${dir} ${AQUARIUM_HOST_HEADERS}/${dir} SYMBOLIC)
endforeach()

add_library(glm_headers INTERFACE)
target_include_directories(glm_headers SYSTEM INTERFACE ${AQUARIUM_HOST_HEADERS})
add_library(glm::glm ALIAS glm_headers)

# GoogleTest from Debian's source package, built with the cross compiler.
set(AQUARIUM_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${AQUARIUM_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# (Its CMake files define the GTest:: names the suites link against.)

# Tests run under Wine, in a prefix of this build folder.
set(AQUARIUM_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh ${AQUARIUM_WINE_PREFIX})

# The folders built for Windows so far, and their test suites.
set(AQUARIUM_WINDOWS_LAYERS sim resources platform settings render app)
set(AQUARIUM_WINDOWS_TEST_SUITES support sim windows)
