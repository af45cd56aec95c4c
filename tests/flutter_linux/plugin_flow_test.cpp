// The plugin as a Flutter Linux app meets it: libcorvane_plugin's Flutter
// Linux build registered by a generated-style registrant with our fake of
// the GTK embedding, driven over its channels from the Dart side, real
// GStreamer players on generated media, frames read through copy_pixels on
// the raster thread. The fake fails the test on any breach of the
// embedding's rules (fake/include/fake_flutter_linux/engine.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "fake_flutter_linux/engine.h"
#include "flutter_linux/support/dart_side.h"
#include "support/test_media.h"
#include "flutter_linux_app/flutter/generated_plugin_registrant.h"

namespace corvane::testing {
namespace {

using fake_flutter_linux::Frame;
using flutter::EncodableMap;
using flutter::EncodableValue;
using namespace std::chrono_literals;

// The middle pixel, read as R, G, B, A.
bool Is(const Frame& frame, int r, int g, int b) {
  const uint8_t* pixel = frame.At(frame.width / 2, frame.height / 2);
  return std::abs(pixel[0] - r) <= 8 && std::abs(pixel[1] - g) <= 8 && std::abs(pixel[2] - b) <= 8 && pixel[3] == 255;
}
bool IsRed(const Frame& frame) { return Is(frame, 255, 0, 0); }
bool IsBlue(const Frame& frame) { return Is(frame, 0, 0, 255); }
bool HasInk(const Frame& frame) {
  for (size_t i = 3; i < frame.rgba.size(); i += 4) {
    if (frame.rgba[i] > 128) return true;
  }
  return false;
}

EncodableValue With(int64_t id, const char* key, EncodableValue value) {
  return EncodableValue(EncodableMap{{EncodableValue("id"), EncodableValue(id)}, {EncodableValue(key), std::move(value)}});
}

class FlutterLinuxPlugin : public ::testing::Test {
 protected:
  struct Player {
    int64_t id = -1;
    int64_t subId = -1;
    std::unique_ptr<EventStream> events;
  };

  void SetUp() override {
    engine_ = std::make_unique<fake_flutter_linux::Engine>();
    engine_->RunOnMainThread([this] { fl_register_plugins(engine_->registry()); });
  }

  void TearDown() override {
    engine_->Shutdown();
    for (const std::string& violation : engine_->Violations()) ADD_FAILURE() << "embedding rule broken: " << violation;
    engine_.reset();
  }

  Answer Call(const std::string& method, const EncodableValue& arguments = EncodableValue()) {
    return Invoke(*engine_, "CorvanePlugin", method, arguments);
  }

  Player Create() {
    Player player;
    const Answer created = Call("create");
    EXPECT_TRUE(created.IsSuccess());
    player.id = created.IntegerAt("id");
    player.subId = created.IntegerAt("subId");
    player.events = std::make_unique<EventStream>(*engine_, "CorvanePlugin/" + std::to_string(player.id));
    EXPECT_TRUE(player.events->Listen().IsSuccess());
    return player;
  }

  // Opens the generated file `name`; false when it is missing.
  bool Open(const Player& player, const char* name) {
    const std::string path = TestMediaPath(name);
    if (path.empty()) return false;
    EXPECT_TRUE(Call("open", With(player.id, "value", EncodableValue(std::filesystem::absolute(path).string())))
                    .IsSuccess());
    return true;
  }

  bool IsRegistered(int64_t id) const {
    const auto ids = engine_->RegisteredTextures();
    return std::find(ids.begin(), ids.end(), id) != ids.end();
  }

