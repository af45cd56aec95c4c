// The Windows media engine adapter against fakes of the runtime, for the
// promises of media_engine.h that the runtime does not make by itself: its
// events come on its own threads, inside our calls, for replaced sources and
// after Close, and its seek completions come late, merged or twice.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fake_runtime.h"
#include "platform/debug_log.h"
#include "platform/media_engine.h"
#include "platform/surface_device.h"
#include "platform/thread_apartment.h"
#include "platform/windows/media/windows_media_player.h"
#include "support/eventually.h"

namespace corvane::test {
namespace {

using namespace std::chrono_literals;
using platform::hresult;
using platform::hresult_error;
using platform::MediaPlaybackItem;
using platform::MediaPlaybackSession;
using platform::TimeSpan;
namespace fakes = platform::winrt::fakes;
using platform::winrt::ComRef;

using corvane::testing::Eventually;

// One of our surfaces over a runtime surface, as the Direct3D device makes.
class RuntimeBackedSurface final : public platform::VideoSurface {
 public:
  explicit RuntimeBackedSurface(ComRef<fakes::FakeDirect3DSurface> native) : native_(std::move(native)) {}
  void Close() override {}
  bool IsClosed() const override { return false; }
  std::shared_ptr<platform::SharedTexture> Texture() const override { return nullptr; }
  void* NativeSurface() const override { return static_cast<platform::winrt::IDirect3DSurface*>(native_.get()); }

 private:
  const ComRef<fakes::FakeDirect3DSurface> native_;
};

class WindowsMediaPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override { Create(fakes::FakePlayerOptions{}); }
  void TearDown() override {
    if (player) player->Close();
    player.reset();
    session.reset();
    fake = nullptr;
    runtime.reset();
    // The engine thread closes the runtime's objects after Close returns.
    EXPECT_TRUE(Eventually([&] { return objectsBefore == fakes::FakeObjectsAlive(); })) << "runtime objects leaked";
    // The runtime wants each caller in an apartment. Besides the platform
    // thread (the test's) the engine thread calls it: seeks, the facts read
    // at opening, frame copies, the teardown after Close.
    const std::vector<std::string> outside = fakes::CallsOutsideAnApartment();
    EXPECT_EQ(std::vector<std::string>{}, std::vector<std::string>(outside.begin() + outsideBefore, outside.end()))
        << "runtime calls from threads in no apartment";
  }

  void Create(fakes::FakePlayerOptions options) {
    runtime->SetPlayerOptions(options);
    player = platform::windows::CreateWindowsMediaPlayer(runtime);
    fake = runtime->LastPlayer();
    session = player->PlaybackSession();
  }

  std::shared_ptr<MediaPlaybackItem> Item(const std::string& uri) {
    return std::make_shared<MediaPlaybackItem>(platform::MediaSource::CreateFromUri(uri));
  }

  // Sets a source and lets the runtime open it: seekable, 10 s.
  void Open(const std::string& uri = "file:///media/a.mp4") {
    auto opened = std::make_shared<std::atomic<bool>>(false);
    player->MediaOpened([opened] {
      *opened = true;
      return platform::kOk;
    });
    player->Source(Item(uri));
    fake->Session()->SetCanSeek(true);
    fake->Session()->SetNaturalDuration(TimeSpan(10s).count());
    fake->RaiseMediaOpened();
    ASSERT_TRUE(Eventually([&] { return opened->load(); }));
  }

  // Counts a notification of the session. Handlers outlive the test's
  // locals until TearDown closes the player, so the count is shared.
  std::shared_ptr<std::atomic<int>> Count(void (MediaPlaybackSession::*subscribe)(platform::SessionHandler)) {
    auto count = std::make_shared<std::atomic<int>>(0);
    (*session.*subscribe)([count](const std::shared_ptr<MediaPlaybackSession>&) {
      ++*count;
      return platform::kOk;
    });
    return count;
  }

