#!/bin/sh
# Builds the codec fuzzer (clang, AddressSanitizer + UndefinedBehaviorSanitizer)
# in build-fuzz and runs it for the given number of seconds from a seed corpus
# of real protocol messages and the inputs earlier runs found
# (tests/fuzz/corpus). Exits non-zero on any crash, leak, sanitizer report,
# input that takes over 10 s, or single allocation above the limit.
#
# Usage: scripts/fuzz-smoke.sh <seconds>
#
# Inputs are at most 16 KiB and no single allocation may exceed 1 MiB, so a
# decoder that trusts a size prefix, or allocates more than a small multiple
# of the message, fails the run.
set -eu

seconds=${1:?usage: fuzz-smoke.sh <seconds>}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
lock=/tmp/corvane-build.lock
max_len=16384
malloc_limit_mb=1

if [ ! -f "$build/build.ninja" ]; then
  flock "$lock" env CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVANE_FUZZ=ON -DCORVANE_ASAN=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF
fi
flock "$lock" cmake --build "$build" -j2 --target codec_fuzzer codec_fuzzer_corpus

work="$build/fuzz"
mkdir -p "$work/seeds" "$work/corpus" "$work/artifacts"
"$build/tests/fuzz/codec_fuzzer_corpus" "$work/seeds"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

# The codec writes a diagnostic line for every malformed message; closing the
# target's stderr keeps the run fast, and libFuzzer still prints its reports.
flock "$lock" "$build/tests/fuzz/codec_fuzzer" \
  -max_total_time="$seconds" \
  -max_len="$max_len" \
  -malloc_limit_mb="$malloc_limit_mb" \
  -rss_limit_mb=1024 \
  -timeout=10 \
  -close_fd_mask=2 \
  -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" \
  "$work/corpus" "$work/seeds" "$root/tests/fuzz/corpus"
