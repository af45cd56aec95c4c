#!/usr/bin/env bash
# Fails unless the host library's dynamic symbols are the embedding's
# FlutterDesktop* functions and its public C++ API alone: the codec and the
# libraries linked into it must not interpose on a plugin's own copies.
#   check_exports.sh libcorvane_embedder.so
set -euo pipefail
library="${1:?usage: check_exports.sh <libcorvane_embedder.so>}"

symbols=$(nm -D --defined-only -C "$library" | awk '$2 != "A" { $1 = ""; $2 = ""; sub(/^  /, ""); print }')
stray=$(echo "$symbols" | grep -v -E '^FlutterDesktop' |
  grep -v -E '^((typeinfo|typeinfo name|vtable) for )?corvane::embedder::' || true)
# Anchored: an unoptimised build emits standard-library template helpers whose
# demangled names mention internal types only in their return type or
# template arguments; those name nothing of ours a plugin could bind to.
internal=$(echo "$symbols" | grep -E '^((typeinfo|typeinfo name|vtable) for )?corvane::embedder::internal::' || true)
flutter_count=$(echo "$symbols" | grep -c -E '^FlutterDesktop' || true)

status=0
if [[ -n "$stray" ]]; then
  echo "check_exports: $library exports symbols outside its API:"; echo "$stray" | sed 's/^/  /'; status=1
fi
if [[ -n "$internal" ]]; then
  echo "check_exports: $library exports its internals:"; echo "$internal" | sed 's/^/  /'; status=1
fi
if [[ "$flutter_count" -ne 16 ]]; then
  echo "check_exports: $library exports $flutter_count FlutterDesktop functions, not 16"; status=1
fi
[[ $status -eq 0 ]] && echo "check_exports: 1 passed, 0 failed"
exit $status
