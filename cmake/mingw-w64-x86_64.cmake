# Cross-building for 64-bit Windows with Debian's mingw-w64 (POSIX threads,
# so std::thread and std::mutex work). Used by scripts/build-windows.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZARNIK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZARNIK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZARNIK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZARNIK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZARNIK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthread go into each program: nothing but
# the system's own DLLs is needed beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine on the build machine.
find_program(ZARNIK_WINE NAMES wine wine64)
if(ZARNIK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZARNIK_WINE})
endif()

