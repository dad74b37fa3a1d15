# The layer rule, checked on the sources:
#   cmake -DSOURCE_DIR=<tree> -P check_layers.cmake
#
# Folders are layers, lowest first:
#   sim < resources, platform < settings < render < app < tools
# A file may include ("folder/name.h") its own layer and the layers below
# it, never one above and never tests/ or bench/. sim/ includes nothing but
# the C++ standard library (and the compiler's own intrinsics headers, which
# are part of the compiler, not a library). settings/, render/ and app/ reach
# the system only through platform/, so their <...> includes are standard
# headers only, plus GLM's matrix maths in render/. Inside platform/, gl/ is
# the OpenGL device of every system: it includes the standard library, the
# OpenGL header (gl_api.h's) and the platform interfaces, no window system;
# its capability rules (gl_device_rules, surface_formats) include no system
# header at all. resources/ decodes its pictures with stb_image and reads the
# Windows bitmap resource through <windows.h> (resources/windows/ only).
# Prints every breach and fails when there is one.

cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "check_layers: pass -DSOURCE_DIR=<source tree>")
endif()

set(rank_sim 0)
set(rank_resources 1)
set(rank_platform 1)
set(rank_settings 2)
set(rank_render 3)
set(rank_app 4)
set(rank_tools 5)
set(layers sim resources platform settings render app tools)
set(not_includable tests bench)

set(standard_headers
  algorithm any array atomic barrier bit bitset charconv chrono codecvt compare
  complex concepts condition_variable coroutine deque exception execution
  filesystem format forward_list fstream functional future initializer_list
  iomanip ios iosfwd iostream istream iterator latch limits list locale map
  memory memory_resource mutex new numbers numeric optional ostream queue random
  ranges ratio regex scoped_allocator semaphore set shared_mutex source_location
  span sstream stack stdexcept stop_token streambuf string string_view
  syncstream system_error thread tuple type_traits typeindex typeinfo
  unordered_map unordered_set utility valarray variant vector version
  cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp
  csignal cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar
  cwctype)

# The OpenGL header of the device, as gl_api.h includes it on each system.
set(gl_headers epoxy/gl.h glad/gl.h)
# The device's files that answer capability questions on every system.
set(gl_system_free "^platform/gl/(gl_device_rules|surface_formats)\\.")

set(breaches "")
set(files_checked 0)

foreach(layer IN LISTS layers)
  if(NOT IS_DIRECTORY ${SOURCE_DIR}/${layer})
    continue()
  endif()
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.hpp
       ${SOURCE_DIR}/${layer}/*.c ${SOURCE_DIR}/${layer}/*.cc ${SOURCE_DIR}/${layer}/*.cpp)
  foreach(source IN LISTS sources)
    math(EXPR files_checked "${files_checked} + 1")
    file(STRINGS ${SOURCE_DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
      if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
        set(target ${CMAKE_MATCH_1})
        string(REGEX MATCH "^[^/]+" root "${target}")
        if(root IN_LIST not_includable)
          list(APPEND breaches "${source}: includes ${target} (tests and benchmarks are not part of the program)")
        elseif(root IN_LIST layers)
          if(layer STREQUAL "sim" AND NOT root STREQUAL "sim")
            list(APPEND breaches "${source}: includes ${target} (sim/ depends on the standard library only)")
          elseif(${rank_${root}} GREATER ${rank_${layer}})
            list(APPEND breaches "${source}: includes ${target} (${root}/ is a layer above ${layer}/)")
          elseif(${rank_${root}} EQUAL ${rank_${layer}} AND NOT root STREQUAL layer)
            list(APPEND breaches "${source}: includes ${target} (${root}/ and ${layer}/ sit side by side)")
          endif()
        elseif(layer STREQUAL "sim")
          list(APPEND breaches "${source}: includes \"${target}\" (sim/ depends on the standard library only)")
        endif()
        if(source MATCHES "^platform/gl/" AND target MATCHES "^platform/.+/" AND NOT target MATCHES "^platform/gl/")
          list(APPEND breaches "${source}: includes ${target} (platform/gl/ names no window system)")
        elseif(source MATCHES "${gl_system_free}" AND target MATCHES "^platform/gl/"
               AND NOT target MATCHES "${gl_system_free}")
          list(APPEND breaches "${source}: includes ${target} (the capability rules reach no system header)")
        endif()
      elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
        set(target ${CMAKE_MATCH_1})
        if(target IN_LIST standard_headers)
          continue()
        endif()
        if(layer STREQUAL "sim")
          if(NOT target MATCHES "^[a-z0-9]*intrin\\.h$")
            list(APPEND breaches "${source}: includes <${target}> (sim/ depends on the standard library only)")
          endif()
        elseif(layer STREQUAL "settings" OR layer STREQUAL "app"
               OR (layer STREQUAL "render" AND NOT target MATCHES "^glm/"))
          list(APPEND breaches "${source}: includes <${target}> (${layer}/ reaches the system through platform/)")
        elseif(layer STREQUAL "resources" AND NOT target STREQUAL "stb/stb_image.h"
               AND NOT (target STREQUAL "windows.h" AND source MATCHES "^resources/windows/"))
          list(APPEND breaches "${source}: includes <${target}> (resources/ decodes with stb_image only)")
        elseif(source MATCHES "${gl_system_free}")
          list(APPEND breaches "${source}: includes <${target}> (the capability rules reach no system header)")
        elseif(source MATCHES "^platform/gl/" AND NOT target IN_LIST gl_headers)
          list(APPEND breaches "${source}: includes <${target}> (platform/gl/ names no window system)")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(files_checked EQUAL 0)
  message(FATAL_ERROR "check_layers: no sources under ${SOURCE_DIR}")
endif()
if(breaches)
  list(LENGTH breaches count)
  foreach(breach IN LISTS breaches)
    message(NOTICE "layer breach: ${breach}")
  endforeach()
  message(FATAL_ERROR "check_layers: ${count} include(s) break the layer rule")
endif()
message(STATUS "check_layers: ${files_checked} files keep the layer rule")
