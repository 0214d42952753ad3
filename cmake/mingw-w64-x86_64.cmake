# Cross build for 64-bit Windows with MinGW-w64 (g++ with POSIX threads), on Debian:
#   apt-get install g++-mingw-w64-x86-64-posix wine64
# The programs are linked statically (C++ runtime, libgcc, winpthreads), so skarvel.exe runs
# alone. Tests and other build-time runs of Windows programs go through Wine; with
# SKARVEL_WINEPREFIX set (the windows preset does), through cmake/wine-emulator.sh, in a Wine
# prefix of their own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  # Debian's wine64 package keeps its loader and server out of PATH; the wine package adds
  # wrappers.
  find_program(SKARVEL_WINE NAMES wine wine64 PATHS /usr/lib/wine)
  find_program(SKARVEL_WINESERVER NAMES wineserver PATHS /usr/lib/wine)
  if(SKARVEL_WINE AND SKARVEL_WINESERVER AND SKARVEL_WINEPREFIX)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        /bin/sh ${CMAKE_CURRENT_LIST_DIR}/wine-emulator.sh ${SKARVEL_WINEPREFIX} ${SKARVEL_WINE}
        ${SKARVEL_WINESERVER})
  elseif(SKARVEL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${SKARVEL_WINE})
  endif()
endif()
