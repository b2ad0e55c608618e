#!/usr/bin/env bash
# Cross-builds the game and its Windows test programs with Debian's mingw-w64
# into build-win/ (or $WIN_BUILD_DIR): build-win/run/zarnik.exe beside the
# data files. The data files and the splash picture come from the host build
# in build/ (or $BUILD_DIR), which is configured and made as far as they need.
# The programs link their C and C++ runtimes statically: nothing but the
# system's own DLLs is needed beside them. Extra arguments go to the Windows
# configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh --windows
BUILD_DIR=${BUILD_DIR:-build}
WIN_BUILD_DIR=${WIN_BUILD_DIR:-build-win}
JOBS=${JOBS:-$(nproc)}
cmake -S . -B "$BUILD_DIR" -G Ninja >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target zarnik_data
cmake -S . -B "$WIN_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DZARNIK_HOST_BUILD_DIR="$(cd "$BUILD_DIR" && pwd)" "$@" >/dev/null
cmake --build "$WIN_BUILD_DIR" -j "$JOBS"
