// Opening sources through the shipped plugin on short clips: what a paused
// player shows, a start position chosen while opening, and sources that
// replace each other before the previous one has settled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "player_e2e/plugin_session.h"
#include "support/http_server.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

using embedder::StreamEvent;

std::string Absolute(const std::string& path) { return std::filesystem::absolute(path).string(); }

class Opening : public PluginSession {
 protected:
  // A new player that has opened `path` (its mediaInfo has arrived).
  void OpenAndWait(DartPlayer& player, const std::string& path) {
    player = Create();
    ASSERT_GE(player.id, 0);
    Open(player, Absolute(path));
    ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 10s));
  }
};

// Sends "open" without waiting, so the calls that follow queue right behind
// it on the platform thread, before the engine can have loaded anything.
void OpenWithoutWaiting(embedder::Engine& engine, int64_t id, const std::string& source) {
  embedder::InvokeMethodAsync(
      engine, "CorvanePlugin", "open",
      EncodableValue(EncodableMap{{EncodableValue("id"), EncodableValue(id)},
                                  {EncodableValue("value"), EncodableValue(source)}}),
      [](const embedder::MethodResponse&) {});
}

// Holds the platform thread for a while, so that what the engine posts for
// an earlier call queues behind the calls sent meanwhile.
void BusyPlatformThread(embedder::Engine& engine, std::chrono::milliseconds duration) {
  engine.PostToPlatformThread([duration] { std::this_thread::sleep_for(duration); });
}

TEST_F(Opening, PausedPlayer_ShowsItsFirstFrame_WithoutPlaying) {
  CORVANE_REQUIRE_MEDIA(path, "red_blue.mp4");
  DartPlayer player;
  ASSERT_NO_FATAL_FAILURE(OpenAndWait(player, path));
  const auto frame = engine().WaitForFrame(player.id, IsRed, 5s);
  ASSERT_TRUE(frame) << "the opened, never played player shows no first frame";
  EXPECT_EQ(frame->width, 160u);
  EXPECT_EQ(frame->height, 120u);
  EXPECT_EQ(Positions(*player.events), std::vector<int64_t>{}) << "nothing moved: no position to report";
}

// A phone's portrait video: coded 320x160 with a quarter turn clockwise.
// The texture holds the upright picture, red half on top, blue below.
TEST_F(Opening, TurnedVideo_IsShownUpright) {
  CORVANE_REQUIRE_MEDIA(path, "rotated.mp4");
  DartPlayer player;
  ASSERT_NO_FATAL_FAILURE(OpenAndWait(player, path));
  const auto frame = engine().WaitForFrame(
      player.id, [](const embedder::TextureFrame& f) { return f.HasPixels() && f.width == 160; }, 5s);
  ASSERT_TRUE(frame);
  ASSERT_EQ(frame->height, 320u);
  const auto top = frame->PixelAt(80, 40);
  const auto bottom = frame->PixelAt(80, 280);
  EXPECT_TRUE(top[2] > 200 && top[0] < 60) << "red on top";
  EXPECT_TRUE(bottom[0] > 200 && bottom[2] < 60) << "blue below";
}

// Rows that comb: a pixel unlike the row below but like the row after
// that, as where two fields of a moving picture are woven together.
size_t CombedPixels(const embedder::TextureFrame& frame) {
  size_t combed = 0;
  for (size_t y = 0; y + 2 < frame.height; ++y) {
    for (size_t x = 0; x < frame.width; ++x) {
      const int here = frame.PixelAt(x, y)[1], below = frame.PixelAt(x, y + 1)[1], next = frame.PixelAt(x, y + 2)[1];
      if (std::abs(here - below) > 100 && std::abs(here - next) < 40) ++combed;
    }
  }
  return combed;
}

