#!/usr/bin/env bash
# Makes a release of the checked-out commit, from a clean tree, into
# build-release/ (or $RELEASE_DIR):
#   zarnik_<version>_amd64.deb       the Debian package (Debian 12 and later, Ubuntu)
#   zarnik-<version>-windows.zip     the Windows package: setup.exe beside what it installs
#   zarnik-<version>-windows-portable.zip
#                                    the game for Windows without an installer: zarnik.exe
#                                    beside its data files, played where it is unpacked
#   zarnik-<version>-web.zip         the browser's site: serve its folder, open the page
#   zarnik-<version>-source.tar.gz   the sources of the commit
#   SHA256SUMS                       the checksums of the files above
# The version is the latest entry of packaging/changelog, and that entry's
# date is every timestamp the files hold (SOURCE_DATE_EPOCH): two runs on one
# commit give the same bytes. Each run builds afresh, in build-release/work/.
# At the end it checks that the version shows where a player sees it, runs
# lintian on the package, and lists the files with their sizes and checksums.
#
# Environment: RELEASE_DIR (default build-release), JOBS (default: the cores).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
artifacts=()

fail() {
  echo "release: $*" >&2
  exit 1
}

# release_artifact KIND FILE MAKER: runs MAKER with the path the file must be
# written to (in $out) and records it for the checksums and the list.
release_artifact() {
  local kind=$1 file=$2 maker=$3
  local start
  start=$(date +%s)
  echo "== $kind: $file"
  rm -f "$out/$file"
  "$maker" "$out/$file"
  [ -s "$out/$file" ] || fail "$kind: $maker made no $file"
  artifacts+=("$file")
  echo "== $kind: $(($(date +%s) - start)) s"
}

# The checksums of every artifact, in the format `sha256sum -c` reads.
write_checksums() {
  (cd "$out" && LC_ALL=C sha256sum -- "${artifacts[@]}" >SHA256SUMS)
}

# A zip of the folder $1/$2 with the folder's name at the top, whose bytes
# depend on the files' names and contents alone: names in byte order, every
# time the release's, permissions as the executable bit says, no owner.
deterministic_zip() {
  local parent=$1 name=$2 zip=$3 stage
  stage=$(mktemp -d)
  cp -R -- "$parent/$name" "$stage/$name"
  chmod -R u=rwX,go=rX "$stage/$name"
  find "$stage/$name" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  rm -f "$zip"
  (cd "$stage" && find "$name" | LC_ALL=C sort | TZ=UTC zip -X -9 -q -@ "$zip")
  rm -rf "$stage"
}

# Compiler flags of the release builds: no path of this machine in the
# programs.
release_flags() {
  echo "-ffile-prefix-map=$root=."
}

make_deb() {
  local b=$work/linux
  rm -rf "$b"
  cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS="$(release_flags)" -DCMAKE_CXX_FLAGS="$(release_flags)" >/dev/null
  cmake --build "$b" -j "$JOBS" --target zarnik_package_parts
  (cd "$b" && cpack -G DEB >/dev/null)
  cp "$b/package/zarnik_${version}_amd64.deb" "$1"
}

# The Windows build takes the data files from the Linux build (make_deb).
make_windows_zip() {
  local b=$work/windows
  rm -rf "$b"
  cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DZARNIK_HOST_BUILD_DIR="$work/linux" \
    -DCMAKE_C_FLAGS="$(release_flags)" -DCMAKE_CXX_FLAGS="$(release_flags)" >/dev/null
  cmake --build "$b" -j "$JOBS" --target package_zip
  deterministic_zip "$b/package" zarnik "$1"
}

# The portable zip comes from the same Windows build (make_windows_zip).
make_windows_portable_zip() {
  local b=$work/windows
  cmake --build "$b" -j "$JOBS" --target portable_zip
  deterministic_zip "$b/portable" zarnik-portable "$1"
}

