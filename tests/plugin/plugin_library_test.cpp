// The shipped library, loaded with dlopen into the Linux host library with
// the GStreamer engine, for what the playback suite (tests/player_e2e) does
// not reach: how sources are resolved, and a shutdown while frames arrive.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "embedder/dart_client.h"
#include "embedder/engine.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;
using embedder::EventStream;
using embedder::MethodResponse;
using flutter::EncodableMap;
using flutter::EncodableValue;

EncodableValue IdAnd(int64_t id, const char* key, EncodableValue value) {
  return EncodableValue(EncodableMap{{EncodableValue("id"), EncodableValue(id)}, {EncodableValue(key), value}});
}

class PluginLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("CORVANE_AUDIO_SINK", "fakesink sync=true", 1);
    embedder::EngineOptions options;
    options.frame_interval = std::chrono::microseconds(0);
    engine = embedder::Engine::Start(options);
    ASSERT_TRUE(engine);
    ASSERT_EQ(engine->LoadPlugin(CORVANE_PLUGIN_PATH), "");
  }
  void TearDown() override {
    if (engine) engine->Shutdown();
  }

  MethodResponse Call(const std::string& method, const EncodableValue& arguments = EncodableValue()) {
    return embedder::InvokeMethod(*engine, "CorvanePlugin", method, arguments, 10s);
  }

  std::pair<int64_t, int64_t> Create() {
    const MethodResponse created = Call("create");
    EXPECT_TRUE(created.IsSuccess()) << created.Describe();
    if (!created.IsSuccess()) return {-1, -1};
    const auto& map = std::get<EncodableMap>(created.value);
    return {std::get<int64_t>(map.at(EncodableValue("id"))), std::get<int64_t>(map.at(EncodableValue("subId")))};
  }

  std::unique_ptr<embedder::Engine> engine;
};

// A relative path is taken from the working directory, and an asset key from
// data/flutter_assets/ beside the running executable, a space and a hash in
// it included; a missing file with such characters is named as unsupported
// rather than cut at them.
TEST_F(PluginLibraryTest, ResolvesRelativePathsAndAssets_AndNamesAMissingFile) {
  CORVANE_REQUIRE_MEDIA(path, "red_blue.mp4");
  const std::string relative =
      std::filesystem::relative(std::filesystem::absolute(path), std::filesystem::current_path()).string();
  ASSERT_NE(relative[0], '/');
  const std::filesystem::path folder =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "data" / "flutter_assets" / "clips";
  std::filesystem::create_directories(folder);
  const std::filesystem::path asset = folder / "red #1 clip.mp4";
  std::filesystem::remove(asset);
  std::filesystem::create_symlink(std::filesystem::absolute(path), asset);
  const struct {
    std::string source;
    const char* outcome;
  } cases[] = {
      {relative, "mediaInfo"},
      {"asset://clips/red #1 clip.mp4", "mediaInfo"},
      {"/nonexistent/no such #file?.mp4", "SourceNotSupported"},
  };
  for (const auto& item : cases) {
    SCOPED_TRACE(item.source);
    const int64_t id = Create().first;
    EventStream events(*engine, "CorvanePlugin/" + std::to_string(id));
    ASSERT_TRUE(events.Listen().IsSuccess());
    ASSERT_TRUE(Call("open", IdAnd(id, "value", EncodableValue(item.source))).IsSuccess());
    const auto outcome = events.WaitForEvent(
        [](const embedder::StreamEvent& event) { return event.Name() == "mediaInfo" || event.Name() == "error"; },
        10s);
    ASSERT_TRUE(outcome);
    if (outcome->Name() == "error") {
      EXPECT_EQ(*outcome->Find("value"), EncodableValue(item.outcome));
    } else {
      EXPECT_EQ(outcome->Name(), item.outcome);
    }
  }
  std::filesystem::remove(asset);
}

TEST_F(PluginLibraryTest, ShutdownWhileFramesArrive_TearsDownCleanly) {
  CORVANE_REQUIRE_MEDIA(path, "long.mp4");
  const auto [id, subId] = Create();
  EventStream events(*engine, "CorvanePlugin/" + std::to_string(id));
  ASSERT_TRUE(events.Listen().IsSuccess());
  ASSERT_TRUE(Call("open", IdAnd(id, "value", EncodableValue(path))).IsSuccess());
  ASSERT_TRUE(events.WaitForEventNamed("mediaInfo", 10s));
  ASSERT_TRUE(Call("play", EncodableValue(id)).IsSuccess());
  ASSERT_TRUE(engine->WaitForNewFrame(id, 10s));
  EXPECT_TRUE(engine->Shutdown());
  EXPECT_FALSE(engine->IsTextureRegistered(id));
  EXPECT_FALSE(engine->IsTextureRegistered(subId));
}

}  // namespace
}  // namespace corvane::testing
