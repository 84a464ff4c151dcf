# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S windows -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake
# The posix flavour of the compiler is the one with std::thread and std::mutex.
# Programs built so are run by Wine when CMake or CTest starts them (add_test, test
# discovery), so the test programs can be run from the Linux build host.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DM_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${DM_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own runtime (libgcc, libstdc++, winpthread) is linked in, so the
# programs need no DLL from the cross compiler's folders at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(DM_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(DM_WINE NAMES wine NO_CMAKE_FIND_ROOT_PATH)
if(DM_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${DM_WINE64})
elseif(DM_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${DM_WINE})
endif()
