#!/usr/bin/env bash
# Generates the media the tests and benchmarks play, with ffmpeg (and openssl
# for the HTTPS tests' throwaway certificates).
#
#   scripts/make-test-media.sh <outdir> [--bench]
#
# Idempotent: a file that already exists is left alone, so a rerun costs
# nothing. Each file is written to a temporary name first and renamed when
# complete, so an interrupted run never leaves a half-written file that a
# later run would skip. --bench adds bench_1080p30.mp4, which takes a while.
#
# What each file holds (tests rely on these facts):
#   h264_aac.mp4     3 s, 320x240 25 fps testsrc, H.264 + AAC stereo 48000 Hz sine 440 Hz
#   multi.mkv        4 s, 320x240 H.264 video and
#                    audio 0: AAC  stereo 48000 Hz, 440 Hz, language eng, title "English commentary"
#                    audio 1: MP3  mono   44100 Hz, 660 Hz, language fra, title "Français"
#                    audio 2: Opus stereo 48000 Hz, 880 Hz, language deu, title "Deutsch"
#                    subtitle 0: SRT, language eng, title "English":
#                                "Hello" 0.5-1.5 s, "World" 2.0-3.0 s
#                    subtitle 1: SRT, language fra, title "Français":
#                                "Bonjour" 0.5-1.5 s, "Monde" 2.0-3.0 s
#   red_blue.mp4     2 s, 160x120 25 fps H.264 yuv420p, no audio:
#                    solid red for 0-1 s, solid blue for 1-2 s
#   cue_span.mkv     8 s, 160x120 25 fps H.264 with a keyframe every second,
#                    solid red 0-2 s, green 2-4 s, blue 4-6 s, white 6-8 s;
#                    AAC stereo 440 Hz; one cue from 1.5 to 7.5 s on each of
#                    subtitle 0: SRT eng "Spanning", 1: ASS deu "Spanning
#                    longer", 2: WebVTT fra "Spanning the longest"
#   cue_span.mp4     the same picture and audio in MP4, with the cue on two
#                    mov_text tracks: 0 eng "Spanning", 1 fra "Spanning the
#                    longest"
#   random.bin       64 KiB of random bytes (no container)
#   hls/master.m3u8  4 s HLS, 1 s segments, H.264 + AAC, two variants:
#                    320x180 (v0.m3u8) and 640x360 (v1.m3u8), BANDWIDTH and RESOLUTION given
#   hls_colours/index.m3u8  3 s HLS, 1 s segments, 160x120 25 fps H.264 + AAC
#                    440 Hz, packaged by ffmpeg (clock reference 0.7 s before the
#                    first picture): red 0-1 s, blue 1-2 s, red 2-3 s
#   dash/manifest.mpd 4 s DASH (static, 1 s segments): 320x180 25 fps H.264 and
#                    AAC stereo 48000 Hz 440 Hz, each a representation of its own
#   anamorphic.mp4   2 s, coded 360x240 with sample aspect ratio 4:3, so it
#                    displays as 480x240; H.264, no audio
#   video_only.mp4   2 s, 320x240 H.264, no audio
#   tail_index.mp4   3 s, 160x120 H.264 + AAC, index (moov) at the end of the file
#   clip.ts          3 s, 160x120 H.264 + AAC in MPEG-TS
#   clip.webm        3 s, 160x120 VP8 + Opus in WebM
#   tone.mp3         3 s, MP3 mono 44100 Hz, 440 Hz
#   pcm.mov, pcm.mkv 2 s, 160x120 H.264 + PCM s16le stereo 48000 Hz, 440 Hz
#   interlaced.mp4   2 s, 320x240 H.264 interlaced (25 frames/s, top field first)
#                    made from 50 frames/s: a white 40x120 box at y 60 on black
#                    moving 12 px right per field, so undeinterlaced frames comb
#   rotated.mp4      2 s, coded 320x160 H.264, no audio, left half red and right
#                    half blue, with a display matrix that turns it 90 degrees
#                    clockwise (a phone's portrait video): shown 160x320, red
#                    on top
#   audio_only.m4a   2 s, AAC stereo 48000 Hz, 440 Hz
#   long.mp4         20 s, 160x120 15 fps H.264 + AAC mono at a small bit rate
#                    (about 150 kbit/s in all), for HTTP and throttling tests
#   bitmap_subs.mkv  4 s, 320x240 25 fps H.264 + AAC stereo 48000 Hz 440 Hz, and
#                    subtitle 0: SRT, language eng, title "English": "Hello" 1.0-2.5 s
#                    subtitle 1: PGS bitmaps (hdmv_pgs_subtitle, made by
#                                make-pgs-subtitles.py), language deu, title "Bitmap":
#                                a white 62x30 rectangle 0.5-2.0 s, then a clearing set
#                    (all times about 0.02 s later in the file: the muxer shifts
#                    everything by the AAC encoder delay)
#   two_video.mkv    4 s, two H.264 video streams: 0 solid red 160x120, 1 solid
#                    blue 320x240, both 25 fps; AAC stereo 48000 Hz 440 Hz
#   styled_subs.mkv  8 s, 320x240 25 fps H.264 (a keyframe every second) + AAC
#                    stereo 440 Hz, and
#                    subtitle 0: ASS, language eng, title "Styled", script 320x240,
#                                style "Top": red (&H000000FF), top centre (8),
#                                size 30, black outline 2: "Styled" 0.5-6.5 s
#                    subtitle 1: WebVTT (Matroska D_WEBVTT/SUBTITLES), language deu,
#                                title "Web": "Hallo <b>Welt</b>" 0.5-6.5 s
#   tls/             throwaway certificates for the HTTPS tests (openssl), never
#                    trusted by the system; a test process trusts ca.pem itself:
#                    ca.pem                 test CA (EC P-256), its key is thrown away
#                    server.pem server.key  for IP 127.0.0.1, signed by the test CA
#                    untrusted.pem untrusted.key  self-signed, also for IP 127.0.0.1,
#                                           so that trust is the only thing it lacks
#   bench_1080p30.mp4 (--bench) 10 s, 1920x1080 30 fps H.264 yuv420p, no audio
#   bench_480p.mp4   (--bench) 20 s, 854x480 30 fps H.264 yuv420p + AAC stereo 48000 Hz
set -euo pipefail

