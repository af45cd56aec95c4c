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
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "child_process.h"

using corvane::bench::ClipRuns;
using corvane::bench::Median;
using corvane::bench::ParseClipArguments;
using corvane::bench::Run;
using corvane::bench::RunChild;

int main(int argc, char** argv) {
  ClipRuns arguments;
  arguments.runs = 3;
  if (!ParseClipArguments(argc, argv, "demo_process_bench", CORVANE_BENCH_MEDIA_DEFAULT, arguments)) return 2;
  const std::string& clip = arguments.clip;
  const int runs = arguments.runs;
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
