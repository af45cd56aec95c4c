#!/usr/bin/env bash
# Builds the Flutter Windows app stand-in (tests/flutter_windows_app) with
# mingw-w64, which adds the plugin through windows/CMakeLists.txt as a
# Flutter app's generated CMake does, and runs its runner under Wine.
# Prints PASS or FAIL last; exits 0 on PASS.
#   scripts/check-flutter-windows-app.sh [build-dir]   (default /tmp/corvane-flutter-windows-app)
# Environment: WINEPREFIX (default /tmp/corvane-wine, created on first use),
# WINEDEBUG (default -all). Callers that share the machine wrap it in the
# build lock, as for any build. Stops the prefix's wineserver when done.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-/tmp/corvane-flutter-windows-app}"

fail() {
  echo "check-flutter-windows-app: $*" >&2
  echo "FAIL"
  exit 1
}

cmake -S "$repo/tests/flutter_windows_app" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchains/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null || fail "configure failed"
cmake --build "$build" || fail "build failed"

runner="$build/runner.exe"
for file in "$runner" "$build/corvane_plugin.dll" "$build/flutter_windows.dll"; do
  [[ -f "$file" ]] || fail "missing after the build: $file"
done
# The DLL built the app's way (linked to the app's `flutter` target) exports
# and imports what the main build's does.
"$repo/scripts/check-windows-dll.sh" "$build/corvane_plugin.dll" || fail "the plugin DLL's exports or imports are wrong"

# Wine as scripts/wine-ctest.sh runs it: a persistent server, warmed with
# every output detached, so that no service process holds our output open.
export WINEPREFIX="${WINEPREFIX:-/tmp/corvane-wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  echo "check-flutter-windows-app: creating the Wine prefix $WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
fi
(wineserver -p >/dev/null 2>&1 || true; wine cmd /c exit >/dev/null 2>&1) </dev/null
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

status=0
timeout 120 wine "$runner" </dev/null || status=$?
if (( status != 0 )); then
  echo "check-flutter-windows-app: the runner exited with $status" >&2
  echo "FAIL"
  exit 1
fi
echo "PASS"
