// The fakes behave as the adapter's tests assume: activation, QueryInterface
// with an older system's gaps, events reaching a weak delegate until its
// registration goes, track lists read through the ABI, and no object left
// alive once everything is released.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "fake_runtime.h"
#include "platform/hresult.h"
#include "platform/windows/event_subscription.h"
#include "platform/windows/runtime_activation.h"
#include "platform/windows/winrt_string.h"

namespace corvane::test {
namespace {

using namespace platform::winrt;
using namespace platform::winrt::fakes;

struct Listener {
  void OnMediaOpened(IMediaPlayer* sender, IInspectable*) {
    ++opened;
    last_sender = sender;
  }
  int opened = 0;
  IMediaPlayer* last_sender = nullptr;
};

EventRegistration ListenToMediaOpened(const ComRef<IMediaPlayer>& player, const std::shared_ptr<Listener>& listener) {
  return EventRegistration::Add(player, &IMediaPlayer::add_MediaOpened, &IMediaPlayer::remove_MediaOpened,
                                MakeWeakEventDelegate<IMediaPlayerEventHandler, &Listener::OnMediaOpened>(listener));
}

// Every test ends with as many fakes alive as it began with: the runtime and
// everything the test held are gone by TearDown.
class WinrtFakes : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(alive_before_, FakeObjectsAlive()); }

 private:
  const int alive_before_ = FakeObjectsAlive();
};

TEST_F(WinrtFakes, Player_RaisesToAWeakDelegateUntilItsRegistrationGoes_AndNothingOutlivesTheRuntime) {
  {
    FakeRuntime runtime;
    const ComRef<IMediaPlayer> player = ActivateAs<IMediaPlayer>(runtime, kRuntimeClassMediaPlayer);
    const ComRef<FakeMediaPlayer> fake = runtime.LastPlayer();
    ComRef<IMediaPlayer6> player6;
    ComRef<IMediaPlayerSource2> source_slot;
    EXPECT_EQ(platform::kOk, player.As(&player6));
    EXPECT_EQ(platform::kOk, player.As(&source_slot));

    auto listener = std::make_shared<Listener>();
    {
      EventRegistration opened = ListenToMediaOpened(player, listener);
      EXPECT_EQ(1u, fake->MediaOpenedEvent().Listeners());
      EXPECT_EQ(platform::kOk, fake->RaiseMediaOpened());
      EXPECT_EQ(1, listener->opened);
      EXPECT_EQ(player.get(), listener->last_sender);

      // Raised from inside the adapter's call, on its thread.
      FakeMediaPlayer* raw = fake.get();
      fake->SetDuringCall([raw](const char* method) {
        if (std::string(method) == "put_Source") raw->RaiseMediaOpened();
      });
      EXPECT_EQ(platform::kOk, source_slot->put_Source(nullptr));
      EXPECT_EQ(2, listener->opened);
    }
    EXPECT_EQ(0u, fake->MediaOpenedEvent().Listeners());
    EXPECT_EQ(1, fake->MediaOpenedEvent().Removes());
    EXPECT_EQ(platform::kOk, fake->RaiseMediaOpened());
    EXPECT_EQ(2, listener->opened);
    EXPECT_EQ(1, fake->CallCount("put_Source"));
    EXPECT_LT(0, FakeObjectsAlive());
  }
}

