# Files the Windows tests under Wine need but cannot make from inside: a symbolic link, and a
# small full drive.
#   cmake -DSTEP=setup|cleanup -DDIR=<folder> [-DWINEPREFIX=<prefix> -DDRIVE=s:] -P host_files.cmake
# setup:   DIR/link/flow.dat and the symbolic link DIR/link/flow.tat to it; when WINEPREFIX is
#          given and mounting works (root), a 4 MiB tmpfs on DIR/drive, drive DRIVE of the prefix.
# cleanup: all of it removed again (setup begins with it too, after an interrupted run).

function(remove_host_files)
  if(WINEPREFIX AND IS_SYMLINK "${WINEPREFIX}/dosdevices/${DRIVE}")
    file(REMOVE "${WINEPREFIX}/dosdevices/${DRIVE}")
  endif()
  if(EXISTS "${DIR}/drive")
    execute_process(COMMAND mountpoint -q "${DIR}/drive" RESULT_VARIABLE not_mounted)
    if(not_mounted EQUAL 0)
      execute_process(COMMAND umount "${DIR}/drive" RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR "cannot unmount ${DIR}/drive")
      endif()
    endif()
  endif()
  file(REMOVE_RECURSE "${DIR}")
endfunction()

remove_host_files()
if(STEP STREQUAL "cleanup")
  return()
elseif(NOT STEP STREQUAL "setup")
  message(FATAL_ERROR "STEP must be setup or cleanup, not '${STEP}'")
endif()

file(MAKE_DIRECTORY "${DIR}/link")
file(WRITE "${DIR}/link/flow.dat" "date values\n2001 1 1 24 1.5\n")
file(CREATE_LINK flow.dat "${DIR}/link/flow.tat" SYMBOLIC)

if(WINEPREFIX AND IS_DIRECTORY "${WINEPREFIX}/dosdevices")
  file(MAKE_DIRECTORY "${DIR}/drive")
  execute_process(COMMAND mount -t tmpfs -o size=4m skarvel-full "${DIR}/drive"
                  RESULT_VARIABLE status ERROR_VARIABLE error)
  if(status EQUAL 0)
    file(CREATE_LINK "${DIR}/drive" "${WINEPREFIX}/dosdevices/${DRIVE}" SYMBOLIC)
    message(STATUS "drive ${DRIVE} is a 4 MiB tmpfs on ${DIR}/drive")
  else()
    message(STATUS "no small drive (mounting needs root): ${error}")
  endif()
endif()
