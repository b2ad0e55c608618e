#!/usr/bin/env bash
# Every case of data_memory, each in a process of its own.
#   bench/data_memory/run.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
for c in midi-changes midi-notes sound tiny-sounds pictures; do
  "$build/bench/data_memory/data_memory" "$c"
done