  // The test's thread stands for the host's platform thread, which is in
  // an apartment.
  platform::ThreadApartment apartment;
  const int objectsBefore = fakes::FakeObjectsAlive();
  const size_t outsideBefore = fakes::CallsOutsideAnApartment().size();
  std::shared_ptr<fakes::FakeRuntime> runtime = std::make_shared<fakes::FakeRuntime>();
  std::shared_ptr<platform::MediaPlayer> player;
  std::shared_ptr<MediaPlaybackSession> session;
  ComRef<fakes::FakeMediaPlayer> fake;
};

TEST_F(WindowsMediaPlayerTest, EveryNotificationIsSubscribedOnce_AndCloseRemovesEveryToken_AndTheSource) {
  const auto& s = *fake->Session().get();
  const std::vector<std::pair<const char*, const fakes::FakeEvent<platform::winrt::IMediaPlayerEventHandler>*>>
      playerEvents = {{"MediaOpened", &fake->MediaOpenedEvent()},
                      {"MediaEnded", &fake->MediaEndedEvent()},
                      {"VideoFrameAvailable", &fake->VideoFrameAvailableEvent()},
                      {"SubtitleFrameChanged", &fake->SubtitleFrameChangedEvent()}};
  const std::vector<std::pair<const char*, const fakes::FakeMediaPlaybackSession::Event*>> sessionEvents = {
      {"NaturalVideoSizeChanged", &s.NaturalVideoSizeChangedEvent()}, {"PositionChanged", &s.PositionChangedEvent()},
      {"SeekCompleted", &s.SeekCompletedEvent()},         {"BufferingStarted", &s.BufferingStartedEvent()},
      {"BufferingEnded", &s.BufferingEndedEvent()},       {"BufferedRangesChanged", &s.BufferedRangesChangedEvent()},
      {"NaturalDurationChanged", &s.NaturalDurationChangedEvent()}};
  for (const auto& [name, event] : playerEvents) EXPECT_EQ(1, event->Adds()) << name;
  for (const auto& [name, event] : sessionEvents) EXPECT_EQ(1, event->Adds()) << name;
  EXPECT_EQ(1, fake->MediaFailedEvent().Adds());
  EXPECT_FALSE(fake->AutoPlay()) << "opening must not start playback";

  std::atomic<int> ended{0};
  player->MediaEnded([&ended] {
    ++ended;
    return platform::kOk;
  });
  player->Source(Item("file:///media/a.mp4"));
  player->Close();

  for (const auto& [name, event] : playerEvents) EXPECT_EQ(1, event->Removes()) << name;
  for (const auto& [name, event] : sessionEvents) EXPECT_EQ(1, event->Removes()) << name;
  EXPECT_EQ(1, fake->MediaFailedEvent().Removes());
  // Closed on the engine thread, which Close does not wait for.
  EXPECT_TRUE(Eventually([&] { return runtime->Sources().back()->CallCount("Close") == 1; }))
      << "the runtime's media source stays open";
  EXPECT_TRUE(Eventually([&] { return fake->CallCount("Close") == 1; }));
  EXPECT_EQ(platform::kOk, fake->RaiseMediaEnded());
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(0, ended.load()) << "a handler ran after Close";
}

// The runtime may raise an event while our call into it is still running,
// on the calling thread. The handler must not run there, inside the call
// (it would re-enter the player), but later on the engine thread, where it
// may call back in.
TEST_F(WindowsMediaPlayerTest, AnEventRaisedInsideOurCall_ReachesTheHandlerOnTheEngineThread) {
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<bool> onCaller{true};
  std::atomic<int> positions{0};
  session->PositionChanged([&](const std::shared_ptr<MediaPlaybackSession>& sender) {
    onCaller = std::this_thread::get_id() == caller;
    EXPECT_EQ(session, sender);
    player->Volume(0.5);  // calling back in does not deadlock
    ++positions;
    return platform::kOk;
  });
  fakes::FakeMediaPlaybackSession* fakeSession = fake->Session().get();
  std::atomic<int> seenInsideTheCall{-1};
  fake->SetDuringCall([&](const char* method) {
    if (std::string(method) != "Play") return;
    fakeSession->RaisePositionChanged();
    seenInsideTheCall = positions.load() > 0 && onCaller.load() ? 1 : 0;
  });
  player->Play();
  ASSERT_TRUE(Eventually([&] { return positions.load() == 1; }));
  EXPECT_EQ(0, seenInsideTheCall.load()) << "the handler ran inside the runtime's raise, on the caller's thread";
  EXPECT_FALSE(onCaller.load());
  EXPECT_DOUBLE_EQ(0.5, fake->Volume());
  fake->SetDuringCall(nullptr);
  player->Close();  // before the locals its handlers use
}

TEST_F(WindowsMediaPlayerTest, EventsOfAReplacedSource_AreNotRaised) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> blocking{false};
  session->BufferingStarted([&](const std::shared_ptr<MediaPlaybackSession>&) {
    blocking = true;
    released.wait();
    return platform::kOk;
  });
  const auto positions = Count(&MediaPlaybackSession::PositionChanged);
  player->Source(Item("file:///media/a.mp4"));

