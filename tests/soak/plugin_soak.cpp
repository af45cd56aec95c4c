// Soak: the plugin as an app that plays a feed of short videos uses it, for
// a few hundred create/open/play/seek/seek/cancel/dispose cycles over local
// files, HTTP files, HLS, missing files and garbage. It prints the
// process's open descriptors, threads and resident memory after cycle 10
// and at the end, the longest time each method held the platform thread
// (the app's UI thread), and the engine threads still running once every
// player is gone. It fails (exit 1) when descriptors or threads grew by
// more than 2, or resident memory by more than 20 MB, between the two
// readings, when a call held the platform thread longer than the limit, or
// when an engine thread is left.
//
//   plugin_soak [--cycles N] [--seed S] [--block-limit-ms MS (250)]
//
// Media: the generated test media (CORVANE_TEST_MEDIA or the build's
// folder). A figure, not a timed test: scripts/soak.sh runs it.
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "embedder/dart_client.h"
#include "embedder/engine.h"
#include "support/engine_threads.h"
#include "support/http_server.h"
#include "support/test_media.h"

namespace {

using corvane::embedder::EventStream;
using corvane::embedder::InvokeMethod;
using corvane::embedder::MethodResponse;
using flutter::EncodableMap;
using flutter::EncodableValue;
using namespace std::chrono_literals;

struct Usage {
  int descriptors = 0;
  int threads = 0;
  double residentMb = 0;
};

int CountEntries(const char* folder) {
  int count = 0;
  if (DIR* dir = ::opendir(folder)) {
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] != '.') ++count;
    }
    ::closedir(dir);
  }
  return count;
}

Usage Measure() {
  // Memory the allocator keeps for reuse is not a leak; give it back first,
  // so that what is measured is what the process still holds.
  ::malloc_trim(0);
  Usage usage;
  usage.descriptors = CountEntries("/proc/self/fd") - 1;  // the listing's own
  usage.threads = CountEntries("/proc/self/task");
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  usage.residentMb = static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
  return usage;
}

// Libraries let go of some threads (HTTP sessions, decoder pools) a little
// after their player: wait, boundedly, until the counts stop falling.
Usage MeasureSettled(const Usage* reference) {
  Usage usage = Measure();
  for (int i = 0; i < 40; ++i) {
    if (reference && usage.descriptors <= reference->descriptors && usage.threads <= reference->threads) break;
    std::this_thread::sleep_for(250ms);
    const Usage next = Measure();
    if (!reference && next.descriptors == usage.descriptors && next.threads == usage.threads && i >= 8) break;
    usage = next;
  }
  return usage;
}

// What the open descriptors are, by kind ("socket", "anon_inode:[eventfd]",
// a file's path), for a report that points at the leak.
void PrintDescriptorKinds() {
  std::map<std::string, int> kinds;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      char target[512] = {};
      const std::string link = std::string("/proc/self/fd/") + entry->d_name;
      if (::readlink(link.c_str(), target, sizeof target - 1) < 0) continue;
      std::string kind = target;
      if (kind.rfind("socket:", 0) == 0) kind = "socket";
      if (kind.rfind("pipe:", 0) == 0) kind = "pipe";
      ++kinds[kind];
    }
    ::closedir(dir);
  }
  for (const auto& [kind, count] : kinds) std::printf("  %4d  %s\n", count, kind.c_str());
}

void Print(const char* when, const Usage& usage) {
  std::printf("%-14s descriptors %4d  threads %3d  resident %7.1f MB\n", when, usage.descriptors, usage.threads,
              usage.residentMb);
  std::fflush(stdout);
}

class Soak {
 public:
  Soak(corvane::embedder::Engine& engine, std::vector<std::string> sources, uint32_t seed)
      : engine_(engine), sources_(std::move(sources)), random_(seed) {}

  // One cycle; false when the plugin left a call unanswered.
  bool Cycle(int number) {
    const MethodResponse created = Call("create", EncodableValue());
    if (!created.IsSuccess()) return Fail(number, "create", created);
    const auto& ids = std::get<EncodableMap>(created.value);
    const int64_t id = std::get<int64_t>(ids.at(EncodableValue("id")));
    EventStream events(engine_, "CorvanePlugin/" + std::to_string(id));
    if (!events.Listen().IsSuccess()) return Fail(number, "listen", MethodResponse());

    const std::string& source = sources_[random_() % sources_.size()];
    const MethodResponse opened = CallWith(id, "open", "value", EncodableValue(source));
    if (!opened.IsSuccess()) return Fail(number, "open", opened);
    const auto outcome = events.WaitForEvent(
        [](const corvane::embedder::StreamEvent& event) {
          return event.Name() == "mediaInfo" || event.Name() == "error";
        },
        10s);
    if (outcome && outcome->Name() == "mediaInfo") {
      if (!Call("play", EncodableValue(id)).IsSuccess()) return Fail(number, "play", MethodResponse());
      std::this_thread::sleep_for(std::chrono::milliseconds(100 + random_() % 300));
      // Two seeks back to back, as a scrubbing finger sends them.
      for (const int64_t position : {int64_t{2000}, int64_t{500}}) {
        const MethodResponse sought = CallWith(id, "seekTo", "position", EncodableValue(position));
        if (!sought.IsSuccess()) return Fail(number, "seekTo", sought);
      }
      for (int i = 0; i < 2; ++i) events.WaitForEventNamed("seekEnd", 5s);
    }
    events.Cancel();
    const MethodResponse disposed = Call("dispose", EncodableValue(id));
    if (!disposed.IsSuccess()) return Fail(number, "dispose", disposed);
    return true;
  }