  std::unique_ptr<fake_flutter_linux::Engine> engine_;
};

TEST_F(FlutterLinuxPlugin, Player_ShowsRgbaFrames_ReportsEventsAndSeeks_AndGoesWithItsTextures) {
  EXPECT_EQ(Call("noSuchMethod").kind, Answer::Kind::kNotImplemented);
  Player player = Create();
  ASSERT_GE(player.id, 0);
  // The ids are the embedding's own (fl_texture_get_id), both registered.
  EXPECT_TRUE(IsRegistered(player.id));
  EXPECT_TRUE(IsRegistered(player.subId));
  EXPECT_NE(player.id, player.subId);
  if (!Open(player, "red_blue.mp4")) GTEST_SKIP() << "test media missing: red_blue.mp4";

  const auto info = player.events->WaitFor("mediaInfo", 10s);
  ASSERT_TRUE(info);
  EXPECT_NEAR(static_cast<double>(info->IntegerAt("duration")), 2000, 100);
  ASSERT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess());
  const auto red = engine_->WaitForFrame(player.id, IsRed, 5s);
  ASSERT_TRUE(red) << "the first second reads red, R first";
  EXPECT_EQ(red->width, 160u);
  EXPECT_EQ(red->height, 120u);
  EXPECT_EQ(red->rgba.size(), size_t{160} * 120 * 4) << "rows packed";
  EXPECT_TRUE(engine_->WaitForFrame(player.id, IsBlue, 5s)) << "then blue";

  ASSERT_TRUE(Call("seekTo", With(player.id, "position", EncodableValue(int64_t{300}))).IsSuccess());
  EXPECT_TRUE(player.events->WaitFor("seekEnd", 5s));
  EXPECT_TRUE(engine_->WaitForFrame(player.id, IsRed, 5s)) << "red again after the seek back";
  EXPECT_TRUE(player.events->WaitFor("finished", 5s));
  const auto names = player.events->Names();
  EXPECT_NE(std::find(names.begin(), names.end(), "position"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "videoSize"), names.end());

  ASSERT_TRUE(Call("dispose", EncodableValue(player.id)).IsSuccess());
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while ((IsRegistered(player.id) || IsRegistered(player.subId)) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_FALSE(IsRegistered(player.id));
  EXPECT_FALSE(IsRegistered(player.subId));
  EXPECT_EQ(Call("play", EncodableValue(player.id)).errorCode, "unknown_player");
}

TEST_F(FlutterLinuxPlugin, Subtitles_AreDrawnOnTheirOwnTexture) {
  Player player = Create();
  ASSERT_GE(player.id, 0);
  ASSERT_TRUE(Call("setPreferredSubtitleLanguage", With(player.id, "value", EncodableValue("en"))).IsSuccess());
  ASSERT_TRUE(Call("setShowSubtitle", With(player.id, "value", EncodableValue(true))).IsSuccess());
  if (!Open(player, "multi.mkv")) GTEST_SKIP() << "test media missing: multi.mkv";
  ASSERT_TRUE(player.events->WaitFor("mediaInfo", 10s));
  ASSERT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess());
  // "Hello" from 0.5 s to 1.5 s, drawn at the video's size over transparency.
  const auto cue = engine_->WaitForFrame(player.subId, HasInk, 5s);
  ASSERT_TRUE(cue);
  EXPECT_EQ(cue->width, 320u);
  EXPECT_EQ(cue->height, 240u);
  EXPECT_EQ(cue->At(0, 0)[3], 0) << "the corner is transparent";
  EXPECT_TRUE(engine_->LatestFrame(player.id)) << "the video has frames of its own";
}

TEST_F(FlutterLinuxPlugin, EngineShutdown_WithPlayersPlaying_ClosesThemAndSendsNothingAfter) {
  Player first = Create();
  Player second = Create();
  ASSERT_GE(second.id, 0);
  if (!Open(first, "h264_aac.mp4") || !Open(second, "red_blue.mp4")) GTEST_SKIP() << "test media missing";
  ASSERT_TRUE(first.events->WaitFor("mediaInfo", 10s));
  ASSERT_TRUE(second.events->WaitFor("mediaInfo", 10s));
  ASSERT_TRUE(Call("play", EncodableValue(first.id)).IsSuccess());
  ASSERT_TRUE(Call("play", EncodableValue(second.id)).IsSuccess());
  ASSERT_TRUE(engine_->WaitForFrame(second.id, IsRed, 5s));

  engine_->Shutdown();
  // Every texture went while the messenger was being disposed, before the
  // texture registrar shut down.
  EXPECT_EQ(engine_->TexturesLeftAtShutdown(), 0u);
  // Players that were mid-frame neither send nor mark afterwards (the fake
  // records either as a breach, reported in TearDown).
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(Call("create").kind, Answer::Kind::kNoAnswer) << "nobody listens any more";
}

}  // namespace
}  // namespace corvane::testing