  // The engine thread is held inside a handler of the first source while
  // the runtime raises another of its events, then the source is replaced.
  fake->Session()->RaiseBufferingStarted();
  ASSERT_TRUE(Eventually([&] { return blocking.load(); }));
  fake->Session()->RaisePositionChanged();
  std::thread replace([&] {
    platform::ThreadApartment apartment;  // as the platform thread is
    player->Source(Item("file:///media/b.mp4"));
  });
  std::this_thread::sleep_for(50ms);
  release.set_value();
  replace.join();

  fake->Session()->RaisePositionChanged();  // of the new source
  ASSERT_TRUE(Eventually([&] { return positions->load() >= 1; }));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(1, positions->load()) << "the first source's position was raised after it was replaced";
  EXPECT_EQ(1, runtime->Sources().front()->CallCount("Close")) << "the replaced media source stays open";
  player->Close();  // before the locals its handlers use
}

TEST_F(WindowsMediaPlayerTest, EachPositionSet_CompletesOnce_WhenTheRuntimeAnswersLateOrTwice) {
  Open();
  const auto completed = Count(&MediaPlaybackSession::SeekCompleted);
  const auto positionsSet = [&] { return fake->Session()->PositionsSet(); };

  session->Position(TimeSpan(1s));
  ASSERT_TRUE(Eventually([&] { return positionsSet().size() == 1; }));
  // A second seek while the first is under way waits for it, and is what
  // the player reads meanwhile.
  session->Position(TimeSpan(2s));
  EXPECT_EQ(TimeSpan(2s), session->Position());
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(1u, positionsSet().size()) << "two seeks were sent at once";

  fake->Session()->RaiseSeekCompleted();  // the first, late: superseded
  ASSERT_TRUE(Eventually([&] { return positionsSet().size() == 2; }));
  EXPECT_EQ(TimeSpan(2s).count(), positionsSet().back());
  EXPECT_EQ(0, completed->load());
  fake->Session()->RaiseSeekCompleted();
  ASSERT_TRUE(Eventually([&] { return completed->load() == 2; }));

  // The runtime answering once more completes nothing more.
  const auto positions = Count(&MediaPlaybackSession::PositionChanged);
  fake->Session()->RaiseSeekCompleted();
  fake->Session()->RaisePositionChanged();
  ASSERT_TRUE(Eventually([&] { return positions->load() >= 1; }));
  EXPECT_EQ(2, completed->load());

  // Before a source opens a seek waits; on media that cannot seek it
  // completes at once.
  player->Source(Item("file:///media/live.ts"));
  session->Position(TimeSpan(3s));
  fake->Session()->SetCanSeek(false);
  fake->RaiseMediaOpened();
  ASSERT_TRUE(Eventually([&] { return completed->load() == 3; }));
  EXPECT_EQ(2u, positionsSet().size());
}

