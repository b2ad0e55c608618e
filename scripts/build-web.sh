#!/usr/bin/env bash
# Builds the game for the browser into build-web/site/ (or $WEB_BUILD_DIR):
# the page, the program (zarnik.js and zarnik.wasm, Debian's Emscripten,
# nothing downloaded), the data files, the music rendered with FluidSynth and
# the soundfont the Linux game plays it with (MP3, which every browser
# decodes), the glyphs and icons, the web app manifest and the service
# worker. The data files, glyphs and icons come from the host build in build/
# (or $BUILD_DIR), made as far as they need. build-web/test-site/ is the same
# site with the test build of the program (tests/web/hooks.cpp).
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
cp "$web/cmake/game/zarnik.js" "$web/cmake/game/zarnik.wasm" "$site/"
# The data files: what the generator wrote beside the game.
cp "$host"/run/*.xxx "$host"/run/*.mid "$site/data/"
"$host/tools/web-assets/zarnik-web-assets" "$site/data/glyphs.bin" "$site/icons"

# The music as the Linux game plays it: the soundfont it finds first, the
# synthesiser's gain and rate. Rendered once per piece and soundfont.
soundfont=
for sf in /usr/share/sounds/sf2/default-GM.sf2 /usr/share/sounds/sf2/TimGM6mb.sf2 \
          /usr/share/sounds/sf2/FluidR3_GM.sf2 /usr/share/soundfonts/default.sf2; do
  if [ -f "$sf" ]; then soundfont=$sf; break; fi
done
[ -n "$soundfont" ] || { echo "build-web.sh: no General MIDI soundfont found" >&2; exit 1; }
mkdir -p "$web/music"
for piece in menu hra; do
  key=$(cat "$host/run/$piece.mid" "$(readlink -f "$soundfont")" | sha256sum | cut -c1-16)
  mp3=$web/music/$piece-$key.mp3
  if [ ! -f "$mp3" ]; then
    fluidsynth -ni -q -g 0.6 -r 44100 -F "$web/music/$piece.wav" "$soundfont" \
      "$host/run/$piece.mid" >/dev/null
    lame --quiet -V 5 "$web/music/$piece.wav" "$mp3.part"
    mv "$mp3.part" "$mp3"
    rm -f "$web/music/$piece.wav"
  fi
  cp "$mp3" "$site/data/$piece.mp3"
done

# The service worker keeps every file of a site for starts without a
# network; its cache is named after the files' contents.
write_worker() {
  local dir=$1 files hash
  files=$(cd "$dir" && find . -type f ! -name sw.js | sed 's|^\./||' | sort)
  hash=$(cd "$dir" && echo "$files" | xargs sha256sum | sha256sum | cut -c1-16)
  local list="'./'"
  for f in $files; do list="$list, '$f'"; done
  sed -e "s|@SITE_HASH@|$hash|" -e "s|@SITE_FILES@|$list|" "$root/platform/web/site/sw.js.in" \
    > "$dir/sw.js"
}
write_worker "$site"

# The test site: the same page over the test build of the program.
rm -rf "$web/test-site"
cp -r "$site" "$web/test-site"
rm "$web/test-site/zarnik.wasm"
cp "$web/cmake/tests/web/zarnik_test.js" "$web/test-site/zarnik.js"
cp "$web/cmake/tests/web/zarnik_test.wasm" "$web/test-site/"
write_worker "$web/test-site"

total=$(find "$site" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
packed=$(find "$site" -type f -exec sh -c 'gzip -9 -c "$1" | wc -c' _ {} \; | awk '{s+=$1} END {print s}')
echo "build-web.sh: $site: $((total / 1024)) KiB, $((packed / 1024)) KiB compressed (gzip -9)"
