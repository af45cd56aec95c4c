// The shipped library, loaded with dlopen into the Linux host library and
// playing real files through the GStreamer engine: what a Flutter app sees.
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

bool IsRed(const embedder::TextureFrame& frame) {
  const auto pixel = frame.PixelAt(frame.width / 2, frame.height / 2);
  return pixel[2] > 200 && pixel[1] < 60 && pixel[0] < 60 && pixel[3] == 255;
}

TEST_F(PluginLibraryTest, OpensAFile_SendsItsSizeAndInfo_AndShowsItsFrames) {
  CORVANE_REQUIRE_MEDIA(path, "red_blue.mp4");
  const auto [id, subId] = Create();
  ASSERT_GE(id, 0);
  EXPECT_NE(id, subId);
  EventStream events(*engine, "CorvanePlugin/" + std::to_string(id));
  ASSERT_TRUE(events.Listen().IsSuccess());
  const std::string absolute = std::filesystem::absolute(path).string();
  ASSERT_TRUE(Call("open", IdAnd(id, "value", EncodableValue(absolute))).IsSuccess());

  const auto size = events.WaitForEventNamed("videoSize", 10s);
  ASSERT_TRUE(size) << "no videoSize";
  EXPECT_EQ(*size->Find("width"), EncodableValue(160.0));
  EXPECT_EQ(*size->Find("height"), EncodableValue(120.0));
  const auto info = events.WaitForEventNamed("mediaInfo", 10s);
  ASSERT_TRUE(info) << "no mediaInfo";
  EXPECT_EQ(*info->Find("source"), EncodableValue(absolute));
  EXPECT_EQ(*info->Find("duration"), EncodableValue(int64_t{2000}));

  ASSERT_TRUE(Call("play", EncodableValue(id)).IsSuccess());
  const auto frame = engine->WaitForFrame(id, IsRed, 10s);
  ASSERT_TRUE(frame) << "no red frame reached the texture";
  EXPECT_EQ(frame->width, 160u);
  EXPECT_EQ(frame->height, 120u);
  EXPECT_TRUE(events.WaitForEventNamed("finished", 10s)) << "no finished";

  ASSERT_TRUE(Call("close", EncodableValue(id)).IsSuccess());
  const auto closed = engine->FetchTexture(id);
  ASSERT_TRUE(closed);
  EXPECT_EQ(closed->outcome, embedder::TextureFrame::Outcome::kNull) << "a closed source's texture is still offered";

  ASSERT_TRUE(Call("dispose", EncodableValue(id)).IsSuccess());
  const MethodResponse gone = Call("play", EncodableValue(id));
  EXPECT_EQ(gone.error_code, "unknown_player") << gone.Describe();
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (engine->IsTextureRegistered(id) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_FALSE(engine->IsTextureRegistered(id));
  EXPECT_FALSE(engine->IsTextureRegistered(subId));
}

TEST_F(PluginLibraryTest, OpensARelativePath_FromTheWorkingDirectory) {
  CORVANE_REQUIRE_MEDIA(path, "h264_aac.mp4");
  const std::string relative =
      std::filesystem::relative(std::filesystem::absolute(path), std::filesystem::current_path()).string();
  ASSERT_FALSE(relative.empty());
  ASSERT_NE(relative[0], '/');
  const auto [id, subId] = Create();
  EventStream events(*engine, "CorvanePlugin/" + std::to_string(id));
  ASSERT_TRUE(events.Listen().IsSuccess());
  ASSERT_TRUE(Call("open", IdAnd(id, "value", EncodableValue(relative))).IsSuccess());
  const auto info = events.WaitForEvent(
      [](const embedder::StreamEvent& event) { return event.Name() == "mediaInfo" || event.Name() == "error"; }, 10s);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Name(), "mediaInfo");
  (void)subId;
}

TEST_F(PluginLibraryTest, DescribesTracks_AndDrawsSubtitlesOnceShown) {
  CORVANE_REQUIRE_MEDIA(path, "multi.mkv");
  const auto [id, subId] = Create();
  EventStream events(*engine, "CorvanePlugin/" + std::to_string(id));
  ASSERT_TRUE(events.Listen().IsSuccess());
  ASSERT_TRUE(Call("setPreferredSubtitleLanguage", IdAnd(id, "value", EncodableValue("en"))).IsSuccess());
  ASSERT_TRUE(Call("open", IdAnd(id, "value", EncodableValue(path))).IsSuccess());
  const auto info = events.WaitForEventNamed("mediaInfo", 10s);
  ASSERT_TRUE(info);
  const auto& audio = std::get<EncodableMap>(*info->Find("audioTracks"));
  const auto& text = std::get<EncodableMap>(*info->Find("subtitleTracks"));
  EXPECT_EQ(audio.size(), 3u);
  EXPECT_EQ(text.size(), 2u);
  EXPECT_TRUE(audio.count(EncodableValue("0.2")));

  ASSERT_TRUE(Call("setShowSubtitle", IdAnd(id, "value", EncodableValue(true))).IsSuccess());
  ASSERT_TRUE(Call("play", EncodableValue(id)).IsSuccess());
  // "Hello" is on screen from 0.5 s to 1.5 s: some pixel of the subtitle
  // texture becomes opaque.
  const auto cue = engine->WaitForFrame(
      subId,
      [](const embedder::TextureFrame& frame) {
        for (size_t i = 3; i < frame.bgra.size(); i += 4) {
          if (frame.bgra[i] == 255) return true;
        }
        return false;
      },
      10s);
  ASSERT_TRUE(cue) << "no subtitle reached its texture";
  EXPECT_EQ(cue->width, 320u) << "the subtitle texture has the video's size";
}

// Assets live in data/flutter_assets/ beside the running executable; a key
// with a space and a hash must still find its file.
TEST_F(PluginLibraryTest, OpensAnAsset_BesideTheExecutable) {
  CORVANE_REQUIRE_MEDIA(path, "red_blue.mp4");
  const std::filesystem::path folder =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "data" / "flutter_assets" / "clips";
  std::filesystem::create_directories(folder);
  const std::filesystem::path asset = folder / "red #1 clip.mp4";
  std::filesystem::remove(asset);
  std::filesystem::create_symlink(std::filesystem::absolute(path), asset);
  const auto [id, subId] = Create();
  EventStream events(*engine, "CorvanePlugin/" + std::to_string(id));
  ASSERT_TRUE(events.Listen().IsSuccess());
  ASSERT_TRUE(Call("open", IdAnd(id, "value", EncodableValue("asset://clips/red #1 clip.mp4"))).IsSuccess());
  const auto outcome = events.WaitForEvent(
      [](const embedder::StreamEvent& event) { return event.Name() == "mediaInfo" || event.Name() == "error"; }, 10s);
  std::filesystem::remove(asset);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->Name(), "mediaInfo");
  (void)subId;
}

TEST_F(PluginLibraryTest, ReportsAMissingFile_AsSourceNotSupported) {
  const auto [id, subId] = Create();
  EventStream events(*engine, "CorvanePlugin/" + std::to_string(id));
  ASSERT_TRUE(events.Listen().IsSuccess());
  ASSERT_TRUE(Call("open", IdAnd(id, "value", EncodableValue("/nonexistent/no such #file?.mp4"))).IsSuccess());
  const auto error = events.WaitForEventNamed("error", 10s);
  ASSERT_TRUE(error);
  EXPECT_EQ(*error->Find("value"), EncodableValue("SourceNotSupported"));
  (void)subId;
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