// Media whose length is unknown when it opens, or grows (an event
// playlist), and media that can seek only later: a position set goes by
// what the runtime says at the time, not at opening.
TEST_F(WindowsMediaPlayerTest, APositionSet_GoesByTheDurationAndSeekingTheRuntimeReportsNow) {
  Open();  // seekable, 10 s
  const auto completed = Count(&MediaPlaybackSession::SeekCompleted);
  const auto positionsSet = [&] { return fake->Session()->PositionsSet(); };
  fake->Session()->SetNaturalDuration(TimeSpan(20s).count());
  fake->Session()->RaiseNaturalDurationChanged();
  session->Position(TimeSpan(15s));
  ASSERT_TRUE(Eventually([&] { return positionsSet().size() == 1; }));
  EXPECT_EQ(TimeSpan(15s).count(), positionsSet().back()) << "clamped to the duration read at opening";
  fake->Session()->RaiseSeekCompleted();
  ASSERT_TRUE(Eventually([&] { return completed->load() == 1; }));

  fake->Session()->SetCanSeek(false);
  session->Position(TimeSpan(3s));
  ASSERT_TRUE(Eventually([&] { return completed->load() == 2; }));
  EXPECT_EQ(1u, positionsSet().size()) << "a seek went to media that cannot seek now";
  fake->Session()->SetCanSeek(true);
  session->Position(TimeSpan(4s));
  ASSERT_TRUE(Eventually([&] { return positionsSet().size() == 2; }));
  EXPECT_EQ(TimeSpan(4s).count(), positionsSet().back());
}

// The runtime's player keeps its source when it refuses the next one, or
// refuses to let go of it: that source stays open until the player lets it
// go. Nothing opens for a refused source, so a position set then completes
// instead of waiting for an opening.
TEST_F(WindowsMediaPlayerTest, ARefusedSource_RaisesItsCode_LeavesTheHeldSourceOpen_AndPositionsSetForItComplete) {
  const auto completed = Count(&MediaPlaybackSession::SeekCompleted);
  player->Source(Item("file:///media/a.mp4"));
  const ComRef<fakes::FakeMediaSource> held = runtime->Sources().back();
  fake->SetSourceAnswer(platform::kInvalidArgument);
  try {
    player->Source(Item("file:///media/b.mp4"));
    ADD_FAILURE() << "the refused source was taken";
  } catch (const hresult_error& error) {
    EXPECT_EQ(platform::kInvalidArgument, error.code());
  }
  session->Position(TimeSpan(1s));
  ASSERT_TRUE(Eventually([&] { return completed->load() == 1; }));
  EXPECT_TRUE(fake->Session()->PositionsSet().empty());
  EXPECT_THROW(player->Source(nullptr), hresult_error) << "clearing the source";
  EXPECT_EQ(0, held->CallCount("Close")) << "the source the runtime holds was closed";

  fake->SetSourceAnswer(platform::kOk);
  player->Source(nullptr);
  EXPECT_EQ(1, held->CallCount("Close")) << "the source the runtime let go of stays open";
}

TEST_F(WindowsMediaPlayerTest, FramesAndSubtitles_AreCopiedIntoTheSurfacesRuntimeObject) {
  auto native = fakes::MakeFake<fakes::FakeDirect3DSurface>();
  RuntimeBackedSurface surface(native);
  std::atomic<int> copies{0};
  player->VideoFrameAvailable([&] {
    player->CopyFrameToVideoSurface(surface);
    ++copies;
    return platform::kOk;
  });
  fake->SetSubtitlesDrawn(true);
  std::atomic<bool> drawn{false};
  player->SubtitleFrameChanged([&] {
    drawn = player->RenderSubtitlesToSurface(surface);
    return platform::kOk;
  });
  player->Source(Item("file:///media/a.mp4"));
  fake->RaiseVideoFrameAvailable();
  fake->RaiseSubtitleFrameChanged();
  ASSERT_TRUE(Eventually([&] { return copies.load() == 1 && drawn.load(); }));
  EXPECT_EQ(std::vector<platform::winrt::IDirect3DSurface*>{native.get()}, fake->FrameCopies());
  EXPECT_EQ(std::vector<platform::winrt::IDirect3DSurface*>{native.get()}, fake->SubtitleRenders());

  // A surface of ours without a runtime surface (another device's).
  class Bare final : public platform::VideoSurface {
    void Close() override {}
    bool IsClosed() const override { return false; }
    std::shared_ptr<platform::SharedTexture> Texture() const override { return nullptr; }
  } bare;
  EXPECT_THROW(player->CopyFrameToVideoSurface(bare), hresult_error);
  player->Close();  // before the locals its handlers use
}

