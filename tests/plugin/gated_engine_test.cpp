// The player while an engine thread is held inside one of its handlers: a
// "seekTo" meeting the start seek of an opening source, a replaced source's
// media-opened step, a teardown while a task runs inline, and a frame
// handler that outlives the engine's bounded close.
#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "plugin/fake_engine_harness.h"

namespace corvane::testing {
namespace {

// Holds the first call of one engine operation until the test lets it go,
// so the test can act while an engine thread is inside the media-opened step.
class SeekGate {
 public:
  // A gate on `player` for the operation named `operation`; the player's
  // hook shares it, so it outlives the test body.
  static std::shared_ptr<SeekGate> On(FakeMediaPlayer& player, const std::string& operation) {
    auto gate = std::make_shared<SeekGate>();
    player.OnEnter([gate, operation](const std::string& name) {
      if (name == operation) gate->PassFirst();
    });
    return gate;
  }

  bool WaitReached() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, 5s, [&] { return reached_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  // Engine thread.
  void PassFirst() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (used_) return;
    used_ = true;
    reached_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, 5s, [&] { return released_; });
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool used_ = false, reached_ = false, released_ = false;
};

class GatedEngineTest : public FakeEngineTest {};

TEST_F(GatedEngineTest, SeekTo_WhileTheStartSeekIsUnderWay_IsNotOvertakenByIt) {
  Player player = CreateListening();
  const auto gate = SeekGate::On(*player.engine, "Position set");
  ASSERT_TRUE(Call("open", IdAndValue(player.id, EncodableValue("/m/a.mp4"))).IsSuccess());
  ASSERT_TRUE(gate->WaitReached()) << "the source never reached its start seek";
  auto seek = std::async(std::launch::async, [&] {
    return Call("seekTo", IdAnd(player.id, {{"position", EncodableValue(int64_t{5000})}}));
  });
  // Give the call time to reach the player before the start seek goes on.
  seek.wait_for(200ms);
  gate->Release();
  ASSERT_TRUE(seek.get().IsSuccess());
  ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 5s));
  ASSERT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));

  const std::vector<std::string> seeks = player.engine->Arguments("Position set");
  ASSERT_EQ(seeks.size(), 2u);
  EXPECT_EQ(seeks.front(), "0") << "the start seek";
  EXPECT_EQ(seeks.back(), "50000000") << "the start seek overtook Dart's seek";
  const auto names = Names(*player.events);
  const auto info = std::find(names.begin(), names.end(), "mediaInfo");
  EXPECT_LT(info - names.begin(), std::find(names.begin(), names.end(), "seekEnd") - names.begin());
}

TEST_F(GatedEngineTest, MediaOpenedStepOfAReplacedSource_LeavesTheNextSourcesStartAlone) {
  Player player = CreateListening();
  const auto gate = SeekGate::On(*player.engine, "NaturalDuration get");
  ASSERT_TRUE(Call("open", IdAndValue(player.id, EncodableValue("/m/a.mp4"))).IsSuccess());
  ASSERT_TRUE(gate->WaitReached()) << "the first source never reached its media-opened step";
  // The first source's step is still running when the second replaces it.
  FakeScript manual = player.engine->Script();
  manual.openOutcome = OpenOutcome::Manual;
  player.engine->SetScript(manual);
  ASSERT_TRUE(Call("open", IdAndValue(player.id, EncodableValue("/m/b.mp4"))).IsSuccess());
  gate->Release();
  ASSERT_TRUE(engine->WaitIdle(5s));
  ASSERT_TRUE(Call("seekTo", IdAnd(player.id, {{"position", EncodableValue(int64_t{5000})}})).IsSuccess());
  ASSERT_TRUE(player.engine->CompleteOpen());
  ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 5s));
  const std::vector<std::string> seeks = player.engine->Arguments("Position set");
  ASSERT_FALSE(seeks.empty());
  EXPECT_EQ(seeks.back(), "50000000") << "the start position stored for the second source was lost";
  EXPECT_EQ(std::count(seeks.begin(), seeks.end(), "0"), 0)
      << "the replaced source's step sought: " << ::testing::PrintToString(seeks);
}

TEST_F(GatedEngineTest, Shutdown_WhileATaskRunsInlineOnAnEngineThread_DestroysThePlayerOnThePlatformThread) {
  // Tasks run inline, on the engine thread that raised them.
  host.reset();
  layer.withQueue = false;
  host = std::make_unique<PluginHarness>(layer);
  ASSERT_TRUE(host->Register());
  Player player = CreateListening();
  const auto gate = SeekGate::On(*player.engine, "Position get");
  ASSERT_TRUE(Call("open", IdAndValue(player.id, EncodableValue("/m/a.mp4"))).IsSuccess());
  // The engine thread is inside the media-opened pass, holding the player.
  ASSERT_TRUE(gate->WaitReached());
  std::thread releaser([gate] {
    std::this_thread::sleep_for(200ms);
    gate->Release();
  });
  host->Shutdown();  // frees the registrar: the player must be gone by then
  releaser.join();
  ASSERT_TRUE(engine->WaitIdle(5s));
  EXPECT_TRUE(player.engine->IsClosed());
  EXPECT_TRUE(log.Has("CorvanePlugin: Global cleanup completed\n"));
}

TEST_F(GatedEngineTest, FrameHandlerOutlastingTheClose_LeavesTheGoneTextureRegistrarAlone) {
  Player player = CreateListening();
  OpenLoaded(player);
  FakeScript impatient = player.engine->Script();
  impatient.closeWait = 50ms;
  player.engine->SetScript(impatient);
  const auto gate = SeekGate::On(*player.engine, "CopyFrameToVideoSurface");
  ASSERT_TRUE(player.engine->Raise(kVideoFrameAvailable));
  ASSERT_TRUE(gate->WaitReached()) << "the frame never reached its copy";
  // The close gives up on the held handler; the player, its textures and
  // then the host's texture registrar all go while the copy is held.
  player.events.reset();
  host.reset();
  EXPECT_TRUE(player.engine->IsClosed());
  gate->Release();
  // The late handler finishes its copy; telling the gone registrar about it
  // would be a use after free.
  ASSERT_TRUE(engine->WaitIdle(5s));
  EXPECT_EQ(player.engine->Count("CopyFrameToVideoSurface"), 1u);
}

}  // namespace
}  // namespace corvane::testing
