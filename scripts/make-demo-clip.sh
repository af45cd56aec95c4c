#!/usr/bin/env bash
# Makes the demo clip: about 20 s of 1280x720 video with motion and a visible
# clock, two audio tracks (English and French, with titles; different tones)
# and two subtitle tracks (English and French), in one Matroska file.
# Usage: make-demo-clip.sh <output.mkv> [seconds]   (skips the work when it
# exists; seconds defaults to 20, shorter clips keep tests quick)
set -euo pipefail
out=${1:?usage: make-demo-clip.sh <output.mkv> [seconds]}
seconds=${2:-20}
case $seconds in ''|*[!0-9]*|0) echo "make-demo-clip.sh: seconds must be a whole number above 0" >&2; exit 2;; esac
[ -s "$out" ] && { echo "$out"; exit 0; }
mkdir -p "$(dirname "$out")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One cue every 4 s, each 2.5 s long, numbered so a snapshot can be checked.
write_srt() {  # write_srt <file> <word>
  local file=$1 word=$2 i start end
  : > "$file"
  for (( i = 1; (i - 1) * 4 + 1 < seconds; i++ )); do
    start=$(( ((i - 1) * 4 + 1) * 1000 ))
    end=$(( start + 2500 ))
    (( end > seconds * 1000 )) && end=$(( seconds * 1000 ))  # no cue past the video
    printf '%d\n%s --> %s\n%s %d\n\n' "$i" "$(srt_time $start)" "$(srt_time $end)" "$word" "$i" >> "$file"
  done
}
srt_time() {  # milliseconds as HH:MM:SS,mmm
  printf '%02d:%02d:%02d,%03d' $(( $1 / 3600000 )) $(( $1 / 60000 % 60 )) $(( $1 / 1000 % 60 )) $(( $1 % 1000 ))
}
write_srt "$work/en.srt" "Hello"
write_srt "$work/fr.srt" "Bonjour"

font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
clock="drawtext=fontfile=$font:text='%{pts\\:hms}':x=(w-tw)/2:y=40:fontsize=64:fontcolor=white:box=1:boxcolor=black@0.6:boxborderw=12"

ffmpeg -hide_banner -loglevel error -y \
  -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=$seconds" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
  -f lavfi -i "sine=frequency=660:sample_rate=48000:duration=$seconds" \
  -i "$work/en.srt" -i "$work/fr.srt" \
  -filter_complex "[0:v]$clock[v]" \
  -map "[v]" -map 1:a -map 2:a -map 3:s -map 4:s \
  -c:v libx264 -preset veryfast -crf 26 -pix_fmt yuv420p -g 30 \
  -c:a aac -b:a 96k -ac 2 \
  -c:s srt \
  -metadata:s:a:0 language=eng -metadata:s:a:0 title="English" \
  -metadata:s:a:1 language=fra -metadata:s:a:1 title="Français" \
  -metadata:s:s:0 language=eng -metadata:s:s:0 title="English subtitles" \
  -metadata:s:s:1 language=fra -metadata:s:s:1 title="Sous-titres français" \
  "$work/demo.mkv"
mv "$work/demo.mkv" "$out"
echo "$out"
