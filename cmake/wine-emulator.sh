#!/bin/sh
# wine-emulator.sh PREFIX WINE WINESERVER PROGRAM [ARGUMENTS...]
# Runs a Windows program of the cross build under Wine, in the Wine prefix PREFIX (made on first
# use), quietly. The emulator of the windows preset (cmake/mingw-w64-x86_64.cmake).
#
# The prefix's server and its service processes are started here first, one caller at a time and
# without any standard stream of the caller: started by the program itself, the services would
# inherit its output pipe, and CTest would wait for the program until they end. The server stays
# 30 s after the last program has ended, and takes the services with it.
set -eu
prefix=$1
wine=$2
wineserver=$3
shift 3
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
mkdir -p "$prefix"
(
  flock 9
  # Exit status 0: a new server (none was running); 2: one is running already.
  if "$wineserver" -p30 </dev/null >/dev/null 2>&1 9>&-; then
    "$wine" wineboot </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$prefix/.skarvel-start.lock"
exec "$wine" "$@"
