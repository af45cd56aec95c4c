// The shipped library, loaded with dlopen into the Linux host library with
// the GStreamer engine, for what the playback suite (tests/player_e2e) does
// not reach: how sources are resolved, and a shutdown while frames arrive.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "embedder/dart_client.h"
#include "embedder/engine.h"
#include "host/byte_streams.h"
#include "host/standard_codec_serializer.h"
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
    options.frameInterval = std::chrono::microseconds(0);
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

// A call whose arguments cannot be read must not be taken for a call with
// null arguments: a cut "dispose" would dispose every player.
TEST_F(PluginLibraryTest, MalformedCalls_AreAnsweredOnceWithAnError_AndLeaveEveryPlayerInPlace) {
  const int64_t first = Create().first;
  const int64_t second = Create().first;
  const auto encode = [](const EncodableValue& value) {
    std::vector<uint8_t> bytes;
    flutter::ByteBufferStreamWriter writer(&bytes);
    flutter::StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
    return bytes;
  };
  const auto message = [&](const char* method, const EncodableValue& arguments) {
    std::vector<uint8_t> bytes = encode(EncodableValue(method));
    const std::vector<uint8_t> tail = encode(arguments);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
  };
  const auto playersAlive = [&] {
    for (const int64_t id : {first, second}) {
      if (!Call("setLooping", IdAnd(id, "value", EncodableValue(false))).IsSuccess()) return false;
    }
    return true;
  };
  const std::vector<uint8_t> nameOnly = encode(EncodableValue("dispose"));
  for (const auto& whole : {message("dispose", EncodableValue(first)),
                            message("seekTo", IdAnd(first, "position", EncodableValue(int64_t{500})))}) {
    // Every cut after the name, the name alone included.
    for (size_t length = nameOnly.size(); length < whole.size(); ++length) {
      SCOPED_TRACE("cut at " + std::to_string(length) + " of " + std::to_string(whole.size()));
      const MethodResponse answer = embedder::SendRawMessage(
          *engine, "CorvanePlugin", std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(length)));
      EXPECT_EQ(answer.kind, MethodResponse::Kind::kError) << answer.Describe();
      EXPECT_EQ(answer.errorCode, "invalid_argument");
      EXPECT_NE(answer.errorMessage.find("malformed"), std::string::npos);
    }
    EXPECT_TRUE(playersAlive());
  }
  // Without even a name: not a method call at all.
  EXPECT_EQ(embedder::SendRawMessage(*engine, "CorvanePlugin", {}).kind, MethodResponse::Kind::kNotImplemented);
  // Bytes after complete arguments are ignored: this disposes `first` only.
  std::vector<uint8_t> trailing = message("dispose", EncodableValue(first));
  trailing.insert(trailing.end(), {0xFF, 0x07});
  EXPECT_TRUE(embedder::SendRawMessage(*engine, "CorvanePlugin", trailing).IsSuccess());
  EXPECT_EQ(Call("setLooping", IdAnd(first, "value", EncodableValue(false))).errorCode, "unknown_player");
  EXPECT_TRUE(Call("setLooping", IdAnd(second, "value", EncodableValue(false))).IsSuccess());
}

// Linux file names are bytes: one that is not UTF-8 still plays, and its
// name comes back to Dart readable, so the whole event is not refused.
TEST_F(PluginLibraryTest, SourceNameThatIsNotUtf8_ComesBackRepaired_InMediaInfo) {
  CORVANE_REQUIRE_MEDIA(path, "red_blue.mp4");
  const std::filesystem::path link = std::filesystem::temp_directory_path() / "corvane-caf\xE9.mp4";
  std::filesystem::remove(link);
  std::filesystem::create_symlink(std::filesystem::absolute(path), link);
  const int64_t id = Create().first;
  EventStream events(*engine, "CorvanePlugin/" + std::to_string(id));
  ASSERT_TRUE(events.Listen().IsSuccess());
  // The codec repairs what it writes, this call included, so its bytes are
  // put together by hand: "open", then {"id": id, "value": the raw name}.
  const std::string name = link.string();
  std::vector<uint8_t> call = {7, 4, 'o', 'p', 'e', 'n', 13, 2, 7, 2, 'i', 'd', 4};
  for (int shift = 0; shift < 64; shift += 8) call.push_back(static_cast<uint8_t>(static_cast<uint64_t>(id) >> shift));
  call.insert(call.end(), {7, 5, 'v', 'a', 'l', 'u', 'e', 7, static_cast<uint8_t>(name.size())});
  call.insert(call.end(), name.begin(), name.end());
  ASSERT_LT(name.size(), 254u);
  ASSERT_TRUE(embedder::SendRawMessage(*engine, "CorvanePlugin", call).IsSuccess());
  const auto info = events.WaitForEventNamed("mediaInfo", 10s);
  std::filesystem::remove(link);
  ASSERT_TRUE(info);
  EXPECT_EQ(std::get<std::string>(*info->Find("source")),
            (std::filesystem::temp_directory_path() / "corvane-caf\xEF\xBF\xBD.mp4").string());
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