usage() {
  echo "usage: $0 <outdir> [--bench]" >&2
  exit 2
}

[ $# -ge 1 ] || usage
outdir=$1
shift
bench=0
for arg in "$@"; do
  case "$arg" in
    --bench) bench=1 ;;
    *) usage ;;
  esac
done

command -v ffmpeg >/dev/null || { echo "make-test-media: ffmpeg is not installed" >&2; exit 1; }
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# Two threads at most: the machine is shared.
x264=(-c:v libx264 -preset veryfast -pix_fmt yuv420p -threads 2)

made=()
# make <name> <command...>: runs the command with "$tmp" as its output path
# when <name> is missing, then moves the result into place.
make_file() {
  local name=$1
  shift
  local target="$outdir/$name"
  if [ -e "$target" ]; then
    return 0
  fi
  local ext="${name##*.}"
  tmp="$scratch/partial.$ext"
  rm -f "$tmp"
  "$@"
  mv "$tmp" "$target"
  made+=("$name")
}

h264_aac() {
  ff -f lavfi -i "testsrc=size=320x240:rate=25:duration=3" \
     -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=3" \
     "${x264[@]}" -g 25 -c:a aac -ac 2 -b:a 96k -shortest -movflags +faststart "$tmp"
}

multi() {
  cat > "$scratch/eng.srt" <<'SRT'
1
00:00:00,500 --> 00:00:01,500
Hello

2
00:00:02,000 --> 00:00:03,000
World
SRT
  cat > "$scratch/fra.srt" <<'SRT'
1
00:00:00,500 --> 00:00:01,500
Bonjour

2
00:00:02,000 --> 00:00:03,000
Monde
SRT
  ff -f lavfi -i "testsrc=size=320x240:rate=25:duration=4" \
     -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=4" \
     -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=4" \
     -f lavfi -i "sine=frequency=880:sample_rate=48000:duration=4" \
     -i "$scratch/eng.srt" -i "$scratch/fra.srt" \
     -map 0:v -map 1:a -map 2:a -map 3:a -map 4:s -map 5:s \
     "${x264[@]}" -g 25 \
     -c:a:0 aac -ac:a:0 2 -b:a:0 96k \
     -c:a:1 libmp3lame -ac:a:1 1 -b:a:1 64k \
     -c:a:2 libopus -ac:a:2 2 -b:a:2 64k \
     -c:s srt \
     -metadata:s:a:0 language=eng -metadata:s:a:0 title="English commentary" \
     -metadata:s:a:1 language=fra -metadata:s:a:1 title="Français" \
     -metadata:s:a:2 language=deu -metadata:s:a:2 title="Deutsch" \
     -metadata:s:s:0 language=eng -metadata:s:s:0 title="English" \
     -metadata:s:s:1 language=fra -metadata:s:s:1 title="Français" \
     -t 4 "$tmp"
}

