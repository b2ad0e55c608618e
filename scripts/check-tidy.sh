#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy, every finding an error) over the
# programs' and libraries' own sources in the compile database of the Linux
# build (build/ or $BUILD_DIR; the build makes it). The tests, benchmarks and
# fuzz targets are left out: their test-framework macros are most of what
# clang-tidy would parse and flag, and they would double the time.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh --tidy
root=$(pwd)
build=${BUILD_DIR:-build}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "No $build/compile_commands.json: build first (./scripts/build.sh)." >&2
  exit 1
fi
start=$(date +%s)
log=$(mktemp)
status=0
run-clang-tidy -p "$build" -j "$(nproc)" -quiet \
  "^$root/(game|media|platform|shell|installer|assets|tools|harness)/" >"$log" 2>&1 || status=$?
# run-clang-tidy prints every file's command; the findings are what matters.
grep -E '(warning|error):' "$log" | sort -u || true
rm -f "$log"
echo "clang-tidy: $(( $(date +%s) - start )) s, $([ $status -eq 0 ] && echo clean || echo findings)"
exit $status
