# SPDX-License-Identifier: MIT
# Cross-compiles the Windows build with Debian's mingw-w64: one static, stripped blinkolux.exe.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
find_program(MINGW_WINDRES x86_64-w64-mingw32-windres)
if(NOT MINGW_WINDRES)
  message(FATAL_ERROR "x86_64-w64-mingw32-windres is needed for the Windows build: install the "
                      "Debian package mingw-w64")
endif()
set(CMAKE_RC_COMPILER ${MINGW_WINDRES})
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No runtime DLL beside the exe: the C++ runtime and winpthreads are linked in.
# Terminal-Server aware; no time stamp, so that two builds of the same source are the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s -Wl,--tsaware -Wl,--no-insert-timestamp")
# Tests run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