 private:
  MethodResponse Call(const std::string& method, const EncodableValue& arguments) {
    engine_.TakeLongestDelivery();
    MethodResponse response = InvokeMethod(engine_, "CorvanePlugin", method, arguments, 10s);
    auto& longest = longestBlocks_[method];
    longest = std::max(longest, engine_.TakeLongestDelivery());
    return response;
  }
  MethodResponse CallWith(int64_t id, const std::string& method, const char* key, EncodableValue value) {
    return Call(method, EncodableValue(EncodableMap{{EncodableValue("id"), EncodableValue(id)},
                                                    {EncodableValue(key), std::move(value)}}));
  }
  static bool Fail(int number, const char* step, const MethodResponse& response) {
    std::fprintf(stderr, "soak: cycle %d: %s failed: %s\n", number, step, response.Describe().c_str());
    return false;
  }

  corvane::embedder::Engine& engine_;
  const std::vector<std::string> sources_;
  std::mt19937 random_;
  std::map<std::string, std::chrono::microseconds> longestBlocks_;

 public:
  // The longest time each method held the platform thread.
  const std::map<std::string, std::chrono::microseconds>& LongestBlocks() const { return longestBlocks_; }
};

}  // namespace

int main(int argc, char** argv) {
  int cycles = 300;
  long blockLimitMs = 250;
  uint32_t seed = static_cast<uint32_t>(std::random_device{}());
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--cycles") {
      cycles = std::atoi(argv[i + 1]);
    } else if (option == "--seed") {
      seed = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
    } else if (option == "--block-limit-ms") {
      blockLimitMs = std::atol(argv[i + 1]);
    }
  }
  ::setenv("CORVANE_AUDIO_SINK", "fakesink sync=true", 0);
  const std::string media = corvane::testing::TestMediaDir();
  for (const char* name : {"h264_aac.mp4", "multi.mkv", "long.mp4", "random.bin", "hls/master.m3u8", "dash/manifest.mpd"}) {
    if (corvane::testing::TestMediaPath(name).empty()) {
      std::fprintf(stderr, "soak: test media missing: %s/%s\n", media.c_str(), name);
      return 2;
    }
  }
  corvane::testing::TestHttpServer server(media);
  const std::vector<std::string> sources = {
      media + "/h264_aac.mp4",       media + "/multi.mkv",         server.Url("long.mp4"),
      server.Url("hls/master.m3u8"), server.Url("dash/manifest.mpd"), media + "/no-such-file.mp4",
      media + "/random.bin",
  };
  std::printf("soak: %d cycles, seed %u\n", cycles, seed);

  auto engine = corvane::embedder::Engine::Start();
  if (!engine) return 2;
  const std::string loaded = engine->LoadPlugin(CORVANE_PLUGIN_PATH);
  if (!loaded.empty()) {
    std::fprintf(stderr, "soak: %s\n", loaded.c_str());
    return 2;
  }
  Soak soak(*engine, sources, seed);
  Usage early;
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    if (!soak.Cycle(cycle)) return 1;
    if (cycle == 10) {
      early = MeasureSettled(nullptr);
      Print("after cycle 10", early);
    }
  }
  const Usage end = MeasureSettled(&early);
  Print("at the end", end);
  const bool grew = end.descriptors > early.descriptors + 2 || end.threads > early.threads + 2 ||
                    end.residentMb > early.residentMb + 20.0;
  std::printf("soak: growth: descriptors %+d, threads %+d, resident %+.1f MB: %s\n", end.descriptors - early.descriptors,
              end.threads - early.threads, end.residentMb - early.residentMb, grew ? "LEAK" : "flat");
  if (grew) PrintDescriptorKinds();

  bool blocked = false;
  std::printf("soak: longest platform-thread block per call (limit %ld ms):", blockLimitMs);
  for (const auto& [method, longest] : soak.LongestBlocks()) {
    std::printf(" %s %.1f ms", method.c_str(), static_cast<double>(longest.count()) / 1000.0);
    blocked = blocked || longest > std::chrono::milliseconds(blockLimitMs);
  }
  std::printf(": %s\n", blocked ? "TOO LONG" : "ok");
  const int engineThreads = corvane::testing::EngineThreads();
  std::printf("soak: engine threads left after the last dispose: %d\n", engineThreads);
  engine->Shutdown();
  return grew || blocked || engineThreads > 0 ? 1 : 0;
}
