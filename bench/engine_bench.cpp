// Frame-path figures of the GStreamer engine, each against a reference
// measured in the same run:
//   1. decode + convert + copy into a 1080p surface, unsynchronised, through
//      the engine, against a plain playbin with videoconvert to BGRA into a
//      fakesink, and against `ffmpeg -f null` decoding to BGRA;
//   2. the conversion and copy of one frame into the surface against a
//      memcpy of the same number of bytes;
//   3. process CPU time of real-time playback through the engine against the
//      plain pipeline playing in real time;
//   4. with --soak: resident memory over a 60-second playback loop.
//
//   engine_bench [--media DIR] [--runs N] [--skip-realtime] [--soak]
//
// The clip is bench_1080p30.mp4 from `scripts/make-test-media.sh DIR --bench`
// (DIR defaults to $CORVANE_TEST_MEDIA, else the build's media folder).
#include <gst/gst.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/gst/gst_engine_options.h"
#include "platform/gst/gst_handles.h"
#include "platform/media_engine.h"
#include "platform/surface_device.h"

namespace {

using namespace corvane::platform;
using corvane::platform::gst::AdoptFloating;
using corvane::platform::gst::AdoptMini;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

std::string FileUri(const std::string& path) {
  const GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));  // Adopt
  return uri ? uri.get() : "";
}

// Waits for a flag set by an engine notification.
class Signal {
 public:
  void Raise() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      raised_ = true;
    }
    changed_.notify_all();
  }
  bool Wait(std::chrono::seconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    const bool ok = changed_.wait_for(lock, timeout, [this] { return raised_; });
    raised_ = false;
    return ok;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool raised_ = false;
};

// A player of the engine that copies every offered frame into a surface.
struct EnginePlayer {
  explicit EnginePlayer(const gst::EngineOptions& options, const std::string& uri) {
    engine = gst::CreateGstMediaEngine(options);
    player = engine->CreateMediaPlayer();
    device = CreateSharedMemoryDevice();
    surface = device->CreateSurface(device->CreateTexture(1920, 1080));
    player->IsVideoFrameServerEnabled(true);
    player->VideoFrameAvailable([this] {
      if (!copying.load()) return kOk;
      player->CopyFrameToVideoSurface(*surface);
      ++copies;
      return kOk;
    });
    player->MediaOpened([this] {
      opened.Raise();
      return kOk;
    });
    player->MediaEnded([this] {
      ended.Raise();
      return kOk;
    });
    player->PlaybackSession()->SeekCompleted([this](const std::shared_ptr<MediaPlaybackSession>&) {
      seeked.Raise();
      return kOk;
    });
    player->Source(std::make_shared<MediaPlaybackItem>(MediaSource::CreateFromUri(uri)));
    if (!opened.Wait(std::chrono::seconds(20))) std::fprintf(stderr, "engine: the clip did not open\n");
  }
  ~EnginePlayer() { player->Close(); }

  std::shared_ptr<MediaEngine> engine;
  std::shared_ptr<MediaPlayer> player;
  std::shared_ptr<SurfaceDevice> device;
  std::shared_ptr<VideoSurface> surface;
  std::atomic<bool> copying{true};
  std::atomic<int> copies{0};
  Signal opened, ended, seeked;
};

struct Run {
  int frames = 0;
  double framesPerSecond = 0;
  double cpuSeconds = 0;
  double wallSeconds = 0;
};

Run EngineRun(const std::string& uri, bool realTime) {
  gst::EngineOptions options;
  options.syncVideo = realTime;
  options.deliverEveryFrame = !realTime;
  EnginePlayer bench(options, uri);
  const double cpu = CpuSeconds();
  const auto start = Clock::now();
  bench.copies = 0;
  bench.player->Play();
  if (!bench.ended.Wait(std::chrono::seconds(120))) std::fprintf(stderr, "engine: no end of stream\n");
  Run run;
  run.wallSeconds = Seconds(Clock::now() - start);
  run.cpuSeconds = CpuSeconds() - cpu;
  run.frames = bench.copies;
  run.framesPerSecond = bench.copies / run.wallSeconds;
  return run;
}

