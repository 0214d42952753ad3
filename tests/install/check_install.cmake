# Installs the build into a fresh prefix and runs the installed tool on the installed example.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -P check_install.cmake
file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${WORK_DIR}/prefix"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

foreach(installed bin/skarvel share/man/man1/skarvel.1 share/doc/skarvel/README.md
                  share/doc/skarvel/examples/flow.dat)
  if(NOT EXISTS "${WORK_DIR}/prefix/${installed}")
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

file(COPY "${WORK_DIR}/prefix/share/doc/skarvel/examples/flow.dat" DESTINATION "${WORK_DIR}/run")
execute_process(COMMAND "${WORK_DIR}/prefix/bin/skarvel" flow.dat WORKING_DIRECTORY "${WORK_DIR}/run"
                RESULT_VARIABLE status OUTPUT_VARIABLE console)
if(NOT status EQUAL 0 OR NOT console MATCHES "3/2001\nfertig\\.\\.\n$")
  message(FATAL_ERROR "the installed skarvel failed (${status}):\n${console}")
endif()
file(READ "${WORK_DIR}/run/flow.mat" monthly)
if(NOT monthly MATCHES "\n2001\t3\t31\t24\t[^\n]+\n0\t0\t0\t0\t")
  message(FATAL_ERROR "unexpected monthly file:\n${monthly}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
