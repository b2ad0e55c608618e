#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the game need.
# Only what is missing is installed; without root it prints the apt-get line.
# With --windows it also installs what the Windows build and its tests under
# Wine need (scripts/build-windows.sh, scripts/test-windows.sh); with --web
# what the browser build and its tests need (scripts/build-web.sh,
# scripts/test-web.sh); with --package what the release and the package's
# test check the packages with (scripts/release.sh, scripts/test-package.sh).
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev clang-format clang-tidy
  zlib1g-dev libpng-dev
  libfreetype-dev libfontconfig-dev fonts-liberation2 fonts-dejavu-core
  libsdl2-dev libx11-dev libfluidsynth-dev timgm6mb-soundfont
  qt6-base-dev
  xvfb xauth x11-apps imagemagick libxtst6
  liblnk-utils
  desktop-file-utils appstream
  libpixman-1-dev
)
for arg in "$@"; do
  case $arg in
    # locales: the Czech locale the installer's run with the Czech code page
    # is compiled from (scripts/test-windows.sh).
    --windows) PACKAGES+=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest wine wine64 unzip locales) ;;
    # The browser build (scripts/build-web.sh) and its tests in headless
    # Chromium (scripts/test-web.sh).
    --web) PACKAGES+=(emscripten fluidsynth lame chromium) ;;
    --package) PACKAGES+=(lintian zip) ;;
  esac
done

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run as root:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