styled_subs() {
  cat > "$scratch/styled.ass" <<'ASS'
[Script Info]
ScriptType: v4.00+
PlayResX: 320
PlayResY: 240

[V4+ Styles]
Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding
Style: Top,Sans,30,&H000000FF,&H000000FF,&H00000000,&H80000000,-1,0,0,0,100,100,0,0,1,2,0,8,10,10,10,1

[Events]
Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text
Dialogue: 0,0:00:00.50,0:00:06.50,Top,,0,0,0,,Styled
ASS
  cat > "$scratch/web.vtt" <<'VTT'
WEBVTT

00:00:00.500 --> 00:00:06.500
Hallo <b>Welt</b>
VTT
  ff -f lavfi -i "testsrc=size=320x240:rate=25:duration=8" \
     -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=8" \
     -i "$scratch/styled.ass" -i "$scratch/web.vtt" \
     -map 0:v -map 1:a -map 2:s -map 3:s \
     "${x264[@]}" -g 25 -c:a aac -ac 2 -b:a 96k -c:s:0 ass -c:s:1 webvtt \
     -metadata:s:s:0 language=eng -metadata:s:s:0 title="Styled" \
     -metadata:s:s:1 language=deu -metadata:s:s:1 title="Web" \
     -t 8 "$tmp"
}

# One cue per subtitle track from 1.5 to 7.5 s, over video whose colour
# changes every two seconds and which has a keyframe every second, so that a
# seek to 4 s restarts the demuxer after the cues began.
cue_span_texts() {
  printf '1\n00:00:01,500 --> 00:00:07,500\nSpanning\n' > "$scratch/span.srt"
  printf '1\n00:00:01,500 --> 00:00:07,500\nSpanning the longest\n' > "$scratch/span_long.srt"
  cat > "$scratch/span.ass" <<'ASS'
[Script Info]
ScriptType: v4.00+
PlayResX: 160
PlayResY: 120

[V4+ Styles]
Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding
Style: Default,Sans,20,&H00FFFFFF,&H00FFFFFF,&H00000000,&H80000000,0,0,0,0,100,100,0,0,1,2,0,2,10,10,10,1

[Events]
Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text
Dialogue: 0,0:00:01.50,0:00:07.50,Default,,0,0,0,,Spanning longer
ASS
  printf 'WEBVTT\n\n00:00:01.500 --> 00:00:07.500\nSpanning the longest\n' > "$scratch/span.vtt"
}

colour_steps=(-f lavfi -i "color=c=red:size=160x120:rate=25:duration=2"
              -f lavfi -i "color=c=green:size=160x120:rate=25:duration=2"
              -f lavfi -i "color=c=blue:size=160x120:rate=25:duration=2"
              -f lavfi -i "color=c=white:size=160x120:rate=25:duration=2")
colour_concat=(-filter_complex "[0:v][1:v][2:v][3:v]concat=n=4:v=1:a=0[v]" -map "[v]")

cue_span_mkv() {
  cue_span_texts
  ff "${colour_steps[@]}" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=8" \
     -i "$scratch/span.srt" -i "$scratch/span.ass" -i "$scratch/span.vtt" \
     "${colour_concat[@]}" -map 4:a -map 5:s -map 6:s -map 7:s \
     "${x264[@]}" -g 25 -c:a aac -ac 2 -b:a 64k -c:s:0 srt -c:s:1 ass -c:s:2 webvtt \
     -metadata:s:s:0 language=eng -metadata:s:s:1 language=deu -metadata:s:s:2 language=fra \
     -t 8 "$tmp"
}

