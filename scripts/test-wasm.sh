#!/usr/bin/env bash
# Builds the libraries' own tests (platform, media, shell, game) as
# WebAssembly with Debian's Emscripten and runs them under Node, as the
# Windows build's tests run under Wine: wasm32 has 32-bit long and size_t,
# which is where faults of integer width show. The headless backend draws
# text with the glyph atlas the page brings (written by the host build in
# build/, or $BUILD_DIR); Node gives the programs the host's file system.
# What each program leaves out, and why, is tests/wasm/skip.cmake. The last
# line sums up the tests as CTest does.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh --wasm
BUILD_DIR=${BUILD_DIR:-build}
WASM_BUILD_DIR=${WASM_BUILD_DIR:-build-wasm}
JOBS=${JOBS:-$(nproc)}
# Emscripten's JavaScript optimiser takes its modules from Debian's node.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

cmake -S . -B "$BUILD_DIR" -G Ninja >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target zarnik_data zarnik-web-assets
host=$(cd "$BUILD_DIR" && pwd)
mkdir -p "$host/wasm-glyphs"
"$host/tools/web-assets/zarnik-web-assets" "$host/wasm-glyphs/glyphs.bin" "$host/wasm-glyphs"

# Node 18 and later have fetch(), which this Emscripten's loader then takes
# for reading the program's own file: without it, it reads the file.
node=$(command -v node)
emcmake cmake -S . -B "$WASM_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZARNIK_HOST_BUILD_DIR="$host" -DZARNIK_WASM_TESTS=ON \
  -DZARNIK_GLYPH_ATLAS="$host/wasm-glyphs/glyphs.bin" \
  "-DCMAKE_CROSSCOMPILING_EMULATOR=$node;--no-experimental-fetch" >/dev/null
cmake --build "$WASM_BUILD_DIR" -j "$JOBS" --target zarnik_wasm_tests

results=$WASM_BUILD_DIR/wasm-results
rm -rf "$results"
mkdir -p "$results"
# CTest counts programs: its summary says so, leaving the tests' count below
# the only one of its kind (.ci/run sums such lines).
set +e
ctest --test-dir "$WASM_BUILD_DIR" -j "$JOBS" --output-on-failure 2>&1 |
  sed -e 's/tests passed, \([0-9]*\) tests failed out of/programs passed, \1 programs failed out of/'
status=${PIPESTATUS[0]}
set -e

# The count of the tests inside the programs, from their reports.
python3 - "$results" <<'PY'
import glob, sys
import xml.etree.ElementTree as ET
total = failed = 0
for path in sorted(glob.glob(sys.argv[1] + '/*.xml')):
    root = ET.parse(path).getroot()
    total += int(root.get('tests')) - int(root.get('disabled', 0))
    failed += int(root.get('failures')) + int(root.get('errors', 0))
print('%d%% tests passed, %d tests failed out of %d in WebAssembly' %
      (100 * (total - failed) // max(total, 1), failed, total))
PY
exit "$status"