// playbin, videoconvert to BGRA, fakesink: the plain way to get BGRA frames.
Run PlainPipelineRun(const std::string& uri, bool realTime) {
  const std::string description = std::string("playbin uri=\"") + uri +
                                  "\" audio-sink=\"fakesink sync=" + (realTime ? "true" : "false") +
                                  "\" video-sink=\"videoconvert ! video/x-raw,format=BGRA ! fakesink name=frames sync=" +
                                  (realTime ? "true" : "false") + "\"";
  GError* rawError = nullptr;
  auto pipelineHandle = AdoptFloating(gst_parse_launch(description.c_str(), &rawError));
  const ErrorPtr error(rawError);  // Adopt
  if (error) {
    std::fprintf(stderr, "plain pipeline: %s\n", error->message);
    return {};
  }
  GstElement* pipeline = pipelineHandle.get();
  std::atomic<int> frames{0};
  GstElement* rawSink = nullptr;
  g_object_get(pipeline, "video-sink", &rawSink, nullptr);
  const auto sink = AdoptObject(rawSink);
  const auto fakesink = AdoptObject(sink ? gst_bin_get_by_name(GST_BIN(sink.get()), "frames") : nullptr);
  const auto pad = AdoptObject(fakesink ? gst_element_get_static_pad(fakesink.get(), "sink") : nullptr);
  if (pad) {
    gst_pad_add_probe(
        pad.get(), GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer counter) {
          ++*static_cast<std::atomic<int>*>(counter);
          return GST_PAD_PROBE_OK;
        },
        &frames, nullptr);
  }
  gst_element_set_state(pipeline, GST_STATE_PAUSED);
  gst_element_get_state(pipeline, nullptr, nullptr, 20 * GST_SECOND);
  frames = 0;
  const double cpu = CpuSeconds();
  const auto start = Clock::now();
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  const auto bus = AdoptObject(gst_element_get_bus(pipeline));
  const auto message = AdoptMini(gst_bus_timed_pop_filtered(
      bus.get(), 120 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
  Run run;
  run.wallSeconds = Seconds(Clock::now() - start);
  run.cpuSeconds = CpuSeconds() - cpu;
  run.framesPerSecond = frames / run.wallSeconds;
  gst_element_set_state(pipeline, GST_STATE_NULL);
  return run;
}

// ffmpeg decoding the clip to BGRA and dropping it, in a subprocess.
Run FfmpegRun(const std::string& path, int frameCount) {
  const std::string command = "ffmpeg -nostdin -v error -i '" + path + "' -pix_fmt bgra -f null - 2>/dev/null";
  const auto start = Clock::now();
  const int status = std::system(command.c_str());
  Run run;
  run.wallSeconds = Seconds(Clock::now() - start);
  if (status != 0) {
    std::fprintf(stderr, "ffmpeg failed (status %d)\n", status);
    return run;
  }
  run.framesPerSecond = frameCount / run.wallSeconds;
  return run;
}

int FrameCount(const std::string& path) {
  const std::string command = "ffprobe -v error -select_streams v:0 -count_packets -show_entries "
                              "stream=nb_read_packets -of csv=p=0 '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  int frames = 0;
  if (pipe) {
    if (std::fscanf(pipe, "%d", &frames) != 1) frames = 0;
    pclose(pipe);
  }
  return frames > 0 ? frames : 300;
}

// Conversion + copy of the paused frame into the surface, per call, against
// a memcpy of the surface's bytes.
void CopyCost(const std::string& uri) {
  gst::EngineOptions options;
  EnginePlayer bench(options, uri);
  bench.copying = false;
  bench.player->PlaybackSession()->Position(TimeSpan(50'000'000));
  bench.seeked.Wait(std::chrono::seconds(10));
  constexpr int kRepeats = 200;
  bench.player->CopyFrameToVideoSurface(*bench.surface);  // warm up
  auto start = Clock::now();
  for (int i = 0; i < kRepeats; ++i) bench.player->CopyFrameToVideoSurface(*bench.surface);
  const double copy = Seconds(Clock::now() - start) / kRepeats;

  const size_t bytes = size_t{1920} * 1080 * 4;
  std::vector<uint8_t> from(bytes, 1), to(bytes, 0);
  std::memcpy(to.data(), from.data(), bytes);  // warm up
  start = Clock::now();
  for (int i = 0; i < kRepeats; ++i) {
    from[i] = static_cast<uint8_t>(i);
    std::memcpy(to.data(), from.data(), bytes);
  }
  const double memcpyTime = Seconds(Clock::now() - start) / kRepeats;
  std::printf("convert+copy 1080p frame : %.3f ms   memcpy %.1f MB: %.3f ms   ratio %.2fx (target <= 2.5x)\n",
              copy * 1e3, bytes / 1e6, memcpyTime * 1e3, copy / memcpyTime);
}

void Soak(const std::string& uri) {
  gst::EngineOptions options;
  EnginePlayer bench(options, uri);
  bench.player->MediaEnded([&] {
    bench.player->Play();  // loop
    return kOk;
  });
  bench.player->Play();
  std::this_thread::sleep_for(std::chrono::seconds(5));
  const long early = ResidentKiB();
  std::this_thread::sleep_for(std::chrono::seconds(55));
  const long late = ResidentKiB();
  std::printf("soak 60 s loop: resident %ld KiB at 5 s, %ld KiB at 60 s, ratio %.3f (target: flat, ~1.0)\n", early,
              late, static_cast<double>(late) / early);
}

}  // namespace

