#!/usr/bin/env bash
# Installs the Debian packages a task needs; only what is missing is
# installed, and without root it prints the apt-get line instead.
#   scripts/deps.sh   the Linux build and its tests (scripts/build.sh,
#                     scripts/test.sh, scripts/play.sh)
#   --windows         that and the Windows cross build and its run under Wine
#                     (scripts/build-windows.sh, scripts/test-windows.sh)
#   --web             that and the browser build and its tests in headless
#                     Chromium (scripts/build-web.sh, scripts/test-web.sh)
#   --wasm            that and the libraries' tests built with Emscripten and
#                     run under Node (scripts/test-wasm.sh)
#   --package         that and what the release and the package's test check
#                     the packages with (scripts/release.sh, test-package.sh)
#   --fuzz            that and clang for the fuzz targets (scripts/fuzz.sh)
#   --format          only clang-format (scripts/check-format.sh)
#   --tidy            only clang-tidy (scripts/check-tidy.sh; it reads the
#                     compile database of a Linux build made before)
# The Windows and browser builds take the data files from the Linux build,
# hence its packages with theirs.
set -euo pipefail

LINUX=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev
  zlib1g-dev libpng-dev
  libfreetype-dev libfontconfig-dev fonts-liberation2 fonts-dejavu-core
  libsdl2-dev libx11-dev libfluidsynth-dev timgm6mb-soundfont
  qt6-base-dev
  # The tests' tools: the virtual display and its screenshots, the shortcut
  # and desktop-entry checkers.
  xvfb xauth x11-apps libxtst6
  liblnk-utils desktop-file-utils appstream
)
PACKAGES=()
linux=$(($# == 0))
for arg in "$@"; do
  case $arg in
    # locales: the Czech locale the installer's run with the Czech code page
    # is compiled from; imagemagick turns the runs' screenshots into PNG.
    --windows)
      linux=1
      PACKAGES+=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest wine wine64 unzip
        locales imagemagick)
      ;;
    # The browser build (scripts/build-web.sh) and its tests in three
    # engines (scripts/test-web.sh): headless Chromium, Firefox ESR and
    # WebKitGTK's driver with its MiniBrowser; zip for the site as a release
    # offers it.
    --web)
      linux=1
      PACKAGES+=(emscripten fluidsynth lame zip chromium firefox-esr webkit2gtk-driver)
      ;;
    # GoogleTest built from Debian's sources, as for Windows; Node runs the
    # programs.
    --wasm)
      linux=1
      PACKAGES+=(emscripten googletest nodejs)
      ;;
    --package)
      linux=1
      PACKAGES+=(lintian zip)
      ;;
    # clang's libFuzzer and sanitizer runtimes.
    --fuzz)
      linux=1
      PACKAGES+=(clang libclang-rt-dev)
      ;;
    --format) PACKAGES+=(clang-format) ;;
    --tidy) PACKAGES+=(clang-tidy) ;;
    *)
      echo "usage: scripts/deps.sh [--windows] [--web] [--wasm] [--package] [--fuzz] [--format] [--tidy]" >&2
      exit 2
      ;;
  esac
done
[ "$linux" -eq 0 ] || PACKAGES+=("${LINUX[@]}")

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
