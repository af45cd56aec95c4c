// The plugin registered on the host library with the scripted engine and
// the real shared-memory device: players whose media the test decides,
// textures the host really reads. On Windows, whose host reads no shared
// surfaces, the device is the fake one: frames are drawn but not read.
#ifndef CORVANE_TESTS_PLUGIN_FAKE_ENGINE_HARNESS_H_
#define CORVANE_TESTS_PLUGIN_FAKE_ENGINE_HARNESS_H_

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "fake/fake_media_engine.h"
#include "plugin/plugin_harness.h"
#include "support/eventually.h"
#ifdef _WIN32
#include "plugin/fake_surface_device.h"
#endif

namespace corvane::testing {

using namespace std::chrono_literals;
using embedder::EventStream;
using embedder::MethodResponse;
using embedder::StreamEvent;

inline EncodableValue IdAnd(int64_t id, std::initializer_list<std::pair<const char*, EncodableValue>> rest) {
  EncodableMap map{{EncodableValue("id"), EncodableValue(id)}};
  for (const auto& [key, value] : rest) map[EncodableValue(std::string(key))] = value;
  return EncodableValue(std::move(map));
}

inline EncodableValue IdAndValue(int64_t id, EncodableValue value) { return IdAnd(id, {{"value", value}}); }


class FakeEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    layer.makeEngine = [engine = engine] { return engine; };
#ifdef _WIN32
    layer.makeDevice = [] { return std::make_shared<FakeSurfaceDevice>(); };
#else
    layer.makeDevice = [] { return platform::CreateSharedMemoryDevice(); };
#endif
    host = std::make_unique<PluginHarness>(layer);
    ASSERT_TRUE(host->Register());
  }
  void TearDown() override { host.reset(); }

  // A player with Dart listening on its channel.
  struct Player {
    int64_t id = -1;
    int64_t subId = -1;
    std::shared_ptr<FakeMediaPlayer> engine;
    std::unique_ptr<EventStream> events;
  };

  Player CreateListening() {
    Player player;
    const MethodResponse created = host->Call("create");
    EXPECT_TRUE(created.IsSuccess()) << created.Describe();
    if (!created.IsSuccess()) return player;
    const auto& map = std::get<EncodableMap>(created.value);
    player.id = std::get<int64_t>(map.at(EncodableValue("id")));
    player.subId = std::get<int64_t>(map.at(EncodableValue("subId")));
    player.engine = engine->LastPlayer();
    player.events = std::make_unique<EventStream>(host->engine(), PluginHarness::ChannelOf(player.id));
    EXPECT_TRUE(player.events->Listen().IsSuccess());
    return player;
  }

  // Opens a source and waits for its "mediaInfo": the player is loaded.
  void OpenLoaded(Player& player, const std::string& source = "/media/a.mp4") {
    ASSERT_TRUE(Call("open", IdAndValue(player.id, EncodableValue(source))).IsSuccess());
    ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 5s)) << "no mediaInfo";
  }

  MethodResponse Call(const std::string& method, const EncodableValue& arguments = EncodableValue()) {
    return host->Call(method, arguments);
  }

  // Names of the events received so far, in order.
  static std::vector<std::string> Names(const EventStream& events) {
    std::vector<std::string> names;
    for (const StreamEvent& event : events.History()) names.push_back(event.Name());
    return names;
  }

  LogRecorder log;
  std::shared_ptr<FakeMediaEngine> engine = std::make_shared<FakeMediaEngine>();
  FakePlatformLayer layer;
  std::unique_ptr<PluginHarness> host;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_PLUGIN_FAKE_ENGINE_HARNESS_H_