TEST_F(WinrtFakes, OlderSystem_LacksPlayer6AndRealTimePlayback_AndNoMediaFeaturePackLacksThePlayer) {
  FakeRuntime runtime;
  runtime.SetPlayerOptions({/*registered=*/true, /*mediaPlayer6=*/false,
                            /*realTimePlayback=*/false});
  const ComRef<IMediaPlayer> player = ActivateAs<IMediaPlayer>(runtime, kRuntimeClassMediaPlayer);
  ComRef<IMediaPlayer6> player6;
  EXPECT_EQ(platform::kNoInterface, player.As(&player6));
  ComRef<IMediaPlayer3> player3;
  ASSERT_EQ(platform::kOk, player.As(&player3));
  EXPECT_EQ(platform::kNotImplemented, player3->put_RealTimePlayback(1));

  runtime.SetPlayerOptions({/*registered=*/false, true, true});
  ComRef<IInspectable> none;
  EXPECT_EQ(kClassNotRegistered, runtime.ActivateInstance(kRuntimeClassMediaPlayer, none.Receive()));
  EXPECT_EQ(kClassNotRegistered, runtime.ActivateInstance(L"Windows.Media.Playback.Unknown", none.Receive()));
}

TEST_F(WinrtFakes, ItemFromUri_HandsTheTestsTracksThroughTheVectorViews) {
  FakeRuntime runtime;
  FakeTracks tracks;
  tracks.audio.push_back({"1", "de", "", "Deutsch", "AAC", 128000, 2, 48000});
  runtime.SetItemTracks(tracks);

  const ComRef<IUriRuntimeClass> uri = [&] {
    ComRef<IUriRuntimeClass> made;
    EXPECT_EQ(platform::kOk, FactoryOf<IUriRuntimeClassFactory>(runtime, kRuntimeClassUri)
                                 ->CreateUri(MakeHString("file:///clip.mp4").get(), made.Receive()));
    return made;
  }();
  ComRef<IMediaSource2> source;
  ASSERT_EQ(
      platform::kOk,
      FactoryOf<IMediaSourceStatics>(runtime, kRuntimeClassMediaSource)->CreateFromUri(uri.get(), source.Receive()));
  ComRef<IMediaPlaybackItem> item;
  ASSERT_EQ(platform::kOk, FactoryOf<IMediaPlaybackItemFactory>(runtime, kRuntimeClassMediaPlaybackItem)
                               ->Create(source.get(), item.Receive()));
  EXPECT_EQ("file:///clip.mp4", runtime.Sources().at(0)->Uri());

  ComRef<IVectorViewOfAudioTrack> audio;
  ASSERT_EQ(platform::kOk, item->get_AudioTracks(audio.Receive()));
  ComRef<IMediaTrack> track;
  ASSERT_EQ(platform::kOk, audio->GetAt(0, track.Receive()));
  HString language;
  ASSERT_EQ(platform::kOk, track->get_Language(language.Receive()));
  EXPECT_EQ("de", ReadHString(language.get()));
  EXPECT_EQ(platform::kBoundsError, audio->GetAt(1, track.Receive()));

  ComRef<ISingleSelectMediaTrackList> selection;
  ASSERT_EQ(platform::kOk, audio.As(&selection));
  EXPECT_EQ(platform::kOk, selection->put_SelectedIndex(-1));
  EXPECT_EQ(std::vector<int32_t>{-1}, runtime.LastItem()->AudioTracks()->SelectedIndicesSet());
}

TEST_F(WinrtFakes, RaisingOnOneThreadWhileHandlersComeAndGoOnAnother_KeepsTheCountsExact) {
  FakeRuntime runtime;
  const ComRef<IMediaPlayer> player = ActivateAs<IMediaPlayer>(runtime, kRuntimeClassMediaPlayer);
  const ComRef<FakeMediaPlayer> fake = runtime.LastPlayer();
  std::thread raiser([raw = fake.get()] {
    for (int i = 0; i < 2000; ++i) raw->RaiseMediaOpened();
  });
  for (int i = 0; i < 200; ++i) {
    auto listener = std::make_shared<Listener>();
    EventRegistration opened = ListenToMediaOpened(player, listener);
  }
  raiser.join();
  EXPECT_EQ(200, fake->MediaOpenedEvent().Adds());
  EXPECT_EQ(0u, fake->MediaOpenedEvent().Listeners());
}

}  // namespace
}  // namespace corvane::test