cue_span_mp4() {
  cue_span_texts
  ff "${colour_steps[@]}" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=8" \
     -i "$scratch/span.srt" -i "$scratch/span_long.srt" \
     "${colour_concat[@]}" -map 4:a -map 5:s -map 6:s \
     "${x264[@]}" -g 25 -c:a aac -ac 2 -b:a 64k -c:s mov_text \
     -metadata:s:s:0 language=eng -metadata:s:s:1 language=fra \
     -movflags +faststart -t 8 -f mp4 "$tmp"
}

red_blue() {
  ff -f lavfi -i "color=c=red:size=160x120:rate=25:duration=1" \
     -f lavfi -i "color=c=blue:size=160x120:rate=25:duration=1" \
     -filter_complex "[0:v][1:v]concat=n=2:v=1:a=0[v]" -map "[v]" \
     "${x264[@]}" -g 25 -an -movflags +faststart "$tmp"
}

two_video() {
  ff -f lavfi -i "color=c=red:size=160x120:rate=25:duration=4" \
     -f lavfi -i "color=c=blue:size=320x240:rate=25:duration=4" \
     -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=4" \
     -map 0:v -map 1:v -map 2:a "${x264[@]}" -g 25 -c:a aac -ac 2 -f matroska "$tmp"
}

random_bin() {
  head -c 65536 /dev/urandom > "$tmp"
}

hls() {
  local dir="$scratch/hls"
  rm -rf "$dir"
  mkdir -p "$dir"
  ff -f lavfi -i "testsrc=size=640x360:rate=25:duration=4" \
     -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=4" \
     -filter_complex "[0:v]split=2[a][b];[a]scale=320:180[v0];[b]scale=640:360[v1]" \
     -map "[v0]" -map 1:a -map "[v1]" -map 1:a \
     "${x264[@]}" -g 25 -keyint_min 25 -sc_threshold 0 \
     -b:v:0 300k -maxrate:v:0 300k -bufsize:v:0 600k \
     -b:v:1 800k -maxrate:v:1 800k -bufsize:v:1 1600k \
     -c:a aac -ac 2 -b:a 64k \
     -f hls -hls_time 1 -hls_list_size 0 -hls_playlist_type vod \
     -hls_segment_filename "$dir/v%v_%03d.ts" \
     -master_pl_name master.m3u8 -var_stream_map "v:0,a:0 v:1,a:1" \
     "$dir/v%v.m3u8"
  mv "$dir" "$tmp"
}

hls_colours() {
  local dir="$scratch/hls_colours"
  rm -rf "$dir"
  mkdir -p "$dir"
  ff -f lavfi -i "color=c=red:size=160x120:rate=25:duration=1" \
     -f lavfi -i "color=c=blue:size=160x120:rate=25:duration=1" \
     -f lavfi -i "color=c=red:size=160x120:rate=25:duration=1" \
     -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=3" \
     -filter_complex "[0:v][1:v][2:v]concat=n=3:v=1:a=0[v]" -map "[v]" -map 3:a \
     "${x264[@]}" -g 25 -keyint_min 25 -sc_threshold 0 -c:a aac -ac 2 -b:a 64k \
     -f hls -hls_time 1 -hls_list_size 0 -hls_playlist_type vod \
     -hls_segment_filename "$dir/s%03d.ts" "$dir/index.m3u8"
  mv "$dir" "$tmp"
}

dash() {
  local dir="$scratch/dash"
  rm -rf "$dir"
  mkdir -p "$dir"
  ff -f lavfi -i "testsrc=size=320x180:rate=25:duration=4" \
     -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=4" \
     "${x264[@]}" -g 25 -keyint_min 25 -sc_threshold 0 -c:a aac -ac 2 -b:a 64k \
     -f dash -seg_duration 1 -use_template 1 -use_timeline 0 \
     -init_seg_name 'init-$RepresentationID$.m4s' -media_seg_name 'seg-$RepresentationID$-$Number%03d$.m4s' \
     "$dir/manifest.mpd"
  mv "$dir" "$tmp"
}

