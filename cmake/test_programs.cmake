# What every test program shares, applied to a tests/<group> folder's
# targets after the folder is added, so a folder's CMakeLists.txt only names
# its sources and libraries.
#
# - GoogleTest (and nlohmann json, for a program that links it) is
#   precompiled once per program: parsing those headers was a third to a
#   half of compiling each test file. A build run through ccache keeps plain
#   headers instead, as ccache cannot reuse a precompiled one unless told to
#   relax its checks.
# - In an optimised build the test programs themselves are compiled without
#   optimisation: the code under test (library, tool, plan) keeps the build's
#   flags, and the assertion-heavy test files compile in half the time.
#
# GoogleTest's tests are listed when ctest runs (CMAKE_GTEST_DISCOVER_TESTS_
# DISCOVERY_MODE, set beside include(GoogleTest)), not as a build step: a
# loaded machine once failed a build because listing a program timed out.

if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
  set(CV_TEST_PCH OFF)
else()
  set(CV_TEST_PCH ON)
endif()

function(cv_test_folder_defaults dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "EXECUTABLE")
      continue()
    endif()
    if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
      target_compile_options(${target} PRIVATE -O0)
    endif()
    get_target_property(libs ${target} LINK_LIBRARIES)
    if(CV_TEST_PCH AND "${libs}" MATCHES "GTest::|cvtestsupport")
      target_precompile_headers(${target} PRIVATE
        "$<$<COMPILE_LANGUAGE:CXX>:<gtest/gtest.h$<ANGLE-R>>"
        "$<$<COMPILE_LANGUAGE:CXX>:<string$<ANGLE-R>>"
        "$<$<COMPILE_LANGUAGE:CXX>:<vector$<ANGLE-R>>")
      if("${libs}" MATCHES "nlohmann_json")
        target_precompile_headers(${target} PRIVATE
          "$<$<COMPILE_LANGUAGE:CXX>:<nlohmann/json.hpp$<ANGLE-R>>")
      endif()
    endif()
  endforeach()
endfunction()