// The engine thread stalls (a copy waiting for the host to release a
// texture, a slow runtime call) while the runtime offers frame after frame:
// afterwards each surface gets one copy, of the newest frame, and a seek
// completion that came behind the burst is raised before those copies.
TEST_F(WindowsMediaPlayerTest, AFrameBurst_DuringAStall_CopiesOncePerSurface_AfterTheSeekCompletionBehindIt) {
  Open();
  auto native = fakes::MakeFake<fakes::FakeDirect3DSurface>();
  RuntimeBackedSurface surface(native);
  player->VideoFrameAvailable([&] {
    player->CopyFrameToVideoSurface(surface);
    return platform::kOk;
  });
  player->SubtitleFrameChanged([&] {
    player->RenderSubtitlesToSurface(surface);
    return platform::kOk;
  });
  const auto copies = [&] { return fake->FrameCopies().size() + fake->SubtitleRenders().size(); };
  std::atomic<int> copiesBeforeCompletion{-1};
  session->SeekCompleted([&](const std::shared_ptr<MediaPlaybackSession>&) {
    copiesBeforeCompletion = static_cast<int>(copies());
    return platform::kOk;
  });
  session->Position(TimeSpan(1s));
  ASSERT_TRUE(Eventually([&] { return fake->Session()->PositionsSet().size() == 1; }));

  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> stalled{false};
  session->BufferingStarted([&](const std::shared_ptr<MediaPlaybackSession>&) {
    stalled = true;
    released.wait();
    return platform::kOk;
  });
  fake->Session()->RaiseBufferingStarted();
  ASSERT_TRUE(Eventually([&] { return stalled.load(); }));
  for (int i = 0; i < 100; ++i) {
    fake->RaiseVideoFrameAvailable();
    fake->RaiseSubtitleFrameChanged();
  }
  fake->Session()->RaiseSeekCompleted();
  release.set_value();

  ASSERT_TRUE(Eventually([&] { return copiesBeforeCompletion.load() >= 0 && copies() >= 2; }));
  std::this_thread::sleep_for(20ms);  // room for a wrong further copy
  EXPECT_EQ(0, copiesBeforeCompletion.load()) << "the seek completion waited behind the frames";
  EXPECT_EQ(1u, fake->FrameCopies().size());
  EXPECT_EQ(1u, fake->SubtitleRenders().size());
  player->Close();  // before the locals its handlers use
}

TEST_F(WindowsMediaPlayerTest, OnOlderSystems_SubtitleSurfacesAndRealTimePlaybackFail_AsTheCallerExpects) {
  player->Close();
  fakes::FakePlayerOptions older;
  older.mediaPlayer6 = false;
  older.realTimePlayback = false;
  Create(older);
  EXPECT_EQ(0, fake->SubtitleFrameChangedEvent().Adds());
  auto native = fakes::MakeFake<fakes::FakeDirect3DSurface>();
  RuntimeBackedSurface surface(native);
  EXPECT_THROW(player->RenderSubtitlesToSurface(surface), hresult_error);
  EXPECT_THROW(player->RealTimePlayback(true), hresult_error);
  // The rest still works: frame server, command manager, volume.
  player->IsVideoFrameServerEnabled(true);
  player->CommandManager()->IsEnabled(false);
  player->Volume(0.25);
  EXPECT_TRUE(fake->FrameServerEnabled());
  EXPECT_FALSE(fake->CommandManager()->IsEnabled());
  EXPECT_DOUBLE_EQ(0.25, fake->Volume());
}