// An interlaced clip of a box moving 12 px per field: woven frames comb
// along the box's edges over its whole height (about 2800 pixels); each
// frame shown is deinterlaced.
TEST_F(Opening, InterlacedVideo_IsShownDeinterlaced) {
  CORVANE_REQUIRE_MEDIA(path, "interlaced.mp4");
  DartPlayer player;
  ASSERT_NO_FATAL_FAILURE(OpenAndWait(player, path));
  Play(player);
  for (int shown = 0; shown < 5; ++shown) {
    const auto frame = engine().WaitForNewFrame(player.id, 2s);
    ASSERT_TRUE(frame && frame->HasPixels());
    EXPECT_LT(CombedPixels(*frame), 100u);
  }
}

// A stream without length or ranges opens as live media: no start seek
// follows, so no frame is decoded after the one that arrived with the size.
// The platform thread is kept busy meanwhile: taking the size in and
// drawing that frame must not wait for it.
TEST_F(Opening, PausedLiveStream_ShowsTheFrameDecodedWithItsSize) {
  CORVANE_REQUIRE_MEDIA(path, "red_blue.mp4");
  TestHttpServer::Options plain;
  plain.supportRanges = false;
  plain.sendContentLength = false;
  TestHttpServer server(TestMediaDir(), plain);
  DartPlayer player = Create();
  ASSERT_GE(player.id, 0);
  OpenWithoutWaiting(engine(), player.id, server.Url("red_blue.mp4"));
  BusyPlatformThread(engine(), 500ms);
  const auto info = WaitForAnyOf(*player.events, {"mediaInfo", "error"}, 10s);
  ASSERT_TRUE(info);
  ASSERT_EQ(info->Name(), "mediaInfo");
  ASSERT_EQ(*info->Find("duration"), EncodableValue(int64_t{0})) << "not opened as live media";
  const auto frame = engine().WaitForFrame(player.id, IsRed, 5s);
  ASSERT_TRUE(frame) << "the first frame never reached the texture";
  EXPECT_EQ(frame->width, 160u);
}

// The picture at the start position is part of opening: the texture holds
// it when "mediaInfo" arrives, before any position is reported. A few
// rounds, as the frame and the opening race each other.
TEST_F(Opening, StartPositionSetWhileOpening_IsWhereItLoads_ShowingItsPicture_WithoutSeekEnd) {
  CORVANE_REQUIRE_MEDIA(path, "red_blue.mp4");
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    DartPlayer player = Create();
    ASSERT_GE(player.id, 0);
    OpenWithoutWaiting(engine(), player.id, Absolute(path));
    ASSERT_TRUE(CallWith(player.id, "seekTo", "position", EncodableValue(int64_t{1500})).IsSuccess());

    const auto info = WaitForAnyOf(*player.events, {"mediaInfo", "seekEnd", "error"}, 10s);
    ASSERT_TRUE(info);
    ASSERT_EQ(info->Name(), "mediaInfo") << "the start seek is part of opening, not a seek of Dart's";
    const auto shown = engine().FetchTexture(player.id);
    ASSERT_TRUE(shown && shown->HasPixels()) << "no picture when mediaInfo arrives";
    EXPECT_TRUE(IsBlue(*shown)) << "the picture shown is not the one at 1.5 s";
    const auto position = player.events->WaitForEventNamed("position", 5s);
    ASSERT_TRUE(position) << "the loaded player reports where it starts";
    EXPECT_NEAR(IntegerOf(*position, "value"), 1500, 100);
    std::this_thread::sleep_for(100ms);
    const auto names = EventNames(*player.events);
    EXPECT_EQ(std::count(names.begin(), names.end(), "seekEnd"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "mediaInfo"), 1);
    Call("dispose", EncodableValue(player.id));
  }
}

