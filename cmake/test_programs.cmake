# What every test program shares, applied to a tests/<group> folder's
# targets after the folder is added, so that a folder's CMakeLists.txt only
# names its sources and libraries.
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
# Their tests are listed when ctest runs (CMAKE_GTEST_DISCOVER_TESTS_
# DISCOVERY_MODE PRE_TEST, set beside include(GoogleTest)), not as a build
# step: a loaded machine once failed a build because listing a program timed
# out.

function(cv_test_folder_defaults dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "EXECUTABLE")
      continue()
    endif()
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
    if(CV_SANITIZE OR CV_FUZZ)
      set_target_properties(${target} PROPERTIES LINKER_LANGUAGE CXX)
    endif()
    if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
      target_compile_options(${target} PRIVATE -O0)
    endif()
  endforeach()
endfunction()
