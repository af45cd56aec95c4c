// Opening a file, whole processes: from starting `corvane-play --headless`
// to its "mediaInfo" line on standard output (the host library, the
// plugin, GStreamer's start-up and the engine's opening), against
// `gst-discoverer-1.0` reading the same file's facts from start to exit.
// Runs alternate; medians over the runs.
//
//   open_latency_bench [--media DIR] [--runs N (9)]
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
using corvane::bench::SecondsUntil;

int main(int argc, char** argv) {
  std::string media;
  if (const char* fromEnvironment = std::getenv("CORVANE_TEST_MEDIA")) media = fromEnvironment;
  if (media.empty()) media = CORVANE_BENCH_MEDIA_DEFAULT;
  int runs = 9;
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
    std::fprintf(stderr, "open_latency_bench: %s is missing (cmake --build <dir> --target test_media_bench)\n",
                 clip.c_str());
    return 2;
  }
  ::setenv("CORVANE_AUDIO_SINK", "fakesink sync=true", 1);
  const std::vector<std::string> demo = {CORVANE_PLAY_PATH, "--headless", clip};
  const std::vector<std::string> discoverer = {"gst-discoverer-1.0", clip};

  std::vector<double> ours, reference;
  for (int run = 0; run < runs; ++run) {
    const double opened = SecondsUntil(demo, "\"event\":\"mediaInfo\"");
    const double discovered = SecondsUntil(discoverer, "");
    if (opened < 0 || discovered < 0) {
      std::fprintf(stderr, "open_latency_bench: a run failed (demo %s, discoverer %s)\n",
                   opened < 0 ? "failed" : "ok", discovered < 0 ? "failed" : "ok");
      return 1;
    }
    ours.push_back(opened);
    reference.push_back(discovered);
  }
  const double ratio = Median(ours) / Median(reference);
  std::printf("open -> mediaInfo, whole process: %.3f s against gst-discoverer-1.0's %.3f s, ratio %.2fx "
              "(target <= 1.2x; medians of %d)\n",
              Median(ours), Median(reference), ratio, runs);
  return 0;
}
