// The whole demo process against the plain pipeline, both playing the same
// 1080p30 clip in real time: CPU seconds of `corvane-play --headless` (host
// library, plugin, engine, texture fetches) against `gst-launch-1.0 playbin`
// converting to BGRA into a synchronised fakesink. Each is a child process;
// its CPU time is what wait4 reports for it. Medians over the runs.
//
//   demo_process_bench [--media DIR] [--runs N]
//
// The clip is bench_1080p30.mp4 from `scripts/make-test-media.sh DIR --bench`
// (DIR defaults to $CORVANE_TEST_MEDIA, else the build's media folder).
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "child_process.h"

using corvane::bench::Median;
using corvane::bench::Run;
using corvane::bench::RunChild;

int main(int argc, char** argv) {
  std::string media;
  if (const char* fromEnvironment = std::getenv("CORVANE_TEST_MEDIA")) media = fromEnvironment;
  if (media.empty()) media = CORVANE_BENCH_MEDIA_DEFAULT;
  int runs = 3;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--media") && i + 1 < argc) {
      media = argv[++i];
    } else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: %s [--media DIR] [--runs N]\n", argv[0]);
      return 2;
    }
  }
  const std::string clip = media + "/bench_1080p30.mp4";
  struct stat info {};
  if (::stat(clip.c_str(), &info) != 0) {
    std::fprintf(stderr, "demo_process_bench: %s is missing (cmake --build <dir> --target test_media_bench)\n",
                 clip.c_str());
    return 2;
  }
  // Both play silently on the clock, as the tests do.
  ::setenv("CORVANE_AUDIO_SINK", "fakesink sync=true", 1);
  const std::vector<std::string> demo = {CORVANE_PLAY_PATH, "--headless", clip};
  const std::vector<std::string> plain = {
      "gst-launch-1.0", "-q", "playbin", "uri=file://" + clip,
      "video-sink=videoconvert ! video/x-raw,format=BGRA ! fakesink sync=true", "audio-sink=fakesink sync=true"};

  std::vector<double> demoCpu, plainCpu, ratios;
  double wall = 0;
  for (int run = 0; run < runs; ++run) {
    const Run ours = RunChild(demo);
    const Run reference = RunChild(plain);
    if (!ours.ok || !reference.ok) {
      std::fprintf(stderr, "demo_process_bench: a run failed (demo %s, plain %s)\n", ours.ok ? "ok" : "failed",
                   reference.ok ? "ok" : "failed");
      return 1;
    }
    demoCpu.push_back(ours.cpuSeconds);
    plainCpu.push_back(reference.cpuSeconds);
    ratios.push_back(ours.cpuSeconds / reference.cpuSeconds);
    wall = ours.wallSeconds;
  }
  std::printf("whole demo process, real-time 1080p30: %.2f CPU s against the plain pipeline's %.2f over %.1f s, "
              "ratio %.2f (target <= 1.0; median of %d)\n",
              Median(demoCpu), Median(plainCpu), wall, Median(ratios), runs);
  return 0;
}
