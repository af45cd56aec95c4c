#!/usr/bin/env bash
# Makes the demo clip if needed and plays it with the demo player: in a
# window when a display is usable, headless otherwise, writing snapshots
# and printing their paths.
# Usage: play-demo-clip.sh <corvane-play> [more player options...]
set -euo pipefail
player=${1:?usage: play-demo-clip.sh <corvane-play> [player options...]}
shift
cd "$(dirname "$0")/.."
[[ $player = /* ]] || player=$PWD/$player

clip=build-release/media/demo.mkv
bash scripts/make-demo-clip.sh "$clip" > /dev/null

# A display is usable when its socket is there (local X or Wayland), or it
# names another host (the player falls back to headless if that fails).
display_usable() {
  if [ -n "${WAYLAND_DISPLAY:-}" ] && [ -S "${XDG_RUNTIME_DIR:-/nonexistent}/$WAYLAND_DISPLAY" ]; then
    return 0
  fi
  case ${DISPLAY:-} in
    '') return 1 ;;
    :*) local n=${DISPLAY#:}; n=${n%%.*}; [ -S "/tmp/.X11-unix/X$n" ] ;;
    *) return 0 ;;
  esac
}

if display_usable; then
  echo "Playing $clip in a window (space pause, arrows seek/volume, [ ] speed, s a t l, q quit)"
  exec "$player" --subtitles --subtitle-lang en "$@" "$clip"
fi

shots=build-release/snapshots
mkdir -p "$shots"
log=$shots/events.jsonl
echo "No display: playing $clip headless; events and replies as JSON lines (also in $log)"
# During "Hello 1", between cues, during "Hello 3" and during "Hello 5".
snapshots=()
for ms in 2000 4000 10000 18000; do
  snapshots+=(--snapshot "$ms:$shots/demo-$(printf '%05d' "$ms").png")
done
status=0
"$player" --headless --subtitles --subtitle-lang en "${snapshots[@]}" "$@" "$clip" | tee "$log" || status=$?
echo
echo "Snapshots:"
for ((i = 1; i < ${#snapshots[@]}; i += 2)); do
  file=${snapshots[i]#*:}
  if [ -s "$file" ]; then echo "  $PWD/$file"; else echo "  $PWD/$file (not written)"; fi
done
exit "$status"
