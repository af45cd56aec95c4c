#!/usr/bin/env bash
# Fails unless corvane_plugin.dll exports exactly the entry point, imports
# only DLLs of scripts/windows-dll-imports.allow, and imports from
# flutter_windows.dll only the functions of
# scripts/flutter-windows-functions.allow (and at least the messenger getter:
# the embedding is reached through imports, never linked in).
#   scripts/check-windows-dll.sh <build>/src/plugin/corvane_plugin.dll
# Environment: OBJDUMP (default x86_64-w64-mingw32-objdump).
set -euo pipefail

dll="${1:?usage: check-windows-dll.sh <corvane_plugin.dll>}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
objdump="${OBJDUMP:-x86_64-w64-mingw32-objdump}"
entry="CorvanePluginCApiRegisterWithRegistrar"
dll_allow="$here/windows-dll-imports.allow"
function_allow="$here/flutter-windows-functions.allow"

if [[ ! -f "$dll" ]]; then
  echo "check-windows-dll: no such file: $dll" >&2
  exit 2
fi

dump=$("$objdump" -p "$dll")

# Exported names: the rows after "[Ordinal/Name Pointer] Table" up to the
# next blank line.
exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
               on && NF == 0 { on = 0 }
               on { print $NF }' <<<"$dump" | sort -u)
# "<dll> <function>" per imported function; "<dll> #<ordinal>" for one
# imported by ordinal.
imports=$(awk '/^\tDLL Name: / { dll = $3; print dll " -"; next }
               /^\tvma:/ { next }
               dll != "" && NF == 0 { dll = "" }
               dll != "" && NF >= 3 { print dll " " $3 }
               dll != "" && NF == 2 { print dll " #" $2 }' <<<"$dump")

allowed_lines() { sed -e 's/#.*//' -e 's/[[:space:]]*$//' -e '/^$/d' "$1"; }

failed=0
fail() {
  echo "check-windows-dll: $dll: $*" >&2
  failed=1
}

if [[ "$exports" != "$entry" ]]; then
  fail "must export exactly $entry; it exports: $(echo ${exports:-nothing})"
fi

mapfile -t dll_patterns < <(allowed_lines "$dll_allow")
mapfile -t imported_dlls < <(awk '{ print $1 }' <<<"$imports" | sort -u)
shopt -s nocasematch
for imported in "${imported_dlls[@]}"; do
  ok=0
  for pattern in "${dll_patterns[@]}"; do
    # Unquoted right side: a glob, matched without regard to case.
    if [[ "$imported" == $pattern ]]; then ok=1; break; fi
  done
  (( ok )) || fail "imports $imported, which is not in $(basename "$dll_allow")"
done

flutter_functions=$(awk 'tolower($1) == "flutter_windows.dll" && $2 != "-" { print $2 }' <<<"$imports" | sort -u)
shopt -u nocasematch
allowed_functions=$(allowed_lines "$function_allow" | sort -u)
unexpected=$(comm -23 <(echo "$flutter_functions") <(echo "$allowed_functions") | sed '/^$/d')
if [[ -n "$unexpected" ]]; then
  fail "imports flutter_windows.dll functions outside $(basename "$function_allow"): $(echo $unexpected)"
fi
if ! grep -qx FlutterDesktopPluginRegistrarGetMessenger <<<"$flutter_functions"; then
  fail "does not import FlutterDesktopPluginRegistrarGetMessenger from flutter_windows.dll"
fi

if (( failed )); then
  echo "check-windows-dll: imports found:" >&2
  for imported in "${imported_dlls[@]}"; do echo "  $imported" >&2; done
  exit 1
fi
echo "check-windows-dll: $dll exports $entry alone; imports $(echo "${imported_dlls[@]}")"
