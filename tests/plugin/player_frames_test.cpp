// Frames that come before the player knows its size, redraws that the
// platform thread prompts, and players torn down while frames and events
// are in flight. Frames, sizes and subtitles on screen are covered end to
// end by tests/player_e2e, the texture rules by frame_surface_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "plugin/fake_engine_harness.h"

namespace corvane::testing {
namespace {

using embedder::TextureFrame;

class PlayerFramesTest : public FakeEngineTest {
 protected:
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

// The host may hold a texture's mutex for as long as it reads it: the
// platform thread must never wait for that, nor convert a frame.
TEST_F(PlayerFramesTest, RedrawsForANewSizeOrForSubtitlesShownAgain_RunOffThePlatformThread) {
  std::promise<std::thread::id> platformId;
  ASSERT_TRUE(host->engine().PostToPlatformThread([&] { platformId.set_value(std::this_thread::get_id()); }));
  const std::thread::id platformThread = platformId.get_future().get();
  struct Draws {
    std::mutex mutex;
    std::vector<std::thread::id> threads;
  };
  const auto draws = std::make_shared<Draws>();
  Player player = CreateListening();
  OpenLoaded(player);
  player.engine->OnEnter([draws](const std::string& operation) {
    if (operation != "CopyFrameToVideoSurface" && operation != "RenderSubtitlesToSurface") return;
    std::lock_guard<std::mutex> lock(draws->mutex);
    draws->threads.push_back(std::this_thread::get_id());
  });

  ASSERT_TRUE(player.engine->Raise(kVideoFrameAvailable));
  ASSERT_TRUE(Eventually([&] { return player.engine->Count("CopyFrameToVideoSurface") == 1; }));
  // A paused player shows its newest frame at the new size: drawn again.
  ASSERT_TRUE(player.engine->Raise(kNaturalVideoSizeChanged));
  ASSERT_TRUE(Call("setShowSubtitle", IdAndValue(player.id, EncodableValue(true))).IsSuccess());
  EXPECT_TRUE(Eventually([&] { return player.engine->Count("CopyFrameToVideoSurface") == 2; }));
  EXPECT_TRUE(Eventually([&] { return player.engine->Count("RenderSubtitlesToSurface") == 1; }));

  std::lock_guard<std::mutex> lock(draws->mutex);
  EXPECT_EQ(draws->threads.size(), 3u);
  EXPECT_EQ(std::count(draws->threads.begin(), draws->threads.end(), platformThread), 0);
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
