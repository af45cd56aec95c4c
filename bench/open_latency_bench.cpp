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
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "child_process.h"

using corvane::bench::ClipRuns;
using corvane::bench::Median;
using corvane::bench::ParseClipArguments;
using corvane::bench::SecondsUntil;

int main(int argc, char** argv) {
  ClipRuns arguments;
  arguments.runs = 9;
  if (!ParseClipArguments(argc, argv, "open_latency_bench", CORVANE_BENCH_MEDIA_DEFAULT, arguments)) return 2;
  const std::string& clip = arguments.clip;
  const int runs = arguments.runs;
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
