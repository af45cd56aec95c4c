// Event latency: from a position notification of the (scripted) media
// engine to the "position" event decoded on the Dart thread of the host
// library, through the real plugin core and host library; beside a bare
// round trip through the platform thread's GLib context in the same run.
//
//   event_latency_bench [samples]   (default 2000 of each, interleaved)
//
// Plugin path (three thread hops): the bench thread asks the engine to
// raise PositionChanged -> engine thread runs the player's handler, which
// posts to the platform context -> platform thread builds and encodes the
// event and sends it -> Dart thread decodes it (stamp). The main figure is
// stamped on the engine thread itself, by a handler subscribed before the
// player's own (so it runs first), leaving out the bench's request hop.
// Reference (two hops): the bench thread posts a task to the platform
// context -> the task signals the bench thread back (stamp on waking).
// Target: the plugin path's median within 2x the reference's.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "embedder/dart_client.h"
#include "embedder/engine.h"
#include "fake/fake_media_engine.h"
#include "platform/surface_device.h"
#include "plugin/corvane_plugin.h"
#include "plugin/fake_platform_layer.h"

namespace {

using namespace std::chrono_literals;
using corvane::embedder::Engine;
using corvane::embedder::MethodResponse;
using flutter::EncodableMap;
using flutter::EncodableValue;
using Clock = std::chrono::steady_clock;

struct Figures {
  double median_us = 0;
  double p99_us = 0;
};

Figures Summarize(std::vector<double> samples) {
  if (samples.empty()) return {};
  std::sort(samples.begin(), samples.end());
  return {samples[samples.size() / 2], samples[std::min(samples.size() - 1, samples.size() * 99 / 100)]};
}

double MicrosBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::micro>(to - from).count();
}

// The newest position decoded on the Dart thread, with its arrival time.
struct Arrivals {
  std::mutex mutex;
  std::condition_variable arrived;
  int64_t position = -1;
  Clock::time_point at;

  bool WaitFor(int64_t wanted, Clock::time_point* when) {
    std::unique_lock<std::mutex> lock(mutex);
    if (!arrived.wait_for(lock, 2s, [&] { return position == wanted; })) return false;
    *when = at;
    return true;
  }
};

// Hands out the scripted engine's players with a stamping handler already
// subscribed, so that it runs before the handlers the player adds.
class StampingEngine final : public corvane::platform::MediaEngine {
 public:
  StampingEngine(std::shared_ptr<corvane::testing::FakeMediaEngine> inner, std::atomic<int64_t>& stamp)
      : inner_(std::move(inner)), stamp_(stamp) {}
  std::shared_ptr<corvane::platform::MediaPlayer> CreateMediaPlayer() override {
    auto player = inner_->CreateMediaPlayer();
    player->PlaybackSession()->PositionChanged([&stamp = stamp_](const auto&) {
      stamp = Clock::now().time_since_epoch().count();
      return corvane::platform::kOk;
    });
    return player;
  }

 private:
  const std::shared_ptr<corvane::testing::FakeMediaEngine> inner_;
  std::atomic<int64_t>& stamp_;
};

MethodResponse Call(Engine& engine, const std::string& method, const EncodableValue& arguments = EncodableValue()) {
  return corvane::embedder::InvokeMethod(engine, "CorvanePlugin", method, arguments);
}

EncodableValue IdAnd(int64_t id, const char* key, EncodableValue value) {
  return EncodableValue(EncodableMap{{EncodableValue("id"), EncodableValue(id)}, {EncodableValue(key), value}});
}

}  // namespace

