#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo clip and plays it with the
# demo player: in a window when a display is available, headless otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build-release -j"${CORVANE_JOBS:-2}"

player=build-release/apps/corvane-play/corvane-play
if [ ! -x "$player" ]; then
  echo "The demo player (corvane-play) is not built yet; the plugin and host library are:"
  ls -1 build-release/src/plugin/libcorvane_plugin.so build-release/embedder/libcorvane_embedder.so 2>/dev/null || true
  exit 0
fi
exec bash scripts/play-demo-clip.sh "$player" "$@"
