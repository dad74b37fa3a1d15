# Every CTest test carries a label that says what it needs, and no test
# labelled unit (the suites of make test-unit) needs more than the build:
# no display, OpenGL driver, installation or long run.
#   cmake -DCTEST=ctest -DBUILD_DIR=dir -P check_labels.cmake
function(tests_matching out)
  execute_process(COMMAND ${CTEST} -N ${ARGN} WORKING_DIRECTORY ${BUILD_DIR}
                  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "ctest -N ${ARGN} failed in ${BUILD_DIR}")
  endif()
  string(REGEX MATCHALL "Test +#[0-9]+: [^\n]+" found "${listing}")
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

tests_matching(unit -L "^unit$")
list(LENGTH unit unit_count)
if(unit_count EQUAL 0)
  message(FATAL_ERROR "no test is labelled unit: is ctest looking at ${BUILD_DIR}?")
endif()
tests_matching(unlabelled -LE .)
# gtest_discover_tests stands in <program>_NOT_BUILT for a test program
# that was not built (make test-unit builds only its own).
list(FILTER unlabelled EXCLUDE REGEX "_NOT_BUILT$")
tests_matching(mixed -L "^unit$" -L "^(gl|xvfb|xorg|e2e|install|xscreensaver|wayland|pacing|soak)$")
set(failures "")
foreach(test IN LISTS unlabelled)
  string(APPEND failures "  ${test}: no label\n")
endforeach()
foreach(test IN LISTS mixed)
  string(APPEND failures "  ${test}: labelled unit and something a unit test must not need\n")
endforeach()
if(failures)
  message(FATAL_ERROR "tests without a fitting label:\n${failures}")
endif()
message("${unit_count} unit tests; every test has a label")
