#!/usr/bin/env bash
# Fails unless the plugin library defines exactly one dynamic symbol, the
# entry point, and leaves the embedding's FlutterDesktop* functions to the
# process that loads it.
#   scripts/check-exports.sh build/src/plugin/libcorvane_plugin.so
set -euo pipefail

library="${1:?usage: check-exports.sh <libcorvane_plugin.so>}"
entry="CorvanePluginCApiRegisterWithRegistrar"

if [[ ! -f "$library" ]]; then
  echo "check-exports: no such file: $library" >&2
  exit 2
fi

# Defined dynamic symbols, names only; the linker's version-node markers
# (absolute symbols such as a version script's node name) are not exports.
defined=$(nm -D --defined-only "$library" | awk '$2 != "A" { print $3 }' | sed 's/@.*//' | sort -u)
if [[ "$defined" != "$entry" ]]; then
  echo "check-exports: $library must define exactly $entry; it defines:" >&2
  echo "$defined" | sed 's/^/  /' >&2
  exit 1
fi

flutter_defined=$(nm -D --defined-only "$library" | awk '{ print $3 }' | grep '^FlutterDesktop' || true)
if [[ -n "$flutter_defined" ]]; then
  echo "check-exports: $library defines embedding functions it must leave undefined:" >&2
  echo "$flutter_defined" | sed 's/^/  /' >&2
  exit 1
fi

undefined=$(nm -D --undefined-only "$library")
if [[ "$undefined" != *FlutterDesktopPluginRegistrarGetMessenger* ]]; then
  echo "check-exports: $library does not call the embedding through undefined FlutterDesktop* symbols" >&2
  exit 1
fi

# Linked with -z nodelete: a dlclose leaves it mapped, so a GLib source or an
# engine thread it leaves behind never runs unmapped code.
if ! readelf -d "$library" | grep -q 'Flags:.*NODELETE'; then
  echo "check-exports: $library is not linked with -z nodelete" >&2
  exit 1
fi

echo "check-exports: $library exports $entry alone and stays mapped after dlclose"
