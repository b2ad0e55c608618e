#!/usr/bin/env bash
# Builds the browser site (scripts/build-web.sh) and runs its tests in a real
# headless Chromium against a local server (tests/web/run_browser_tests.py):
# the page starts clean, the game is the headless game frame for frame, scores
# and the name survive a reload, sound, keys, focus, the end screen, the
# offline start. Screenshots land in build-web/shots/ (or $WEB_SHOTS). The
# headless run it compares with is build/'s zarnik-shot.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
WEB_BUILD_DIR=${WEB_BUILD_DIR:-build-web}
JOBS=${JOBS:-$(nproc)}
./scripts/build-web.sh
cmake --build "$BUILD_DIR" -j "$JOBS" --target zarnik-shot
python3 tests/web/run_browser_tests.py "$WEB_BUILD_DIR" "$BUILD_DIR" ${WEB_SHOTS:+"$WEB_SHOTS"}