anamorphic() {
  ff -f lavfi -i "testsrc=size=360x240:rate=25:duration=2" \
     -vf "setsar=4/3" "${x264[@]}" -g 25 -an -movflags +faststart "$tmp"
}

small_av=(-f lavfi -i "testsrc=size=160x120:rate=25:duration=3"
          -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=3")

tail_index() { ff "${small_av[@]}" "${x264[@]}" -g 25 -c:a aac -ac 2 -b:a 64k -shortest "$tmp"; }
ts_clip() { ff "${small_av[@]}" "${x264[@]}" -g 25 -c:a aac -ac 2 -b:a 64k -shortest -f mpegts "$tmp"; }
webm_clip() {
  ff "${small_av[@]}" -c:v libvpx -b:v 200k -g 25 -threads 2 -c:a libopus -ac 2 -b:a 64k -shortest "$tmp"
}
tone_mp3() { ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=3" -c:a libmp3lame -ac 1 -b:a 64k "$tmp"; }
pcm_clip() { ff "${small_av[@]}" "${x264[@]}" -g 25 -c:a pcm_s16le -ac 2 -t 2 "$tmp"; }

interlaced() {
  ff -f lavfi -i "color=c=black:size=320x240:rate=50:duration=2" \
     -f lavfi -i "color=c=white:size=40x120:rate=50:duration=2" \
     -filter_complex "[0:v][1:v]overlay=x='mod(n*12,280)':y=60,tinterlace=mode=interleave_top,setfield=tff[v]" \
     -map "[v]" "${x264[@]}" -flags +ilme+ildct -x264opts tff=1 -g 25 -an "$tmp"
}

rotated() {
  # The encoder drops the rotation it is given; a remux writes it. ffmpeg's
  # "rotate" here counts counter-clockwise, so 270 is a clockwise quarter
  # turn (GStreamer's "rotate-90").
  ff -f lavfi -i "color=c=red:size=160x160:rate=25:duration=2" \
     -f lavfi -i "color=c=blue:size=160x160:rate=25:duration=2" \
     -filter_complex "[0:v][1:v]hstack[v]" -map "[v]" "${x264[@]}" -g 25 -an "$scratch/upright.mp4"
  ff -i "$scratch/upright.mp4" -c copy -metadata:s:v:0 rotate=270 -movflags +faststart "$tmp"
}

video_only() {
  ff -f lavfi -i "testsrc=size=320x240:rate=25:duration=2" \
     "${x264[@]}" -g 25 -an -movflags +faststart "$tmp"
}

audio_only() {
  ff -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
     -c:a aac -ac 2 -b:a 96k -vn -movflags +faststart "$tmp"
}

long() {
  ff -f lavfi -i "testsrc=size=160x120:rate=15:duration=20" \
     -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=20" \
     "${x264[@]}" -g 15 -b:v 100k -maxrate 120k -bufsize 240k \
     -c:a aac -ac 1 -b:a 32k -shortest -movflags +faststart "$tmp"
}

bench_1080p30() {
  ff -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=10" \
     "${x264[@]}" -g 30 -an -movflags +faststart "$tmp"
}

bench_480p() {
  ff -f lavfi -i "testsrc2=size=854x480:rate=30:duration=20" \
     -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=20" \
     "${x264[@]}" -g 30 -c:a aac -ac 2 -b:a 128k -shortest -movflags +faststart "$tmp"
}

# --- TLS test certificates -------------------------------------------------
# openssl chatters on stderr even when all goes well: show it only on failure.
openssl_quietly() {
  local log
  if ! log=$(openssl "$@" 2>&1); then
    echo "$log" >&2
    return 1
  fi
}

tls_certificates() {
  command -v openssl >/dev/null || { echo "make-test-media: openssl is not installed" >&2; exit 1; }
  local dir="$scratch/tls"
  rm -rf "$dir"
  mkdir -p "$dir"
  local ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
  openssl_quietly req -x509 "${ec[@]}" -keyout "$dir/ca.key" -out "$dir/ca.pem" -days 3650 \
    -subj "/CN=Corvane test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
  openssl_quietly req "${ec[@]}" -keyout "$dir/server.key" -out "$dir/server.csr" -subj "/CN=127.0.0.1"
  printf '%s\n' "subjectAltName=IP:127.0.0.1" "basicConstraints=critical,CA:FALSE" \
    "keyUsage=critical,digitalSignature" "extendedKeyUsage=serverAuth" > "$dir/server.ext"
  openssl_quietly x509 -req -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial \
    -days 3650 -extfile "$dir/server.ext" -out "$dir/server.pem"
  openssl_quietly req -x509 "${ec[@]}" -keyout "$dir/untrusted.key" -out "$dir/untrusted.pem" -days 3650 \
    -subj "/CN=127.0.0.1" -addext "subjectAltName=IP:127.0.0.1"
  openssl_quietly verify -CAfile "$dir/ca.pem" "$dir/server.pem"
  rm -f "$dir/ca.key" "$dir/ca.srl" "$dir/server.csr" "$dir/server.ext"
  mv "$dir" "$tmp"
}

# Made afresh when the server certificate is within a day of expiring, since
# the folder outlives many runs in a build directory.
if [ -e "$outdir/tls/server.pem" ] && ! openssl x509 -checkend 86400 -noout -in "$outdir/tls/server.pem" >/dev/null 2>&1; then
  rm -rf "$outdir/tls"
fi
make_file tls tls_certificates
# --- end of TLS test certificates -------------------------------------------

# --- bitmap subtitles -------------------------------------------------------
# ffmpeg cannot encode bitmap subtitles from text, so the PGS stream comes from
# our own generator and ffmpeg only muxes it.
bitmap_subs() {
  command -v python3 >/dev/null || { echo "make-test-media: python3 is not installed" >&2; exit 1; }
  local shown=0.5 cleared=2.0
  python3 "$(dirname "$0")/make-pgs-subtitles.py" "$scratch/bitmap.sup" \
    --width 320 --height 240 --start "$shown" --end "$cleared"
  cat > "$scratch/bitmap_eng.srt" <<'SRT'
1
00:00:01,000 --> 00:00:02,500
Hello
SRT
  # ffmpeg moves each input to start at 0; -itsoffset puts the bitmap
  # stream's first display set back where the generator placed it.
  ff -f lavfi -i "testsrc=size=320x240:rate=25:duration=4" \
     -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=4" \
     -i "$scratch/bitmap_eng.srt" -itsoffset "$shown" -i "$scratch/bitmap.sup" \
     -map 0:v -map 1:a -map 2:s -map 3:s \
     "${x264[@]}" -g 25 -c:a aac -ac 2 -b:a 96k \
     -c:s:0 srt -c:s:1 copy \
     -metadata:s:s:0 language=eng -metadata:s:s:0 title="English" \
     -metadata:s:s:1 language=deu -metadata:s:s:1 title="Bitmap" \
     -t 4 "$tmp"
}
make_file bitmap_subs.mkv bitmap_subs
# --- end of bitmap subtitles ------------------------------------------------

# hls is a folder: make_file's rename works for folders as well.
make_file h264_aac.mp4 h264_aac
make_file multi.mkv multi
make_file styled_subs.mkv styled_subs
make_file red_blue.mp4 red_blue
make_file cue_span.mkv cue_span_mkv
make_file cue_span.mp4 cue_span_mp4
make_file two_video.mkv two_video
make_file random.bin random_bin
make_file hls hls
make_file hls_colours hls_colours
make_file dash dash
make_file anamorphic.mp4 anamorphic
make_file video_only.mp4 video_only
make_file rotated.mp4 rotated
make_file interlaced.mp4 interlaced
make_file tail_index.mp4 tail_index
make_file clip.ts ts_clip
make_file clip.webm webm_clip
make_file tone.mp3 tone_mp3
make_file pcm.mov pcm_clip
make_file pcm.mkv pcm_clip
make_file audio_only.m4a audio_only
make_file long.mp4 long
if [ "$bench" = 1 ]; then
  make_file bench_1080p30.mp4 bench_1080p30
  make_file bench_480p.mp4 bench_480p
fi

if [ ${#made[@]} -eq 0 ]; then
  echo "make-test-media: everything already in $outdir"
else
  for name in "${made[@]}"; do echo "make-test-media: made $outdir/$name"; done
fi
