#!/usr/bin/env bash
# Builds the game for the browser into build-web/site/ (or $WEB_BUILD_DIR):
# the page, the program (zarnik.js and zarnik.wasm, Debian's Emscripten,
# nothing downloaded), the data files, the music rendered with FluidSynth and
# the soundfont the Linux game plays it with (MP3 at 64 kbit/s, which every
# browser decodes), the glyphs and icons, the web app manifest and the
# service worker, and the same site zipped as a release offers it
# (zarnik-<version>-web.zip). The data files, the help page, glyphs and icons
# come from the host build in build/ (or $BUILD_DIR), made as far as they
# need. build-web/test-site/ is the same site with the test build of the
# program (tests/web/hooks.cpp).
#
# The program's WebAssembly, the containers, the MIDI files and the glyphs
# are stored gzip-compressed (name.gz), which the page unpacks with the
# browser's own DecompressionStream (js/page.js): the site is as light as it
# can be from any static server, compressing or not.
#
# Serve the site with any static server, e.g.
#   python3 -m http.server -d build-web/site 8000
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
./scripts/deps.sh --web
BUILD_DIR=${BUILD_DIR:-build}
WEB_BUILD_DIR=${WEB_BUILD_DIR:-build-web}
JOBS=${JOBS:-$(nproc)}
# Emscripten's JavaScript optimiser takes its modules from Debian's node.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

cmake -S . -B "$BUILD_DIR" -G Ninja >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target zarnik_data zarnik-web-assets
host=$(cd "$BUILD_DIR" && pwd)
emcmake cmake -S . -B "$WEB_BUILD_DIR/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZARNIK_HOST_BUILD_DIR="$host" >/dev/null
cmake --build "$WEB_BUILD_DIR/cmake" -j "$JOBS"

web=$(cd "$WEB_BUILD_DIR" && pwd)
site=$web/site
rm -rf "$site"
mkdir -p "$site/data" "$site/icons"
cp platform/web/site/index.html platform/web/site/manifest.webmanifest \
  platform/web/site/zarnik-audio.js "$site/"
cp "$web/cmake/game/zarnik.js" "$site/"
# Compressed the same way every time: no name, no time in the header.
pack() { gzip -9 -n -c "$1" >"$2.gz"; }
pack "$web/cmake/game/zarnik.wasm" "$site/zarnik.wasm"
# The game folder's files (the data files, the help page) as the host build
# has them beside its game; the page fetches them from data/ and opens the
# help page there.
while read -r name; do
  cp "$host/run/$name" "$site/data/"
done <"$web/cmake/site-data-files.txt"
"$host/tools/web-assets/zarnik-web-assets" "$site/data/glyphs.bin" "$site/icons"
for f in "$site"/data/*.xxx "$site"/data/*.mid "$site/data/glyphs.bin"; do
  pack "$f" "$f"
  rm "$f"
done

# The music as the Linux game plays it: the soundfont it finds first, the
# synthesiser's gain and rate. Rendered once per piece, soundfont and
# encoding; 64 kbit/s keep the two pieces under 2 MB, heard through the
# small speakers and the game's own sounds.
encoding="--abr 64"
soundfont=
for sf in /usr/share/sounds/sf2/default-GM.sf2 /usr/share/sounds/sf2/TimGM6mb.sf2 \
          /usr/share/sounds/sf2/FluidR3_GM.sf2 /usr/share/soundfonts/default.sf2; do
  if [ -f "$sf" ]; then soundfont=$sf; break; fi
done
[ -n "$soundfont" ] || { echo "build-web.sh: no General MIDI soundfont found" >&2; exit 1; }
mkdir -p "$web/music"
for piece in menu hra; do
  key=$( (cat "$host/run/$piece.mid" "$(readlink -f "$soundfont")"; echo "$encoding") |
    sha256sum | cut -c1-16)
  mp3=$web/music/$piece-$key.mp3
  if [ ! -f "$mp3" ]; then
    fluidsynth -ni -q -g 0.6 -r 44100 -F "$web/music/$piece.wav" "$soundfont" \
      "$host/run/$piece.mid" >/dev/null
    # shellcheck disable=SC2086  # the encoding is words on purpose
    lame --quiet $encoding "$web/music/$piece.wav" "$mp3.part"
    mv "$mp3.part" "$mp3"
    rm -f "$web/music/$piece.wav"
  fi
  cp "$mp3" "$site/data/$piece.mp3"
done

# The service worker keeps every file of a site for starts without a
# network; its cache is named after the files' contents.
write_worker() {
  local dir=$1 files hash
  files=$(cd "$dir" && find . -type f ! -name sw.js | sed 's|^\./||' | LC_ALL=C sort)
  hash=$(cd "$dir" && echo "$files" | xargs sha256sum | sha256sum | cut -c1-16)
  local list="'./'"
  for f in $files; do list="$list, '$f'"; done
  sed -e "s|@SITE_HASH@|$hash|" -e "s|@SITE_FILES@|$list|" "$root/platform/web/site/sw.js.in" \
    > "$dir/sw.js"
}
write_worker "$site"

# The site as players download it: zarnik-<version>-web.zip, the site in a
# folder zarnik-web, the only zip in this folder (the release takes it). Its
# bytes depend on the files alone, every timestamp the release's
# (SOURCE_DATE_EPOCH, else the date of the latest release notes' entry).
version=$(cmake -P packaging/version.cmake)
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(date -d "$(cmake -DWHAT=date -P packaging/version.cmake)" +%s)}
# shellcheck source=release.sh
source "$root/scripts/release.sh"
rm -f "$web"/*.zip
rm -rf "$web/zip"
mkdir -p "$web/zip"
cp -R "$site" "$web/zip/zarnik-web"
# The licence and the pieces of others inside the site (the fonts' glyphs,
# the soundfont behind the music, Emscripten's libraries), beside the site
# rather than in it: a player's browser need not fetch them.
cp LICENSE "$web/zip/zarnik-web/LICENSE.txt"
cp packaging/copyright "$web/zip/zarnik-web/COPYRIGHT.txt"
deterministic_zip "$web/zip" zarnik-web "$web/zarnik-$version-web.zip"
rm -rf "$web/zip"

# The test site: the same page over the test build of the program.
rm -rf "$web/test-site"
cp -r "$site" "$web/test-site"
cp "$web/cmake/tests/web/zarnik_test.js" "$web/test-site/zarnik.js"
pack "$web/cmake/tests/web/zarnik_test.wasm" "$web/test-site/zarnik.wasm"
write_worker "$web/test-site"

total=$(find "$site" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
echo "build-web.sh: $site: $((total / 1024)) KiB, as a first visit downloads it"
echo "build-web.sh: $web/zarnik-$version-web.zip: $(($(stat -c %s "$web/zarnik-$version-web.zip") / 1024)) KiB"
