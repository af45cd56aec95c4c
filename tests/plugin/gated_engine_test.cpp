// The player while an engine thread is held inside one of its handlers: a
// "seekTo" meeting the start seek of an opening source, a replaced source's
// media-opened step, and a teardown while a task runs inline.
#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "plugin/fake_engine_harness.h"

namespace corvane::testing {
namespace {

using platform::TimeSpan;

// Holds the first call of one session operation until the test lets it go,
// so the test can act while an engine thread is inside the media-opened step.
class SeekGate {
 public:
  enum class At { PositionSet, PositionRead, DurationRead };
  explicit SeekGate(At at) : at(at) {}
  const At at;

  // Engine thread.
  void PassFirst() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (used_) return;
    used_ = true;
    reached_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, 5s, [&] { return released_; });
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
  std::mutex mutex_;
  std::condition_variable changed_;
  bool used_ = false, reached_ = false, released_ = false;
};

class GatedSession final : public platform::MediaPlaybackSession {
 public:
  GatedSession(std::shared_ptr<platform::MediaPlaybackSession> inner, std::shared_ptr<SeekGate> gate)
      : inner_(std::move(inner)), gate_(std::move(gate)) {}
  TimeSpan Position() const override {
    if (gate_->at == SeekGate::At::PositionRead) gate_->PassFirst();
    return inner_->Position();
  }
  void Position(TimeSpan value) override {
    if (gate_->at == SeekGate::At::PositionSet) gate_->PassFirst();
    inner_->Position(value);
  }
  double PlaybackRate() const override { return inner_->PlaybackRate(); }
  void PlaybackRate(double rate) override { inner_->PlaybackRate(rate); }
  TimeSpan NaturalDuration() const override {
    if (gate_->at == SeekGate::At::DurationRead) gate_->PassFirst();
    return inner_->NaturalDuration();
  }
  uint32_t NaturalVideoWidth() const override { return inner_->NaturalVideoWidth(); }
  uint32_t NaturalVideoHeight() const override { return inner_->NaturalVideoHeight(); }
  std::vector<platform::MediaTimeRange> GetBufferedRanges() const override { return inner_->GetBufferedRanges(); }
  void NaturalVideoSizeChanged(platform::SessionHandler h) override { inner_->NaturalVideoSizeChanged(std::move(h)); }
  void PositionChanged(platform::SessionHandler h) override { inner_->PositionChanged(std::move(h)); }
  void SeekCompleted(platform::SessionHandler h) override { inner_->SeekCompleted(std::move(h)); }
  void BufferingStarted(platform::SessionHandler h) override { inner_->BufferingStarted(std::move(h)); }
  void BufferingEnded(platform::SessionHandler h) override { inner_->BufferingEnded(std::move(h)); }
  void BufferedRangesChanged(platform::SessionHandler h) override { inner_->BufferedRangesChanged(std::move(h)); }

