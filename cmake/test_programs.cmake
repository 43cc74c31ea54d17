# What every test program shares, applied to a test group's folder (a
# folder below tests/, such as tests/setup/registry) after the folder is
# added, so that a folder's CMakeLists.txt only names its sources and
# libraries.
#
# - The test files of one program compile as one unit (a unity build):
#   GoogleTest and the standard headers are then parsed once per program
#   instead of once per file, which was half the cost of compiling a test
#   file. A helper local to a test file (in an unnamed namespace, or static)
#   therefore needs a name no other test file of the same program uses.
# - In an optimised build the test programs themselves are compiled without
#   optimisation: the code under test (library, tool, plan) keeps the build's
#   flags, and the assertion-heavy test code compiles in half the time.
# - In a sanitizer build every test program links as C++: clang links its
#   sanitizer runtime statically, and only a C++ link brings the part that
#   the (C++) library's checks call, also for a program written in C.
#
# With CV_WHOLE_PROGRAM_TESTS (the sanitizer build of scripts/build.sh) each
# GoogleTest program is one ctest test instead, run whole: every test still
# runs, but the sanitizer runtime's start and leak check (a tenth of a second
# of a core per process) and each suite's slapd are paid once per program
# rather than once per test, which more than halves that build's test time. A failing
# program's output names the failed tests; --gtest_filter runs one of them.
#
# Otherwise their tests are listed when ctest runs (CMAKE_GTEST_DISCOVER_TESTS_
# DISCOVERY_MODE PRE_TEST, set beside include(GoogleTest)), not as a build
# step: a loaded machine once failed a build because listing a program timed
# out.

function(cv_test_folder_defaults dir)
  # tests-<group>: what scripts/check.sh <group> builds, the group being the
  # folder's path below tests/ with "-" for "/" (tests-setup-registry). A
  # folder without programs of its own tests the library and the tools as
  # built.
  file(RELATIVE_PATH group ${CMAKE_SOURCE_DIR}/tests ${dir})
  string(REPLACE "/" "-" group ${group})
  add_custom_target(tests-${group})
  set(programs "")
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "EXECUTABLE")
      continue()
    endif()
    list(APPEND programs ${target})
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
    if(CV_SANITIZE OR CV_FUZZ)
      set_target_properties(${target} PROPERTIES LINKER_LANGUAGE CXX)
    endif()
    if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
      target_compile_options(${target} PRIVATE -O0)
    endif()
    # The support library hands its programs the tool's path.
    get_target_property(libs ${target} LINK_LIBRARIES)
    if("${libs}" MATCHES "cvtestsupport")
      add_dependencies(${target} remove-instance)
    endif()
  endforeach()
  if(NOT programs)
    set(programs cvsetup cvsetup_static remove-instance remove-instance-plan)
  endif()
  add_dependencies(tests-${group} ${programs})
endfunction()

option(CV_WHOLE_PROGRAM_TESTS "Run each GoogleTest program as one ctest test" OFF)
if(CV_WHOLE_PROGRAM_TESTS)
  # Takes the place of GoogleTest's function of that name for the folders'
  # calls; the tests get the properties the call gives.
  # A folder whose tests mostly wait (the end-to-end tests wait on the
  # tool's real timeouts) sets CV_TESTS_ONE_BY_ONE before its call: its
  # tests are listed one by one as in the plain build, so that the waits
  # overlap instead of adding up inside one program.
  function(gtest_discover_tests target)
    if(CV_TESTS_ONE_BY_ONE)
      _gtest_discover_tests(${target} ${ARGN})
      return()
    endif()
    cmake_parse_arguments(arg "NO_PRETTY_TYPES;NO_PRETTY_VALUES"
      "TEST_PREFIX;TEST_SUFFIX;TEST_FILTER;WORKING_DIRECTORY;TEST_LIST;DISCOVERY_TIMEOUT;XML_OUTPUT_DIR;DISCOVERY_MODE"
      "EXTRA_ARGS;PROPERTIES" ${ARGN})
    set(args ${arg_EXTRA_ARGS})
    if(arg_TEST_FILTER)
      list(APPEND args --gtest_filter=${arg_TEST_FILTER})
    endif()
    if(NOT arg_WORKING_DIRECTORY)
      set(arg_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    endif()
    add_test(NAME ${target} COMMAND ${target} ${args} WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
    if(arg_PROPERTIES)
      set_tests_properties(${target} PROPERTIES ${arg_PROPERTIES})
    endif()
  endfunction()
endif()
