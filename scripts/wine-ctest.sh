#!/usr/bin/env bash
# Runs ctest on a mingw-w64 build directory, each test program under Wine.
#   scripts/wine-ctest.sh <build-dir> [ctest options...]
# Runs itself under xvfb-run (see below). Environment: WINEPREFIX (default
# /tmp/corvane-wine, created on first use, about 700 MB), WINEDEBUG (default
# -all). One run per prefix at a time: the run stops the prefix's wineserver
# when it ends.
#
# A cold `wine x.exe` costs about 2.4 s; with a persistent wineserver that is
# already warm each test takes a few hundredths of a second. The server and
# Wine's service processes must be started here, detached from every output,
# before ctest: started by the first test instead, they inherit ctest's
# output pipe and ctest waits on it forever.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 <build-dir> [ctest options...]" >&2
  exit 2
fi
dir=$1
shift

# Wine's Direct3D needs an X display: the whole run, wineserver included,
# goes under a virtual one (Mesa's software OpenGL draws). The checks of the
# no-display case unset DISPLAY themselves.
if [ -z "${CORVANE_WINE_UNDER_XVFB:-}" ]; then
  exec env CORVANE_WINE_UNDER_XVFB=1 xvfb-run -a bash "$0" "$dir" "$@"
fi

export WINEPREFIX="${WINEPREFIX:-/tmp/corvane-wine}"
export WINEDEBUG="${WINEDEBUG:--all}"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-ctest: creating the Wine prefix $WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  # wineboot returns while its server still finishes the prefix; a second
  # server cannot start until that one has gone.
  wineserver -w
fi

# `wineserver -p` fails when a persistent server already runs, which is
# already the state wanted.
(wineserver -p >/dev/null 2>&1 || true; wine cmd /c exit >/dev/null 2>&1) </dev/null
# Stops this prefix's server and the service processes it keeps.
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

ctest --test-dir "$dir" "$@"