TEST_F(Opening, SecondSourceOpenedAtOnce_IsTheOnlyOneReported) {
  CORVANE_REQUIRE_MEDIA(first, "red_blue.mp4");
  CORVANE_REQUIRE_MEDIA(second, "video_only.mp4");
  DartPlayer player = Create();
  ASSERT_GE(player.id, 0);
  for (int round = 0; round < 3; ++round) {
    OpenWithoutWaiting(engine(), player.id, Absolute(first));
    // The first clip loads meanwhile; its notifications queue behind the
    // second "open".
    BusyPlatformThread(engine(), std::chrono::milliseconds(100 * round));
    Open(player, Absolute(second));
    const auto info = player.events->WaitForEventNamed("mediaInfo", 10s);
    ASSERT_TRUE(info);
    EXPECT_EQ(*info->Find("source"), EncodableValue(Absolute(second)));
  }
  std::this_thread::sleep_for(500ms);
  for (const StreamEvent& event : player.events->History()) {
    EXPECT_NE(event.Name(), "error");
    if (event.Name() == "videoSize") {
      const double* width = std::get_if<double>(event.Find("width"));
      ASSERT_NE(width, nullptr);
      EXPECT_EQ(*width, 320.0) << "a size of the replaced clip was reported";
    }
    if (event.Name() == "mediaInfo") {
      EXPECT_EQ(*event.Find("source"), EncodableValue(Absolute(second)));
    }
  }
  const auto names = EventNames(*player.events);
  EXPECT_EQ(std::count(names.begin(), names.end(), "mediaInfo"), 3);
  EXPECT_TRUE(engine().WaitForFrame(
      player.id, [](const embedder::TextureFrame& frame) { return frame.width == 320 && frame.height == 240; }, 5s));
}

TEST_F(Opening, FailureOfAReplacedSource_NeverReachesTheNextOne) {
  CORVANE_REQUIRE_MEDIA(broken, "random.bin");
  CORVANE_REQUIRE_MEDIA(good, "red_blue.mp4");
  DartPlayer player = Create();
  ASSERT_GE(player.id, 0);
  for (int round = 0; round < 3; ++round) {
    OpenWithoutWaiting(engine(), player.id, Absolute(broken));
    // The broken file fails meanwhile; its failure queues behind the
    // second "open".
    BusyPlatformThread(engine(), std::chrono::milliseconds(150 * round));
    Open(player, Absolute(good));
    const auto outcome = WaitForAnyOf(*player.events, {"mediaInfo", "error"}, 10s);
    ASSERT_TRUE(outcome);
    // An error sent before the replacement belongs to the broken file; one
    // after it would have closed the good one.
    if (outcome->Name() == "error") {
      const auto info = WaitForAnyOf(*player.events, {"mediaInfo", "error"}, 10s);
      ASSERT_TRUE(info);
      ASSERT_EQ(info->Name(), "mediaInfo") << "the good source was failed too";
    }
  }
  Play(player);
  EXPECT_TRUE(engine().WaitForFrame(player.id, IsBlue, 5s)) << "the good source plays";
  EXPECT_TRUE(player.events->WaitForEventNamed("finished", 5s));
}

TEST_F(Opening, CompletionOfAReplacedSource_NeverReachesTheNextOne) {
  CORVANE_REQUIRE_MEDIA(first, "red_blue.mp4");
  CORVANE_REQUIRE_MEDIA(second, "video_only.mp4");
  DartPlayer player = Create();
  ASSERT_GE(player.id, 0);
  Open(player, Absolute(first));
  ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 10s));
  Play(player);
  // Replace it in the last moments, while its end is on its way.
  ASSERT_TRUE(player.events->WaitForEvent(
      [](const StreamEvent& event) { return event.Name() == "position" && IntegerOf(event, "value") >= 1900; }, 5s));
  Open(player, Absolute(second));
  const size_t replacedAt = player.events->History().size();
  ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 10s));
  std::this_thread::sleep_for(2500ms);  // longer than the first clip
  const auto history = player.events->History();
  for (size_t i = replacedAt; i < history.size(); ++i) {
    EXPECT_NE(history[i].Name(), "finished") << "the replaced clip's end reached the paused new one";
    EXPECT_NE(history[i].Name(), "seekEnd");
  }
  const auto paused = Call("pause", EncodableValue(player.id));
  EXPECT_TRUE(paused.IsSuccess());
  Play(player);
  EXPECT_TRUE(player.events->WaitForEventNamed("finished", 5s)) << "the new source is paused and plays from here";
}

}  // namespace
}  // namespace corvane::testing
