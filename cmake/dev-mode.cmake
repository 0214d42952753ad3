# What a developer builds beside the tool: the tests (with GoogleTest installed, or built from
# its sources for a cross build) and the fuzz targets.

if(SKARVEL_GTEST_SOURCE_DIR)
  # Built for the target platform with the project, statically linked like the rest; its
  # warnings are not ours, and it need not be fast (-O1 builds in a third of the time).
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  block()
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION_RELEASE OFF)
    add_subdirectory("${SKARVEL_GTEST_SOURCE_DIR}" "${PROJECT_BINARY_DIR}/googletest"
                     EXCLUDE_FROM_ALL SYSTEM)
  endblock()
  foreach(library gtest gtest_main)
    set_target_properties(${library} PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
    target_compile_options(${library} PRIVATE -w -O1)
    if(NOT TARGET GTest::${library})
      add_library(GTest::${library} ALIAS ${library})
    endif()
  endforeach()
  set(GTest_FOUND ON)
elseif(SKARVEL_BUILD_TESTS AND CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "A cross build with tests needs GoogleTest's sources: set "
                      "SKARVEL_GTEST_SOURCE_DIR (the windows preset takes it from the variable "
                      "of that name in the environment).")
elseif(SKARVEL_BUILD_TESTS)
  find_package(GTest REQUIRED)
elseif(NOT SKARVEL_FUZZ)
  find_package(GTest QUIET)
endif()

set(skarvel_tests OFF)
if(GTest_FOUND)
  set(skarvel_tests ON)
  enable_testing()
  add_subdirectory(tests)
elseif(NOT SKARVEL_FUZZ)
  message(STATUS "GoogleTest not found: the tests are not built")
endif()
if(skarvel_tests OR SKARVEL_FUZZ)
  add_subdirectory(fuzz)
endif()
