#!/usr/bin/env bash
# Builds the Flutter Linux app stand-in (tests/flutter_linux_app), which adds
# the plugin through linux/CMakeLists.txt as a Flutter app's generated CMake
# does, installs its bundle as `flutter build linux` lays it out (the runner,
# lib/ with the embedding and the plugin), checks the plugin library's
# exports, and runs the bundle's runner on a generated clip: registration
# through the generated-style registrant, frames read as RGBA through
# copy_pixels, engine shutdown with the player playing.
# Prints PASS or FAIL last; exits 0 on PASS.
#   scripts/check-flutter-linux-app.sh [build-dir] [media-dir]
#     build-dir  default /tmp/corvane-flutter-linux-app
#     media-dir  where red_blue.mp4 is (default <build-dir>/media, made by
#                scripts/make-test-media.sh when missing)
# Callers that share the machine wrap it in the build lock, as for any build.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-/tmp/corvane-flutter-linux-app}"
media="${2:-$build/media}"

fail() {
  echo "check-flutter-linux-app: $*" >&2
  echo "FAIL"
  exit 1
}

# Release, as `flutter build linux` builds by default: the plugin target gets
# the app's -O3 with its -Wall -Werror.
cmake -S "$repo/tests/flutter_linux_app" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$build/bundle" >/dev/null || fail "configure failed"
cmake --build "$build" || fail "build failed"
rm -rf "$build/bundle"
cmake --install "$build" >/dev/null || fail "install failed"

runner="$build/bundle/corvane_app"
for file in "$runner" "$build/bundle/lib/libcorvane_plugin.so" "$build/bundle/lib/libflutter_linux_gtk.so"; do
  [[ -f "$file" ]] || fail "missing from the bundle: $file"
done
"$repo/scripts/check-flutter-linux-exports.sh" "$build/bundle/lib/libcorvane_plugin.so" ||
  fail "the plugin library's exports are wrong"

if [[ ! -f "$media/red_blue.mp4" ]]; then
  "$repo/scripts/make-test-media.sh" "$media" >/dev/null || fail "making the test media failed"
fi

# No audio device is needed; a sink that keeps the clock plays in real time.
export CORVANE_AUDIO_SINK="${CORVANE_AUDIO_SINK:-fakesink sync=true}"
status=0
timeout 120 "$runner" "$media/red_blue.mp4" || status=$?
if (( status != 0 )); then
  echo "check-flutter-linux-app: the runner exited with $status" >&2
  echo "FAIL"
  exit 1
fi
echo "PASS"