# The browser build (scripts/build-web.sh) builds into $WEB_BUILD_DIR and
# leaves there the one zip a player downloads; the release takes it under
# its versioned name. Like the Windows build, it takes the data files from
# the Linux build (make_deb).
make_web_zip() {
  local b=$work/web zips
  rm -rf "$b"
  BUILD_DIR=$work/linux WEB_BUILD_DIR=$b JOBS=$JOBS "$root/scripts/build-web.sh"
  mapfile -t zips < <(find "$b" -maxdepth 1 -name '*.zip')
  [ ${#zips[@]} -eq 1 ] || fail "web: expected one zip in $b, found ${#zips[@]}"
  cp "${zips[0]}" "$1"
}

make_source() {
  git -C "$root" archive --format=tar.gz --prefix="zarnik-$version/" -o "$1" HEAD
}

# The version shows in the package's metadata, in the menu's version line of
# every program built, and in the AppStream releases; the package passes
# lintian without an error or a warning.
check_release() {
  local deb=$out/zarnik_${version}_amd64.deb zip=$out/zarnik-$version-windows.zip
  local portable=$out/zarnik-$version-windows-portable.zip
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
  dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/libexec/zarnik/zarnik |
    grep -aF "verze $version" >/dev/null || fail "the Linux game does not show version $version"
  dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/metainfo/io.github.zarnik.zarnik.metainfo.xml |
    grep -F "<release version=\"$version\"" >/dev/null || fail "the metainfo has no release $version"
  unzip -p "$zip" zarnik/hra.xxx | grep -aF "verze $version" >/dev/null ||
    fail "the Windows game does not show version $version"
  unzip -p "$portable" zarnik-portable/zarnik.exe | grep -aF "verze $version" >/dev/null ||
    fail "the portable Windows game does not show version $version"
  # Both Windows zips hold the licence and the Czech readme naming the version.
  for z in "$zip:zarnik" "$portable:zarnik-portable"; do
    unzip -p "${z%%:*}" "${z#*:}/LICENSE.txt" | grep -F "GNU GENERAL PUBLIC LICENSE" >/dev/null ||
      fail "${z%%:*} has no LICENSE.txt"
    unzip -p "${z%%:*}" "${z#*:}/CTIMNE.txt" | grep -F "Zarnik $version" >/dev/null ||
      fail "${z%%:*} has no CTIMNE.txt of version $version"
  done
  unzip -p "$out/zarnik-$version-web.zip" zarnik-web/zarnik.wasm | grep -aF "verze $version" >/dev/null ||
    fail "the browser's game does not show version $version"
  lintian --fail-on error,warning "$deb"
}

main() {
  cd "$root"
  if [ -n "$(git status --porcelain)" ]; then
    git status --short >&2
    fail "the tree has changes: a release is made from a commit (commit or stash them first)"
  fi
  ./scripts/deps.sh --windows --package
  version=$(cmake -P packaging/version.cmake)
  SOURCE_DATE_EPOCH=$(date -d "$(cmake -DWHAT=date -P packaging/version.cmake)" +%s)
  export SOURCE_DATE_EPOCH
  export TZ=UTC
  umask 022
  JOBS=${JOBS:-$(nproc)}
  out=$(mkdir -p "${RELEASE_DIR:-build-release}" && cd "${RELEASE_DIR:-build-release}" && pwd)
  work=$out/work
  mkdir -p "$work"
  rm -f "$out"/zarnik[-_]* "$out/SHA256SUMS"

  echo "Release $version of $(git rev-parse --short HEAD), timestamps $(date -d "@$SOURCE_DATE_EPOCH" -u +%FT%TZ)"
  release_artifact debian "zarnik_${version}_amd64.deb" make_deb
  release_artifact windows "zarnik-$version-windows.zip" make_windows_zip
  release_artifact windows-portable "zarnik-$version-windows-portable.zip" make_windows_portable_zip
  release_artifact web "zarnik-$version-web.zip" make_web_zip
  release_artifact source "zarnik-$version-source.tar.gz" make_source
  write_checksums
  check_release

  echo
  echo "Release $version in $out:"
  (cd "$out" && for f in "${artifacts[@]}"; do
    printf '  %-43s %10s bytes  %s\n' "$f" "$(stat -c %s "$f")" "$(sha256sum "$f" | cut -d' ' -f1)"
  done)
}

# Sourced (by its test), it only defines the steps.
if ! (return 0 2>/dev/null); then
  main "$@"
fi
