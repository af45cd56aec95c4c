// Eight players of a 480p clip playing at once through the shipped plugin
// (libcorvane_plugin.so loaded into the host library, as an app loads it),
// beside eight plain GStreamer pipelines on the same clip in the same run.
//
//   multi_player_bench [players] [seconds] [clip]
//     defaults: 8 players, 12 s, <build>/media/bench_480p.mp4
//     (make it with `cmake --build build --target test_media_bench`)
//
// Figures:
// - per player, the lag of "position" behind wall time since its "play"
//   (median over the first and over the last two seconds): a player keeps
//   real time when its lag does not grow;
// - CPU time of the whole process (getrusage, user + system) over each
//   phase, and the ratio plugin / plain pipelines (target <= 1.0).
// The host fetches textures once a second only, so the figures hold the
// plugin's work (decode, convert, copy into the shared textures, events)
// and not a display's reading of every frame.
#include <gst/gst.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "embedder/dart_client.h"
#include "embedder/engine.h"
#include "platform/gst/gst_handles.h"

namespace {

using namespace std::chrono_literals;
using corvane::embedder::Engine;
using corvane::embedder::MethodResponse;
using flutter::EncodableMap;
using flutter::EncodableValue;
using Clock = std::chrono::steady_clock;
using corvane::platform::ErrorPtr;
using corvane::platform::GCharPtr;
using corvane::platform::GObjectPtr;
using corvane::platform::gst::AdoptFloating;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// What Dart hears of one player, stamped on arrival.
struct PlayerLog {
  std::mutex mutex;
  bool loaded = false;
  bool failed = false;
  Clock::time_point playedAt;
  std::vector<std::pair<Clock::time_point, int64_t>> positions;
};

struct Phase {
  double cpuSeconds = 0;
  double wallSeconds = 0;
};

Phase RunPlugin(const std::string& clip, int players, std::chrono::seconds length,
                std::vector<std::pair<double, double>>* lags, std::vector<uint64_t>* frameMarks) {
  corvane::embedder::EngineOptions options;
  options.frameInterval = std::chrono::seconds(1);
  std::unique_ptr<Engine> engine = Engine::Start(options);
  if (!engine) return {};
  const std::string error = engine->LoadPlugin(CORVANE_PLUGIN_PATH);
  if (!error.empty()) {
    std::fprintf(stderr, "multi_player_bench: %s\n", error.c_str());
    return {};
  }
  auto call = [&](const std::string& method, const EncodableValue& arguments) {
    return corvane::embedder::InvokeMethod(*engine, "CorvanePlugin", method, arguments, 10s);
  };
  std::vector<int64_t> ids;
  std::vector<std::unique_ptr<PlayerLog>> logs;
  for (int i = 0; i < players; ++i) {
    const MethodResponse created = call("create", EncodableValue());
    if (!created.IsSuccess()) return {};
    const int64_t id = std::get<int64_t>(std::get<EncodableMap>(created.value).at(EncodableValue("id")));
    ids.push_back(id);
    logs.push_back(std::make_unique<PlayerLog>());
    PlayerLog* log = logs.back().get();
    const std::string channel = "CorvanePlugin/" + std::to_string(id);
    engine->SetDartHandler(channel, [log](const std::vector<uint8_t>& bytes) {
      const auto now = Clock::now();
      const MethodResponse event = corvane::embedder::DecodeMethodResponse(bytes);
      if (!event.IsSuccess()) return std::vector<uint8_t>();
      const auto& map = std::get<EncodableMap>(event.value);
      const auto& name = std::get<std::string>(map.at(EncodableValue("event")));
      std::lock_guard<std::mutex> lock(log->mutex);
      if (name == "mediaInfo") log->loaded = true;
      if (name == "error") log->failed = true;
      if (name == "position") log->positions.emplace_back(now, std::get<int64_t>(map.at(EncodableValue("value"))));
      return std::vector<uint8_t>();
    });
    corvane::embedder::InvokeMethod(*engine, channel, "listen");
    call("open", EncodableValue(EncodableMap{{EncodableValue("id"), EncodableValue(id)},
                                             {EncodableValue("value"), EncodableValue(clip)}}));
  }
  const auto loadDeadline = Clock::now() + 20s;
  for (auto& log : logs) {
    while (Clock::now() < loadDeadline) {
      {
        std::lock_guard<std::mutex> lock(log->mutex);
        if (log->loaded || log->failed) break;
      }
      std::this_thread::sleep_for(5ms);
    }
  }

  const double cpuBefore = CpuSeconds();
  const auto wallBefore = Clock::now();
  for (size_t i = 0; i < ids.size(); ++i) {
    {
      std::lock_guard<std::mutex> lock(logs[i]->mutex);
      logs[i]->playedAt = Clock::now();
    }
    call("play", EncodableValue(ids[i]));
  }
  std::this_thread::sleep_for(length);
  Phase phase{CpuSeconds() - cpuBefore, std::chrono::duration<double>(Clock::now() - wallBefore).count()};
  for (int64_t id : ids) frameMarks->push_back(engine->FrameMarks(id));

  for (auto& log : logs) {
    std::lock_guard<std::mutex> lock(log->mutex);
    if (log->positions.empty() || log->failed) {
      lags->emplace_back(-1, -1);
      continue;
    }
    const auto first = log->positions.front().first;
    const auto last = log->positions.back().first;
    std::vector<double> early, late;
    for (const auto& [at, position] : log->positions) {
      const double lag = std::chrono::duration<double, std::milli>(at - log->playedAt).count() - position;
      if (at - first <= 2s) early.push_back(lag);
      if (last - at <= 2s) late.push_back(lag);
    }
    lags->emplace_back(Median(early), Median(late));
  }
  for (int64_t id : ids) engine->SetDartHandler("CorvanePlugin/" + std::to_string(id), nullptr);
  engine->Shutdown();
  return phase;
}

// Floating, for g_object_set to sink into the playbin.
GstElement* SinkBin(const char* description) {
  GError* rawError = nullptr;
  GstElement* bin = gst_parse_bin_from_description(description, TRUE, &rawError);
  const ErrorPtr error(rawError);  // Adopt
  if (error) std::fprintf(stderr, "multi_player_bench: %s\n", error->message);
  return bin;
}

Phase RunPlainPipelines(const std::string& clip, int players, std::chrono::seconds length) {
  gst_init(nullptr, nullptr);
  const GCharPtr uri(gst_filename_to_uri(clip.c_str(), nullptr));  // Adopt
  std::vector<GObjectPtr<GstElement>> pipelines;
  for (int i = 0; i < players; ++i) {
    auto playbin = AdoptFloating(gst_element_factory_make("playbin", nullptr));
    if (!playbin) break;
    g_object_set(playbin.get(), "uri", uri.get(), "video-sink",
                 SinkBin("videoconvert ! video/x-raw,format=BGRA ! fakesink sync=true"), "audio-sink",
                 SinkBin("fakesink sync=true"), nullptr);
    gst_element_set_state(playbin.get(), GST_STATE_PAUSED);
    pipelines.push_back(std::move(playbin));
  }
  for (const auto& pipeline : pipelines) gst_element_get_state(pipeline.get(), nullptr, nullptr, 10 * GST_SECOND);
  const double cpuBefore = CpuSeconds();
  const auto wallBefore = Clock::now();
  for (const auto& pipeline : pipelines) gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
  std::this_thread::sleep_for(length);
  Phase phase{CpuSeconds() - cpuBefore, std::chrono::duration<double>(Clock::now() - wallBefore).count()};
  for (const auto& pipeline : pipelines) gst_element_set_state(pipeline.get(), GST_STATE_NULL);
  return pipelines.size() == static_cast<size_t>(players) ? phase : Phase{};
}

}  // namespace

