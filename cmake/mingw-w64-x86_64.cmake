# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix threads), and runs what it
# builds (tests, tools) under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Programs carry their runtime, so that they start under Wine (and on Windows) without the
# compiler's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Likewise the shared libraries and the package: each carries the C++ runtime it needs.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
find_program(QUELT_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUELT_WINE})
