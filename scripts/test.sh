#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest.
#
# With CI=true or ZARNIK_ASAN=1 it then builds everything a second time with
# AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ (or
# $ASAN_BUILD_DIR) and runs the tests there too. Tests that drive a Qt or
# X display stack (label "no-asan" or the names in asan_exclude below) are left
# out of that run: the toolkits' own leaks and uninstrumented code drown out
# anything of ours.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
./scripts/deps.sh
./scripts/build.sh
(cd "${BUILD_DIR:-build}" && ctest --output-on-failure -j "$(nproc)" --timeout 600)

if [ "${CI:-}" = true ] || [ "${ZARNIK_ASAN:-0}" = 1 ]; then
  asan_dir=${ASAN_BUILD_DIR:-build-asan}
  asan_exclude='^(WindowTest|EndToEnd|GameProgram|GameProgramWithoutDisplay|StagedInstall)\.'
  start=$(date +%s)
  BUILD_DIR=$asan_dir ./scripts/build.sh -DZARNIK_SANITIZE=ON
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
  (cd "$asan_dir" && ctest --output-on-failure -j "$(nproc)" --timeout 1200 \
     -E "$asan_exclude" -LE no-asan)
  echo "Sanitizer build and tests: $(( $(date +%s) - start )) s"
fi
