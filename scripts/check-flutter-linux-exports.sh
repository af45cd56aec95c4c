#!/usr/bin/env bash
# Fails unless the Flutter Linux build of the plugin library defines exactly
# one dynamic symbol, its entry point corvane_plugin_register_with_registrar,
# keeps the FlutterDesktop* functions of its binding inside (neither
# defined nor needed from outside), calls the embedding through fl_*
# functions, and stays mapped after dlclose.
#   scripts/check-flutter-linux-exports.sh bundle/lib/libcorvane_plugin.so
set -euo pipefail

library="${1:?usage: check-flutter-linux-exports.sh <libcorvane_plugin.so>}"
entry="corvane_plugin_register_with_registrar"

if [[ ! -f "$library" ]]; then
  echo "check-flutter-linux-exports: no such file: $library" >&2
  exit 2
fi

# Defined dynamic symbols, names only; the version script's node markers
# (absolute symbols) are not exports.
defined=$(nm -D --defined-only "$library" | awk '$2 != "A" { print $3 }' | sed 's/@.*//' | sort -u)
if [[ "$defined" != "$entry" ]]; then
  echo "check-flutter-linux-exports: $library must define exactly $entry; it defines:" >&2
  echo "$defined" | sed 's/^/  /' >&2
  exit 1
fi

undefined=$(nm -D --undefined-only "$library" | awk '{ print $2 }' | sed 's/@.*//')
if grep -q '^FlutterDesktop' <<<"$undefined"; then
  echo "check-flutter-linux-exports: $library needs FlutterDesktop* functions from outside:" >&2
  grep '^FlutterDesktop' <<<"$undefined" | sed 's/^/  /' >&2
  exit 1
fi
for function in fl_binary_messenger_set_message_handler_on_channel fl_texture_registrar_register_texture \
                fl_texture_get_id fl_pixel_buffer_texture_get_type; do
  if ! grep -qx "$function" <<<"$undefined"; then
    echo "check-flutter-linux-exports: $library does not call the embedding's $function" >&2
    exit 1
  fi
done

# GLib never forgets the texture type the library registers, so the code
# behind it must stay mapped.
if ! readelf -d "$library" | grep -q 'Flags:.*NODELETE'; then
  echo "check-flutter-linux-exports: $library is not linked with -z nodelete" >&2
  exit 1
fi

echo "check-flutter-linux-exports: $library exports $entry alone and calls the embedding through flutter_linux"
