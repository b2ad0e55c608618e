#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest.
#
#   scripts/test.sh            the build in build/ (or $BUILD_DIR); with
#                              CI=true or ZARNIK_ASAN=1 the sanitizer run too
#   scripts/test.sh native     only the build in build/
#   scripts/test.sh sanitizer  only the sanitizer run
#
# The sanitizer run builds everything a second time with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ (or $ASAN_BUILD_DIR) and runs
# the tests there. The tests that drive a Qt or X display stack (the names in
# asan_exclude below) are left out of it: the toolkits' own leaks and
# uninstrumented code drown out anything of ours.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

native() {
  ./scripts/build.sh
  (cd "${BUILD_DIR:-build}" && ctest --output-on-failure -j "$(nproc)" --timeout 600)
}

sanitizer() {
  local asan_dir=${ASAN_BUILD_DIR:-build-asan}
  local asan_exclude='^(WindowTest|EndToEnd|GameProgram|GameProgramWithoutDisplay|StagedInstall)\.'
  local start all kept
  start=$(date +%s)
  BUILD_DIR=$asan_dir ./scripts/build.sh -DZARNIK_SANITIZE=ON
  # How many tests the names leave out, so that a renamed test shows here
  # instead of slipping into the run or out of it unnoticed.
  all=$(cd "$asan_dir" && ctest -N | sed -n 's/^Total Tests: //p')
  kept=$(cd "$asan_dir" && ctest -N -E "$asan_exclude" | sed -n 's/^Total Tests: //p')
  echo "Sanitizer run: $kept of $all tests ($((all - kept)) drive a display stack and are left out)"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
  (cd "$asan_dir" && ctest --output-on-failure -j "$(nproc)" --timeout 1200 -E "$asan_exclude")
  echo "Sanitizer build and tests: $(($(date +%s) - start)) s"
}

./scripts/deps.sh
case ${1:-} in
  native) native ;;
  sanitizer) sanitizer ;;
  '')
    native
    if [ "${CI:-}" = true ] || [ "${ZARNIK_ASAN:-0}" = 1 ]; then sanitizer; fi
    ;;
  *)
    echo "usage: scripts/test.sh [native|sanitizer]" >&2
    exit 2
    ;;
esac
