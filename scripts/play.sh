#!/usr/bin/env bash
# Installs what is missing, builds the game and its data files, and starts it
# from its run folder (the game finds its files in its current directory).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh
RUN_DIR="${BUILD_DIR:-build}/run"
if [ ! -x "$RUN_DIR/zarnik" ]; then
  echo "The game program has not been built yet (no $RUN_DIR/zarnik)." >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: start the game from a graphical session (DISPLAY is not set)." >&2
  exit 1
fi
cd "$RUN_DIR"
exec ./zarnik
