# Cross-building velmora.exe for 64-bit Windows on Debian with MinGW-w64:
#   cmake -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake
# The posix flavour of the compiler is the one with C++ threads, which GoogleTest needs.
# Tests run through wine, in a wine prefix of the build tree's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_target x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_target}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_target}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_target}-windres)

# Libraries and headers come from the MinGW-w64 tree only; programs from the machine.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_target})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR
  /usr/bin/env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all
  WINEDLLOVERRIDES=mscoree,mshtml= wine)