int main(int argc, char** argv) {
  std::string mediaDir = std::getenv("CORVANE_TEST_MEDIA") ? std::getenv("CORVANE_TEST_MEDIA") : CORVANE_BENCH_MEDIA;
  int runs = 3;
  bool realTime = true, soak = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--media") && i + 1 < argc) mediaDir = argv[++i];
    else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--skip-realtime")) realTime = false;
    else if (!std::strcmp(argv[i], "--soak")) soak = true;
    else {
      std::fprintf(stderr, "usage: %s [--media DIR] [--runs N] [--skip-realtime] [--soak]\n", argv[0]);
      return 2;
    }
  }
  const std::string path = mediaDir + "/bench_1080p30.mp4";
  if (access(path.c_str(), R_OK) != 0) {
    std::fprintf(stderr, "%s missing: run scripts/make-test-media.sh %s --bench\n", path.c_str(), mediaDir.c_str());
    return 1;
  }
  setenv("CORVANE_AUDIO_SINK", "fakesink sync=true", 1);
  gst_init(&argc, &argv);
  const std::string uri = FileUri(path);
  const int frames = FrameCount(path);

  std::vector<double> engine, plain, ffmpeg;
  int copied = 0;
  for (int i = 0; i < runs; ++i) {
    const Run run = EngineRun(uri, false);
    copied = run.frames;
    engine.push_back(run.framesPerSecond);
    plain.push_back(PlainPipelineRun(uri, false).framesPerSecond);
    ffmpeg.push_back(FfmpegRun(path, frames).framesPerSecond);
  }
  const double e = Median(engine), p = Median(plain), f = Median(ffmpeg);
  std::printf("clip: %s (%d frames), medians of %d runs, unsynchronised\n", path.c_str(), frames, runs);
  std::printf("engine, every frame converted into a 1080p surface : %7.1f frames/s   (%d frames copied)\n", e, copied);
  std::printf("playbin + videoconvert BGRA + fakesink             : %7.1f frames/s   engine ratio %.2fx (target >= 1.2x)\n",
              p, p > 0 ? e / p : 0);
  std::printf("ffmpeg -pix_fmt bgra -f null                       : %7.1f frames/s   engine ratio %.2fx (target ~1.0x)\n",
              f, f > 0 ? e / f : 0);
  CopyCost(uri);
  if (realTime) {
    const Run ours = EngineRun(uri, true);
    const Run reference = PlainPipelineRun(uri, true);
    std::printf("real-time playback CPU: engine %.2f s, plain pipeline %.2f s over %.1f s, ratio %.2f (target <= 0.9)\n",
                ours.cpuSeconds, reference.cpuSeconds, ours.wallSeconds,
                reference.cpuSeconds > 0 ? ours.cpuSeconds / reference.cpuSeconds : 0);
  }
  if (soak) Soak(uri);
  return 0;
}