int main(int argc, char** argv) {
  const int players = argc > 1 ? std::max(1, std::atoi(argv[1])) : 8;
  const auto length = std::chrono::seconds(argc > 2 ? std::max(4, std::atoi(argv[2])) : 12);
  const std::string clip =
      std::filesystem::absolute(argc > 3 ? argv[3] : CORVANE_BENCH_MEDIA "/bench_480p.mp4").string();
  if (!std::filesystem::exists(clip)) {
    std::fprintf(stderr, "multi_player_bench: %s is missing (build the test_media_bench target)\n", clip.c_str());
    return 2;
  }
  ::setenv("CORVANE_AUDIO_SINK", "fakesink sync=true", 0);

  std::vector<std::pair<double, double>> lags;
  std::vector<uint64_t> frameMarks;
  const Phase plugin = RunPlugin(clip, players, length, &lags, &frameMarks);
  const Phase plain = RunPlainPipelines(clip, players, length);
  if (plugin.wallSeconds == 0 || plain.wallSeconds == 0) {
    std::fprintf(stderr, "multi_player_bench: a phase did not run\n");
    return 1;
  }

  std::printf("%d players of %s for %lld s\n", players, clip.c_str(), static_cast<long long>(length.count()));
  std::printf("position lag behind wall time (ms), median of the first and of the last 2 s:\n");
  bool keptTime = true;
  for (size_t i = 0; i < lags.size(); ++i) {
    const auto [start, end] = lags[i];
    const bool ok = start >= 0 && end - start < 100;
    keptTime = keptTime && ok;
    std::printf("  player %zu: start %7.1f  end %7.1f  growth %+7.1f  frames %4llu %s\n", i + 1, start, end,
                end - start, static_cast<unsigned long long>(i < frameMarks.size() ? frameMarks[i] : 0),
                ok ? "" : "(falls behind)");
  }
  std::printf("CPU time: plugin %.2f s (%.0f%% of one core), plain pipelines %.2f s (%.0f%%)\n", plugin.cpuSeconds,
              100 * plugin.cpuSeconds / plugin.wallSeconds, plain.cpuSeconds, 100 * plain.cpuSeconds / plain.wallSeconds);
  const double ratio = (plugin.cpuSeconds / plugin.wallSeconds) / (plain.cpuSeconds / plain.wallSeconds);
  std::printf("ratio plugin / plain: %.2f (target <= 1.00) %s; real time %s\n", ratio, ratio <= 1.0 ? "MET" : "NOT MET",
              keptTime ? "kept by every player" : "NOT kept");
  return 0;
}
