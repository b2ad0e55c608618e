#!/usr/bin/env bash
# The Debian package as a player gets it. From the build in build/ (or
# $BUILD_DIR; built as far as the package needs, so after scripts/test.sh
# nothing is compiled again):
#   1. cpack makes the package twice, and both must be the same bytes;
#      lintian must report no error and no warning; its version must show in
#      its metadata, its metainfo and the game's menu line.
#   2. As root: apt-get installs it with its dependencies; a fresh account
#      starts the game through the menu entry's Exec line under Xvfb, plays
#      a round, starts it again (tests/packaging/installed_game_test.cpp;
#      screenshots in build/package-shots/); dpkg --verify finds the
#      installed files unchanged. apt-get purge must then leave none of the
#      package's files, and the account's own game folder and settings as
#      they were, with no link there that leads nowhere.
# Without root, step 2 is skipped with a message: it installs a package and
# makes an account. A zarnik package that is already installed is left alone:
# the script stops before step 2.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
JOBS=${JOBS:-$(nproc)}
root=$(pwd)
shots=$root/$BUILD_DIR/package-shots
start=$(date +%s)
step_start=$start
step() {  # the time of the step that ended, then the next step's name if any
  local now
  now=$(date +%s)
  echo "   ($((now - step_start)) s)"
  step_start=$now
  [ -z "${1:-}" ] || echo "== $1"
}
fail() {
  echo "test-package: FAILED: $*" >&2
  exit 1
}

echo "== build"
./scripts/deps.sh --package
[ -f "$BUILD_DIR/CMakeCache.txt" ] || cmake -S . -B "$BUILD_DIR" -G Ninja >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target zarnik_package_parts installed_game_tests
version=$(cmake -P packaging/version.cmake)
SOURCE_DATE_EPOCH=$(date -d "$(cmake -DWHAT=date -P packaging/version.cmake)" +%s)
export SOURCE_DATE_EPOCH
deb=$root/$BUILD_DIR/package/zarnik_${version}_amd64.deb

step "package, twice"
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
first=$(sha256sum "$deb" | cut -d' ' -f1)
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
[ "$(sha256sum "$deb" | cut -d' ' -f1)" = "$first" ] || fail "two packages of one build differ"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, sha256 $first"

step "lintian"
lintian_status=0
lintian_log=$(lintian --fail-on error,warning "$deb" 2>&1) || lintian_status=$?
grep -v '^running with root privileges' <<<"$lintian_log" || true
[ $lintian_status -eq 0 ] || fail "lintian reports errors or warnings"

step "version $version"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/libexec/zarnik/zarnik | grep -aF "verze $version" >/dev/null ||
  fail "the game's menu line does not show $version"
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/metainfo/io.github.zarnik.zarnik.metainfo.xml |
  grep -F "<release version=\"$version\"" >/dev/null || fail "the metainfo has no release $version"

if [ "$(id -u)" -ne 0 ]; then
  step
  echo "test-package: the installation, the start from the menu entry and the purge are skipped:" \
    "they need root (apt-get, an account of their own)."
  echo "Package test: $(($(date +%s) - start)) s (without the installation)"
  exit 0
fi
if [[ $(dpkg-query -W -f='${db:Status-Abbrev}' zarnik 2>/dev/null || true) == ?[!n]* ]]; then
  fail "a zarnik package is installed on this machine: this test would replace and purge it"
fi

step "apt-get install"
player=zarnik-test-$$
cleanup() {
  if id "$player" >/dev/null 2>&1; then userdel --remove "$player" 2>/dev/null || true; fi
  if [ -n "${installed:-}" ] && dpkg-query -W zarnik >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q zarnik >/dev/null 2>&1 || true
  fi
}
trap cleanup EXIT
export DEBIAN_FRONTEND=noninteractive
installed=1
apt-get install -y -q "$deb" >/dev/null || fail "apt-get could not install $deb"
mapfile -t owned < <(dpkg-query -L zarnik)
echo "installed: ${#owned[@]} paths"

# What is in the package's own folders before the game runs: nothing may be
# added there.
package_dirs=(/usr/share/zarnik /usr/libexec/zarnik /usr/share/doc/zarnik)
listing() { find "${package_dirs[@]}" -printf '%p %y %m %s %l\n' | LC_ALL=C sort; }
before_play=$(listing)

step "the game from its menu entry, as a fresh account"
useradd --create-home --shell /bin/sh "$player"
home=$(getent passwd "$player" | cut -d: -f6)
rm -rf "$shots"
mkdir -p "$shots"
ZARNIK_PLAYER=$player ZARNIK_SHOTS_DIR=$shots "$BUILD_DIR/tests/packaging/installed_game_tests" ||
  fail "the installed game (screenshots and logs in $shots)"
[ "$(listing)" = "$before_play" ] || fail "something was written into the package's folders"
dpkg --verify zarnik || fail "dpkg --verify: installed files changed"

# The player's own files: names, kinds, link targets and contents.
snapshot() {
  (cd "$home" && find .local/state/zarnik .config -printf '%p %y %m %s %l\n' | LC_ALL=C sort &&
    find .local/state/zarnik .config -type f -exec sha256sum {} + | LC_ALL=C sort)
}
players_files=$(snapshot)
echo "the player's files:"
sed -n 's/^\(\.[^ ]*\) \([fl]\) .*/  \1 (\2)/p' <<<"$players_files"

step "apt-get purge"
apt-get purge -y -q zarnik >/dev/null || fail "apt-get purge failed"
installed=
left=()
for p in "${owned[@]}"; do
  [ "$p" = /. ] && continue
  if [ -L "$p" ] || [ -f "$p" ]; then
    left+=("$p")
  elif [ -d "$p" ] && ! dpkg-query -S "$p" >/dev/null 2>&1; then
    left+=("$p/")  # a folder of the package's own that stayed
  fi
done
[ ${#left[@]} -eq 0 ] || fail "left after the purge: ${left[*]}"
echo "purged: every one of ${#owned[@]} paths gone or another package's folder"
[ "$(snapshot)" = "$players_files" ] || fail "the purge changed the player's own files"
echo "the player's files are as they were"
dangling=$(find "$home/.local/state/zarnik" -xtype l)
[ -z "$dangling" ] || fail "links that lead nowhere in the player's folder: $dangling"
echo "no link in the player's folder leads nowhere"

step
echo "Package test: $(($(date +%s) - start)) s"