TEST_F(WindowsMediaPlayerTest, MediaFailed_CarriesTheRuntimesError_AndCompletesSeeksOwed) {
  const auto completed = Count(&MediaPlaybackSession::SeekCompleted);
  auto failed = std::make_shared<std::promise<platform::MediaPlayerFailedEventArgs>>();
  player->MediaFailed([failed](const platform::MediaPlayerFailedEventArgs& args) {
    failed->set_value(args);
    return platform::kOk;
  });
  player->Source(Item("http://127.0.0.1:9/a.mp4"));
  session->Position(TimeSpan(5s));  // waits: the source is opening
  fake->RaiseMediaFailed(platform::winrt::MediaPlayerError::NetworkError, static_cast<hresult>(0x80072EE7),
                         "unreachable");
  auto future = failed->get_future();
  ASSERT_EQ(std::future_status::ready, future.wait_for(5s));
  const platform::MediaPlayerFailedEventArgs args = future.get();
  EXPECT_EQ(platform::MediaPlayerError::NetworkError, args.Error());
  EXPECT_EQ(static_cast<hresult>(0x80072EE7), args.ExtendedErrorCode());
  EXPECT_EQ("unreachable", args.ErrorMessage());
  ASSERT_TRUE(Eventually([&] { return completed->load() == 1; }));
}

// What the player can do without (AutoPlay off; frames, subtitles, sizes,
// positions, buffering, late durations) is only logged when the runtime
// refuses it. What it needs (a source opening, failing, ending, a seek
// completing) ends the creation with the runtime's code, leaving no handler.
TEST(WindowsMediaEngine, StartUpSteps_ThePlayerCanDoWithout_OnlyLog_TheOthersEndTheCreation) {
  const int objectsBefore = fakes::FakeObjectsAlive();
  auto runtime = std::make_shared<fakes::FakeRuntime>();
  fakes::FakePlayerOptions options;
  options.failingCalls = {"put_AutoPlay", "add_SubtitleFrameChanged", "add_NaturalDurationChanged"};
  runtime->SetPlayerOptions(options);
  std::atomic<int> failuresLogged{0};
  {
    platform::ScopedDebugLogObserver log([&](const std::string& line) {
      if (line.rfind("CorvanePlugin: Failed to", 0) == 0) ++failuresLogged;
    });
    platform::windows::CreateWindowsMediaPlayer(runtime)->Close();
  }
  EXPECT_EQ(static_cast<int>(options.failingCalls.size()), failuresLogged.load());
  EXPECT_EQ(1, runtime->LastPlayer()->MediaOpenedEvent().Adds());

  for (const char* required : {"add_MediaOpened", "add_MediaEnded", "add_MediaFailed", "add_SeekCompleted",
                               "add_VideoFrameAvailable", "add_PositionChanged", "add_NaturalVideoSizeChanged",
                               "add_BufferingStarted", "add_BufferingEnded", "add_BufferedRangesChanged"}) {
    options.failingCalls = {required};
    runtime->SetPlayerOptions(options);
    try {
      platform::windows::CreateWindowsMediaPlayer(runtime);
      ADD_FAILURE() << "a player was made without " << required;
    } catch (const hresult_error& error) {
      EXPECT_EQ(platform::kFail, error.code()) << required;
    }
    const ComRef<fakes::FakeMediaPlayer> fake = runtime->LastPlayer();
    EXPECT_EQ(0u, fake->MediaOpenedEvent().Listeners() + fake->MediaEndedEvent().Listeners() +
                      fake->MediaFailedEvent().Listeners() + fake->Session()->SeekCompletedEvent().Listeners())
        << required;
  }
  runtime.reset();
  // The engine threads close what the players made after Create returns.
  EXPECT_TRUE(Eventually([&] { return objectsBefore == fakes::FakeObjectsAlive(); })) << "runtime objects leaked";
}

TEST(WindowsMediaEngine, WithoutTheMediaPlayerClass_CreationRaisesTheActivationCode) {
  auto runtime = std::make_shared<fakes::FakeRuntime>();
  fakes::FakePlayerOptions missing;
  missing.registered = false;
  runtime->SetPlayerOptions(missing);
  try {
    platform::windows::CreateWindowsMediaPlayer(runtime);
    ADD_FAILURE() << "a player was made without the class";
  } catch (const hresult_error& error) {
    EXPECT_EQ(fakes::kClassNotRegistered, error.code());
  }
}

}  // namespace
}  // namespace corvane::test