 private:
  const std::shared_ptr<platform::MediaPlaybackSession> inner_;
  const std::shared_ptr<SeekGate> gate_;
};

// The scripted player, with its session's position setter gated.
class GatedPlayer final : public platform::MediaPlayer {
 public:
  GatedPlayer(std::shared_ptr<platform::MediaPlayer> inner, std::shared_ptr<SeekGate> gate)
      : inner_(std::move(inner)), session_(std::make_shared<GatedSession>(inner_->PlaybackSession(), gate)) {}
  std::shared_ptr<platform::MediaPlaybackItem> Source() const override { return inner_->Source(); }
  void Source(std::shared_ptr<platform::MediaPlaybackItem> item) override { inner_->Source(std::move(item)); }
  void Play() override { inner_->Play(); }
  void Pause() override { inner_->Pause(); }
  double Volume() const override { return inner_->Volume(); }
  void Volume(double volume) override { inner_->Volume(volume); }
  bool RealTimePlayback() const override { return inner_->RealTimePlayback(); }
  void RealTimePlayback(bool value) override { inner_->RealTimePlayback(value); }
  bool IsVideoFrameServerEnabled() const override { return inner_->IsVideoFrameServerEnabled(); }
  void IsVideoFrameServerEnabled(bool enabled) override { inner_->IsVideoFrameServerEnabled(enabled); }
  std::shared_ptr<platform::MediaPlaybackCommandManager> CommandManager() override {
    return inner_->CommandManager();
  }
  void CopyFrameToVideoSurface(platform::VideoSurface& surface) override { inner_->CopyFrameToVideoSurface(surface); }
  bool RenderSubtitlesToSurface(platform::VideoSurface& surface) override {
    return inner_->RenderSubtitlesToSurface(surface);
  }
  void Close() override { inner_->Close(); }
  std::shared_ptr<platform::MediaPlaybackSession> PlaybackSession() const override { return session_; }
  void MediaOpened(platform::PlayerHandler h) override { inner_->MediaOpened(std::move(h)); }
  void MediaFailed(platform::FailedHandler h) override { inner_->MediaFailed(std::move(h)); }
  void MediaEnded(platform::PlayerHandler h) override { inner_->MediaEnded(std::move(h)); }
  void VideoFrameAvailable(platform::PlayerHandler h) override { inner_->VideoFrameAvailable(std::move(h)); }
  void SubtitleFrameChanged(platform::PlayerHandler h) override { inner_->SubtitleFrameChanged(std::move(h)); }

 private:
  const std::shared_ptr<platform::MediaPlayer> inner_;
  const std::shared_ptr<platform::MediaPlaybackSession> session_;
};

class GatedEngine final : public platform::MediaEngine {
 public:
  GatedEngine(std::shared_ptr<FakeMediaEngine> inner, std::shared_ptr<SeekGate> gate)
      : inner_(std::move(inner)), gate_(std::move(gate)) {}
  std::shared_ptr<platform::MediaPlayer> CreateMediaPlayer() override {
    return std::make_shared<GatedPlayer>(inner_->CreateMediaPlayer(), gate_);
  }

 private:
  const std::shared_ptr<FakeMediaEngine> inner_;
  const std::shared_ptr<SeekGate> gate_;
};

class GatedEngineTest : public FakeEngineTest {
 protected:
  void SetUp() override {}
  void StartHost(SeekGate::At at) {
    gate = std::make_shared<SeekGate>(at);
    layer.makeEngine = [inner = engine, gate = gate] { return std::make_shared<GatedEngine>(inner, gate); };
    layer.makeDevice = [] { return platform::CreateSharedMemoryDevice(); };
    host = std::make_unique<PluginHarness>(layer);
    ASSERT_TRUE(host->Register());
  }

  std::shared_ptr<SeekGate> gate;
};

TEST_F(GatedEngineTest, SeekTo_WhileTheStartSeekIsUnderWay_IsNotOvertakenByIt) {
  StartHost(SeekGate::At::PositionSet);
  Player player = CreateListening();
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
  StartHost(SeekGate::At::DurationRead);
  Player player = CreateListening();
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
  layer.withQueue = false;  // tasks run inline, on the engine thread that raised them
  StartHost(SeekGate::At::PositionRead);
  Player player = CreateListening();
  ASSERT_TRUE(Call("open", IdAndValue(player.id, EncodableValue("/m/a.mp4"))).IsSuccess());
  // The engine thread is inside the media-opened pass, holding the player.
  ASSERT_TRUE(gate->WaitReached());
  std::thread releaser([gate = gate] {
    std::this_thread::sleep_for(200ms);
    gate->Release();
  });
  host->Shutdown();  // frees the registrar: the player must be gone by then
  releaser.join();
  ASSERT_TRUE(engine->WaitIdle(5s));
  EXPECT_TRUE(player.engine->IsClosed());
  EXPECT_TRUE(log.Has("CorvanePlugin: Global cleanup completed\n"));
}

}  // namespace
}  // namespace corvane::testing
