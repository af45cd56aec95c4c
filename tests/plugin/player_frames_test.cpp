// Frames from the engine to the host's textures, and players torn down while
// frames and events are in flight.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "plugin/fake_engine_harness.h"

namespace corvane::testing {
namespace {

using embedder::TextureFrame;

bool IsOpaqueRed(const TextureFrame& frame) {
  const auto pixel = frame.PixelAt(frame.width / 2, frame.height / 2);
  return pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 255 && pixel[3] == 255;
}

class PlayerFramesTest : public FakeEngineTest {
 protected:
  std::shared_ptr<const TextureFrame> FrameOf(Player& player, int64_t texture,
                                              const std::function<bool(const TextureFrame&)>& accept) {
    player.engine->Raise(texture == player.id ? kVideoFrameAvailable : kSubtitleFrameChanged);
    return host->engine().WaitForFrame(texture, accept, 5s);
  }
  bool FetchIsNull(int64_t texture) {
    const auto frame = host->engine().FetchTexture(texture);
    return frame && frame->outcome == TextureFrame::Outcome::kNull;
  }
};

TEST_F(PlayerFramesTest, FramesBeforeTheFirstSize_AreSkipped_AndTexturesStayNull) {
  FakeScript manual;
  manual.openOutcome = OpenOutcome::Manual;
  engine->SetScript(manual);
  Player player = CreateListening();
  ASSERT_TRUE(Call("open", IdAndValue(player.id, EncodableValue("/m/a.mp4"))).IsSuccess());
  player.engine->Raise(kVideoFrameAvailable);
  EXPECT_TRUE(Eventually([&] { return log.Has("CorvanePlugin: Buffer dimensions are zero, skipping frame\n"); }));
  EXPECT_TRUE(FetchIsNull(player.id));
  EXPECT_TRUE(FetchIsNull(player.subId));
  EXPECT_FALSE(player.engine->Called("CopyFrameToVideoSurface"));
}

TEST_F(PlayerFramesTest, Frames_ReachTheHost_AndANewSizeMakesANewTexture) {
  Player player = CreateListening();
  OpenLoaded(player);
  const auto first = FrameOf(player, player.id, IsOpaqueRed);
  ASSERT_TRUE(first) << "no frame reached the host";
  EXPECT_EQ(first->width, 640u);
  EXPECT_EQ(first->height, 360u);

  player.engine->SetNaturalSize(1280, 720);
  player.engine->Raise(kNaturalVideoSizeChanged);
  const auto size = player.events->WaitForEvent(
      [](const StreamEvent& e) { return e.Name() == "videoSize" && *e.Find("width") == EncodableValue(1280.0); },
      5s);
  ASSERT_TRUE(size);
  EXPECT_EQ(*size->Find("height"), EncodableValue(720.0));
  const auto resized = FrameOf(player, player.id, [](const TextureFrame& f) { return f.width == 1280; });
  ASSERT_TRUE(resized);
  EXPECT_EQ(resized->height, 720u);
  EXPECT_TRUE(IsOpaqueRed(*resized));
  EXPECT_EQ(log.Count("CorvanePlugin: Creating new surface/texture\n"), 2u);
}

TEST_F(PlayerFramesTest, Close_NullsBothTextures_UntilTheNextSourceDrawsAgain) {
  Player player = CreateListening();
  ASSERT_TRUE(Call("setShowSubtitle", IdAndValue(player.id, EncodableValue(true))).IsSuccess());
  OpenLoaded(player);
  ASSERT_TRUE(FrameOf(player, player.id, IsOpaqueRed));
  ASSERT_TRUE(FrameOf(player, player.subId, [](const TextureFrame&) { return true; }));

  ASSERT_TRUE(Call("close", EncodableValue(player.id)).IsSuccess());
  EXPECT_TRUE(FetchIsNull(player.id));
  EXPECT_TRUE(FetchIsNull(player.subId));

  // The same size again: the new source's first frame still shows.
  OpenLoaded(player, "/m/b.mp4");
  const auto again = FrameOf(player, player.id, IsOpaqueRed);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->width, 640u);
}

TEST_F(PlayerFramesTest, Subtitles_AreOfferedOnlyWhileShown_AndNeverStale) {
  Player player = CreateListening();
  OpenLoaded(player);
  player.engine->Raise(kSubtitleFrameChanged);
  ASSERT_TRUE(engine->WaitIdle(5s));
  EXPECT_TRUE(FetchIsNull(player.subId)) << "hidden subtitles were offered";
  EXPECT_FALSE(player.engine->Called("RenderSubtitlesToSurface"));

  // Showing draws at once: the current cue needs no new notification.
  ASSERT_TRUE(Call("setShowSubtitle", IdAndValue(player.id, EncodableValue(true))).IsSuccess());
  const auto shown = host->engine().FetchTexture(player.subId);
  ASSERT_TRUE(shown && shown->HasPixels()) << "shown subtitles not offered";
  EXPECT_EQ(shown->width, 640u) << "the subtitle texture has the video's size";
  EXPECT_EQ(shown->PixelAt(320, 350), (std::array<uint8_t, 4>{255, 255, 255, 255})) << "the cue mark";
  EXPECT_EQ(shown->PixelAt(320, 10), (std::array<uint8_t, 4>{0, 0, 0, 0})) << "transparent elsewhere";

  ASSERT_TRUE(Call("setShowSubtitle", IdAndValue(player.id, EncodableValue(false))).IsSuccess());
  EXPECT_TRUE(FetchIsNull(player.subId));
  FakeScript noCue = player.engine->Script();
  noCue.subtitlesDrawn = false;
  player.engine->SetScript(noCue);
  ASSERT_TRUE(Call("setShowSubtitle", IdAndValue(player.id, EncodableValue(true))).IsSuccess());
  const auto cleared = host->engine().FetchTexture(player.subId);
  ASSERT_TRUE(cleared && cleared->HasPixels());
  EXPECT_EQ(cleared->PixelAt(320, 350), (std::array<uint8_t, 4>{0, 0, 0, 0})) << "a stale cue came back";
}

TEST_F(PlayerFramesTest, Dispose_WhileFramesArrive_StopsFrameWorkAndClosesTheEngine) {
  Player player = CreateListening();
  OpenLoaded(player);
  ASSERT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess());
  std::atomic<bool> stop{false};
  std::thread frames([&] {
    while (!stop && player.engine->Raise(kVideoFrameAvailable)) {
      player.engine->Raise(kPositionChanged);
      std::this_thread::sleep_for(200us);
    }
  });
  ASSERT_TRUE(host->engine().WaitForNewFrame(player.id, 5s));
  EXPECT_TRUE(Call("dispose", EncodableValue(player.id)).IsSuccess());
  EXPECT_TRUE(player.engine->IsClosed());
  const size_t copies = player.engine->Count("CopyFrameToVideoSurface");
  stop = true;
  frames.join();
  EXPECT_TRUE(engine->WaitIdle(5s));
  EXPECT_EQ(player.engine->Count("CopyFrameToVideoSurface"), copies) << "frame work ran after dispose";
  EXPECT_TRUE(Eventually([&] { return !host->engine().IsTextureRegistered(player.id); }));
}

TEST_F(PlayerFramesTest, Shutdown_WhileFramesAndEventsArrive_TearsEverythingDown) {
  Player first = CreateListening();
  Player second = CreateListening();
  OpenLoaded(first);
  OpenLoaded(second);
  std::atomic<bool> stop{false};
  std::thread frames([&] {
    while (!stop) {
      const bool a = first.engine->Raise(kVideoFrameAvailable) && first.engine->Raise(kPositionChanged);
      const bool b = second.engine->Raise(kVideoFrameAvailable) && second.engine->Raise(kBufferingStarted);
      if (!a && !b) break;
      std::this_thread::sleep_for(200us);
    }
  });
  ASSERT_TRUE(host->engine().WaitForNewFrame(first.id, 5s));
  host->Shutdown();
  stop = true;
  frames.join();
  EXPECT_TRUE(first.engine->IsClosed());
  EXPECT_TRUE(second.engine->IsClosed());
  EXPECT_TRUE(log.Has("CorvanePlugin: Global cleanup completed\n"));
}

}  // namespace
}  // namespace corvane::testing
