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

add_library(aquarium_host_headers INTERFACE)
target_include_directories(aquarium_host_headers SYSTEM INTERFACE ${AQUARIUM_HOST_HEADERS})
add_library(glm::glm ALIAS aquarium_host_headers)

# GoogleTest from Debian's source package, built with the cross compiler.
set(AQUARIUM_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${AQUARIUM_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# (Its CMake files define the GTest:: names the suites link against.)

# Tests run under Wine, in a prefix of this build folder.
set(AQUARIUM_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh ${AQUARIUM_WINE_PREFIX})

# The folders built for Windows so far, and their test suites.
set(AQUARIUM_WINDOWS_LAYERS sim resources platform settings render app tools)
set(AQUARIUM_WINDOWS_TEST_SUITES support sim resources render settings app windows)

# Under Wine every program start costs seconds, so on Windows each GoogleTest
# program is one CTest test that runs all its cases, instead of one test per
# case. Replaces GoogleTest's gtest_discover_tests after include(GoogleTest);
# the test is named after the program; PROPERTIES (labels, timeout) are kept,
# and label windows says that the test runs a Windows program under Wine.
macro(aquarium_windows_test_suites)
  function(gtest_discover_tests target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "TEST_PREFIX" "PROPERTIES")
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES TIMEOUT 600 ${arg_PROPERTIES})
    set_property(TEST ${target} APPEND PROPERTY LABELS windows)
  endfunction()
endmacro()

# M_PI and friends, which glibc declares in the strict C++ mode too.
add_compile_definitions(_USE_MATH_DEFINES)

# The programs need only the DLLs that come with Windows: checked on their
# import tables after the build (run natively, not under Wine).
function(aquarium_check_windows_imports)
  set(programs)
  foreach(target ${ARGN})
    list(APPEND programs $<TARGET_FILE:${target}>)
  endforeach()
  add_test(NAME windows_imports
           COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-imports.sh ${CMAKE_OBJDUMP} ${programs})
  set_tests_properties(windows_imports PROPERTIES LABELS unit)
endfunction()