int main(int argc, char** argv) {
  const int samples = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
  using namespace corvane;

  auto media = std::make_shared<testing::FakeMediaEngine>();
  testing::FakeScript script;
  script.media.duration = std::chrono::hours(10);
  media->SetScript(script);
  std::atomic<int64_t> raisedAtNs{0};
  auto stamping = std::make_shared<StampingEngine>(media, raisedAtNs);
  testing::FakePlatformLayer layer;
  layer.makeEngine = [stamping] { return stamping; };
  layer.makeDevice = [] { return platform::CreateSharedMemoryDevice(); };

  std::unique_ptr<Engine> engine = Engine::Start();
  if (!engine || !engine->RegisterPlugin([&layer](FlutterDesktopPluginRegistrarRef registrar) {
        plugin::RegisterCorvanePlugin(registrar, layer);
      })) {
    std::fprintf(stderr, "event_latency_bench: the host library did not start\n");
    return 1;
  }

  const MethodResponse created = Call(*engine, "create");
  if (!created.IsSuccess()) {
    std::fprintf(stderr, "event_latency_bench: create failed: %s\n", created.Describe().c_str());
    return 1;
  }
  const int64_t id = std::get<int64_t>(std::get<EncodableMap>(created.value).at(EncodableValue("id")));
  const std::string channel = "CorvanePlugin/" + std::to_string(id);

  // Dart's end of the player's channel: decodes like the Dart-side client
  // and stamps positions as they are decoded.
  Arrivals arrivals;
  std::atomic<bool> loaded{false};
  engine->SetDartHandler(channel, [&](const std::vector<uint8_t>& bytes) {
    const MethodResponse event = corvane::embedder::DecodeMethodResponse(bytes);
    const auto now = Clock::now();
    if (!event.IsSuccess()) return std::vector<uint8_t>();
    const auto& map = std::get<EncodableMap>(event.value);
    const auto& name = std::get<std::string>(map.at(EncodableValue("event")));
    if (name == "mediaInfo") loaded = true;
    if (name == "position") {
      std::lock_guard<std::mutex> lock(arrivals.mutex);
      arrivals.position = std::get<int64_t>(map.at(EncodableValue("value")));
      arrivals.at = now;
      arrivals.arrived.notify_all();
    }
    return std::vector<uint8_t>();
  });
  if (!corvane::embedder::InvokeMethod(*engine, channel, "listen").IsSuccess() ||
      !Call(*engine, "open", IdAnd(id, "value", EncodableValue("/bench/clip.mp4"))).IsSuccess()) {
    std::fprintf(stderr, "event_latency_bench: listen or open failed\n");
    return 1;
  }
  const auto loadDeadline = Clock::now() + 5s;
  while (!loaded && Clock::now() < loadDeadline) std::this_thread::sleep_for(1ms);
  if (!loaded || !Call(*engine, "play", EncodableValue(id)).IsSuccess()) {
    std::fprintf(stderr, "event_latency_bench: the player did not load\n");
    return 1;
  }
  std::shared_ptr<testing::FakeMediaPlayer> player = media->LastPlayer();


  std::vector<double> fromRequest, fromEngineThread, bare;
  int64_t positionMs = 1000;
  int missed = 0;
  std::mutex bareMutex;
  std::condition_variable bareDone;
  const int rounds = std::max(1, samples / 100);
  for (int round = 0; round < rounds; ++round) {
    for (int i = 0; i < 100; ++i) {
      ++positionMs;
      player->SetPosition(platform::TimeSpan(positionMs * 10000));
      const auto requested = Clock::now();
      player->Raise(testing::kPositionChanged);
      Clock::time_point decoded;
      if (!arrivals.WaitFor(positionMs, &decoded)) {
        ++missed;
        continue;
      }
      fromRequest.push_back(MicrosBetween(requested, decoded));
      const Clock::time_point raised{Clock::duration(raisedAtNs.load())};
      fromEngineThread.push_back(MicrosBetween(raised, decoded));
    }
    for (int i = 0; i < 100; ++i) {
      bool done = false;
      const auto posted = Clock::now();
      engine->PostToPlatformThread([&] {
        std::lock_guard<std::mutex> lock(bareMutex);
        done = true;
        bareDone.notify_all();
      });
      std::unique_lock<std::mutex> lock(bareMutex);
      if (!bareDone.wait_for(lock, 2s, [&] { return done; })) {
        ++missed;
        continue;
      }
      bare.push_back(MicrosBetween(posted, Clock::now()));
    }
  }
  engine->SetDartHandler(channel, nullptr);
  engine->Shutdown();

  const Figures plugin = Summarize(fromEngineThread);
  const Figures requested = Summarize(fromRequest);
  const Figures reference = Summarize(bare);
  std::printf("event latency, %zu samples each (%d missed)\n", fromRequest.size(), missed);
  std::printf("  %-46s median %8.1f us   p99 %8.1f us\n", "bare post to the platform context and back", reference.median_us,
              reference.p99_us);
  std::printf("  %-46s median %8.1f us   p99 %8.1f us\n", "engine notification -> event decoded by Dart",
              plugin.median_us, plugin.p99_us);
  std::printf("  %-46s median %8.1f us   p99 %8.1f us\n", "(bench thread's raise request -> decoded)", requested.median_us,
              requested.p99_us);
  const double ratio = reference.median_us > 0 ? plugin.median_us / reference.median_us : 0;
  const double ratio99 = reference.p99_us > 0 ? plugin.p99_us / reference.p99_us : 0;
  std::printf("ratio to the bare round trip: median %.2fx, p99 %.2fx (target: median <= 2.00x) %s\n", ratio, ratio99,
              ratio <= 2.0 ? "MET" : "NOT MET");
  return missed > samples / 10 ? 1 : 0;
}
