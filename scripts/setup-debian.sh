#!/usr/bin/env bash
# Installs the Debian packages Corvane needs to build, test and run the demo.
# Idempotent: packages already present are left alone.
set -euo pipefail

packages=(
  # toolchain and test frameworks
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # GLib main loop (platform thread, dispatcher queue)
  libglib2.0-dev
  # media engine: GStreamer core, base (playbin, appsink, videoconvert),
  # good (matroska, isomp4, souphttpsrc, scaletempo), bad (HLS),
  # libav (H.264/AAC decoders)
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  # gst-discoverer-1.0: the opening benchmark's reference
  gstreamer1.0-plugins-base-apps
  gstreamer1.0-plugins-bad gstreamer1.0-libav
  # colour conversion straight into the shared surface
  libyuv-dev
  # subtitle rendering and a font that renders the same everywhere
  libpango1.0-dev libcairo2-dev fonts-dejavu-core
  # GTK 3 headers: the Flutter Linux embedding's header pulls them in, so
  # the Flutter Linux build of the plugin (its tests, and the app stand-in
  # of scripts/check-flutter-linux-app.sh) compiles against them
  libgtk-3-dev
  # test media generation and probing
  ffmpeg
  # throwaway TLS certificates for the HTTPS tests (make-test-media.sh)
  openssl
  # GIO's TLS backend: souphttpsrc needs it for https sources, and the test
  # HTTPS server uses it too
  glib-networking
  # demo player window, and a display for its CI run (xvfb-run needs xauth,
  # which is only a recommendation of xvfb)
  libsdl2-dev xvfb xauth
  # binutils for nm (exported symbol check)
  binutils python3
  # Windows build: the mingw-w64 cross compiler (posix thread model, for
  # std::thread), and Wine to run its tests; the D3D11 checks under Wine
  # need a display, from xvfb (above) with Mesa's software OpenGL
  g++-mingw-w64-x86-64-posix wine wine64 libgl1-mesa-dri
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
