#!/usr/bin/env bash
# Soak: a few hundred create/open/play/seek/dispose cycles of the shipped
# plugin over local files, HTTP files, HLS, DASH, missing files and garbage
# (tests/soak/plugin_soak.cpp). Prints open descriptors, threads and resident
# memory after cycle 10 and at the end, and fails when descriptors or threads
# grew by more than 2 or resident memory by more than 20 MB.
#
#   scripts/soak.sh <build-dir> [cycles] [seed]
#
# Run it on a normal build: a sanitizer's quarantine inflates resident memory.
set -euo pipefail
build=${1:?usage: scripts/soak.sh <build-dir> [cycles] [seed]}
cycles=${2:-300}
seed=${3:-$RANDOM}
cmake --build "$build" --target plugin_soak test_media > /dev/null
export CORVANE_AUDIO_SINK="${CORVANE_AUDIO_SINK:-fakesink sync=true}"
CORVANE_TEST_MEDIA="${CORVANE_TEST_MEDIA:-$build/media}" "$build/tests/soak/plugin_soak" --cycles "$cycles" --seed "$seed"
