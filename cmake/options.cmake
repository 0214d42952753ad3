# The switches of a build, and skarvel_options: the compile and link settings every target of
# this project links to (warnings, checks, sanitizers). GoogleTest, built from source in a cross
# build, does not link to it and gets none of them.

# Tests need GoogleTest: built when it is found, or always (failing without it) when asked for.
option(SKARVEL_BUILD_TESTS "Build the tests, and fail when GoogleTest is missing" OFF)
option(SKARVEL_BUILD_BENCH "Build the benchmark data generator and yardstick" ON)
option(SKARVEL_WARNINGS "The strict warning list (GCC and Clang) on the project's targets" OFF)
option(SKARVEL_CHECKED
       "Checked build: exact floating-point comparisons are errors, libstdc++ checks preconditions"
       OFF)
option(SKARVEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(SKARVEL_TSAN "Build with ThreadSanitizer (not with SKARVEL_SANITIZE or SKARVEL_FUZZ)" OFF)
option(SKARVEL_FUZZ "Build the libFuzzer targets (clang; implies the sanitizers)" OFF)
set(SKARVEL_GTEST_SOURCE_DIR "" CACHE PATH
    "GoogleTest sources to build with the tests (a cross build), instead of an installed GoogleTest")

# Whole-program optimisation: the record loop, the reader and the number scan sit in different
# files but form one hot path.
include(CheckIPOSupported)
check_ipo_supported(RESULT ipo_supported OUTPUT ipo_output)
if(ipo_supported AND NOT SKARVEL_SANITIZE AND NOT SKARVEL_TSAN AND NOT SKARVEL_FUZZ)
  set(CMAKE_INTERPROCEDURAL_OPTIMIZATION_RELEASE ON)
endif()

add_library(skarvel_options INTERFACE)
if(MSVC)
  target_compile_options(skarvel_options INTERFACE /W4 /permissive-)
else()
  target_compile_options(skarvel_options INTERFACE -Wall -Wextra -Wpedantic)
  if(SKARVEL_WARNINGS)
    target_compile_options(
      skarvel_options
      INTERFACE -Wconversion
                -Wsign-conversion
                -Wshadow
                -Wold-style-cast
                -Wcast-qual
                -Wformat=2
                -Wundef
                -Wdouble-promotion
                -Wimplicit-fallthrough
                -Wextra-semi
                -Wnon-virtual-dtor
                -Woverloaded-virtual
                -Wnull-dereference)
  endif()
  if(SKARVEL_CHECKED)
    target_compile_options(skarvel_options INTERFACE -Werror=float-equal)
    target_compile_definitions(skarvel_options INTERFACE _GLIBCXX_ASSERTIONS)
  endif()
endif()

if(SKARVEL_SANITIZE OR SKARVEL_FUZZ)
  target_compile_options(skarvel_options INTERFACE -fsanitize=address,undefined
                                                   -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(skarvel_options INTERFACE -fsanitize=address,undefined
                      -fno-sanitize-recover=all)
endif()
if(SKARVEL_TSAN)
  if(SKARVEL_SANITIZE OR SKARVEL_FUZZ)
    message(FATAL_ERROR "SKARVEL_TSAN does not combine with SKARVEL_SANITIZE or SKARVEL_FUZZ")
  endif()
  target_compile_options(skarvel_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(skarvel_options INTERFACE -fsanitize=thread)
endif()
if(SKARVEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "SKARVEL_FUZZ needs clang (libFuzzer)")
  endif()
  target_compile_options(skarvel_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
