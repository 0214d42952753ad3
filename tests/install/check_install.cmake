# Installs the build into a fresh prefix and runs the installed tool on the installed example.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... [-DWINDOWS=1] [-DEMULATOR=word|word...] -P check_install.cmake
# WINDOWS: the Windows layout (skarvel.exe, README.txt and the example in one folder, CR LF text,
# no manual page). EMULATOR: what runs the installed program, for a cross build.
#
# file(READ) and execute_process() drop the CR of a CR LF, so line ends are checked on the bytes
# in hex ("0d 0a " is CR LF) and the text is matched with "\n".
file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${WORK_DIR}/prefix"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

function(expect_crlf path)
  file(READ "${path}" content HEX)
  string(REGEX REPLACE "(..)" "\\1 " bytes "${content}")
  string(REPLACE "0d 0a " "" without_crlf "${bytes}")
  string(FIND "${without_crlf}" "0a " bare_lf)
  if(NOT bare_lf EQUAL -1 OR NOT bytes MATCHES "0d 0a $")
    message(FATAL_ERROR "${path} does not have CR LF line ends")
  endif()
endfunction()

if(WINDOWS)
  set(program skarvel.exe)
  set(example examples/flow.dat)
  set(installed ${program} README.txt ${example})
else()
  set(program bin/skarvel)
  set(example share/doc/skarvel/examples/flow.dat)
  set(installed ${program} share/man/man1/skarvel.1 share/doc/skarvel/README.md ${example}
                share/skarvel/slurm/skarvel-submit share/skarvel/snakemake/Snakefile)
endif()
foreach(path ${installed})
  if(NOT EXISTS "${WORK_DIR}/prefix/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
if(WINDOWS)
  file(GLOB_RECURSE everything RELATIVE "${WORK_DIR}/prefix" "${WORK_DIR}/prefix/*")
  list(SORT everything)
  if(NOT everything STREQUAL "README.txt;examples/flow.dat;skarvel.exe")
    message(FATAL_ERROR "unexpected files installed: ${everything}")
  endif()
  expect_crlf("${WORK_DIR}/prefix/README.txt")
  expect_crlf("${WORK_DIR}/prefix/${example}")
endif()

string(REPLACE "|" ";" emulator "${EMULATOR}")
file(COPY "${WORK_DIR}/prefix/${example}" DESTINATION "${WORK_DIR}/run")
execute_process(COMMAND ${emulator} "${WORK_DIR}/prefix/${program}" flow.dat
                WORKING_DIRECTORY "${WORK_DIR}/run" RESULT_VARIABLE status
                OUTPUT_FILE "${WORK_DIR}/console.txt")
file(READ "${WORK_DIR}/console.txt" console)
if(NOT status EQUAL 0 OR NOT console MATCHES "3/2001\nfertig\\.\\.\n$")
  message(FATAL_ERROR "the installed skarvel failed (${status}):\n${console}")
endif()
file(READ "${WORK_DIR}/run/flow.mat" monthly)
if(NOT monthly MATCHES "\n2001\t3\t31\t24\t[^\n]+\n0\t0\t0\t0\t")
  message(FATAL_ERROR "unexpected monthly file:\n${monthly}")
endif()
if(WINDOWS)
  expect_crlf("${WORK_DIR}/console.txt")
  expect_crlf("${WORK_DIR}/run/flow.mat")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
