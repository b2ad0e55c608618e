#!/usr/bin/env bash
# Builds the browser site (scripts/build-web.sh) and runs its tests in a real
# browser against a local server (tests/web/run_browser_tests.py): the page
# starts clean, the game is the headless game frame for frame, scores and
# the name survive a reload, a closed browser and three tabs at once, sound,
# keys, focus, touch on a phone, the end screen, the offline start.
#
#   scripts/test-web.sh [ENGINE...]   chromium (the default), firefox, webkit
#
# Each engine is Debian's: headless Chromium over its DevTools protocol,
# Firefox ESR over WebDriver BiDi, WebKitGTK through WebKitWebDriver under a
# virtual display (tests/web/engines.py); a test an engine cannot run says
# why. Screenshots land in build-web/shots/ENGINE/ (or $WEB_SHOTS/ENGINE).
# The headless run it compares with is build/'s zarnik-shot. With
# WEB_NO_BUILD=1 a site built before is tested as it is (CI's later engines
# test the site its Chromium stage built).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
WEB_BUILD_DIR=${WEB_BUILD_DIR:-build-web}
JOBS=${JOBS:-$(nproc)}
engines=("$@")
[ ${#engines[@]} -gt 0 ] || engines=(chromium)
./scripts/deps.sh --web
if [ "${WEB_NO_BUILD:-}" != 1 ] || [ ! -d "$WEB_BUILD_DIR/test-site" ] ||
  [ ! -x "$BUILD_DIR/tools/zarnik-shot/zarnik-shot" ]; then
  ./scripts/build-web.sh
  cmake --build "$BUILD_DIR" -j "$JOBS" --target zarnik-shot
fi
status=0
for engine in "${engines[@]}"; do
  python3 tests/web/run_browser_tests.py "$WEB_BUILD_DIR" "$BUILD_DIR" ${WEB_SHOTS:+"$WEB_SHOTS"} \
    --engine "$engine" || status=1
done
exit $status
