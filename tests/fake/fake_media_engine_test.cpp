// A smoke test of the scripted engine: the contract the player relies on
// (delivery off the caller's thread, re-entry, seek answers, quiet after a
// new source or Close) holds, so player tests can trust what they see.
#include "fake/fake_media_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;
using platform::kOk;

FakeScript TwoAudioTracks() {
  FakeScript script;
  script.media.audioTracks = {platform::AudioTrack{"English", "", "en", {"AAC", 128000, 2, 48000}},
                              platform::AudioTrack{"Deutsch", "", "de", {"OPUS", 64000, 2, 48000}}};
  script.media.selectedAudio = 0;
  script.media.duration = std::chrono::seconds(4);
  return script;
}

TEST(FakeMediaEngineTest, Open_RaisesMediaOpenedOnTheEngineThread_WithTracksAlreadyAttached) {
  FakeMediaEngine engine;
  engine.SetScript(TwoAudioTracks());
  auto player = engine.CreateMediaPlayer();
  std::promise<std::pair<std::thread::id, uint32_t>> opened;
  player->MediaOpened([&] {
    // Re-entry from a handler: reads and commands work without deadlock.
    auto item = player->Source();
    const uint32_t tracks = item->AudioTracks()->Size();
    item->AudioTracks()->SelectedIndex(1);
    player->PlaybackSession()->Position(platform::TimeSpan(20'000'000));
    opened.set_value({std::this_thread::get_id(), tracks});
    return kOk;
  });
  std::atomic<int> seeks{0};
  player->PlaybackSession()->SeekCompleted([&](const auto& sender) {
    EXPECT_EQ(sender, player->PlaybackSession());
    ++seeks;
    return kOk;
  });

  player->Source(std::make_shared<platform::MediaPlaybackItem>(platform::MediaSource::CreateFromUri("file:///a.mp4")));
  auto future = opened.get_future();
  ASSERT_EQ(future.wait_for(5s), std::future_status::ready);
  const auto [thread, tracks] = future.get();
  EXPECT_NE(thread, std::this_thread::get_id());
  EXPECT_EQ(tracks, 2u);
  ASSERT_TRUE(engine.WaitIdle(5s));
  EXPECT_EQ(seeks.load(), 1);

  auto fake = engine.LastPlayer();
  EXPECT_TRUE(fake->Called("Source set", "file:///a.mp4"));
  EXPECT_TRUE(fake->Called("AudioTracks.SelectedIndex set", "1"));
  EXPECT_TRUE(fake->Called("Position set", "20000000"));
  EXPECT_EQ(player->PlaybackSession()->NaturalDuration(), std::chrono::seconds(4));
}

TEST(FakeMediaEngineTest, NewSource_DropsWhatWasQueuedForTheOldOne) {
  FakeMediaEngine engine;
  auto player = engine.CreateMediaPlayer();
  auto fake = engine.LastPlayer();
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> ended{0};
  player->VideoFrameAvailable([&] {
    entered.set_value();
    released.wait();
    return kOk;
  });
  player->MediaEnded([&] {
    ++ended;
    return kOk;
  });
  player->Source(std::make_shared<platform::MediaPlaybackItem>(platform::MediaSource::CreateFromUri("file:///a")));
  ASSERT_TRUE(engine.WaitIdle(5s));
  // The engine thread is held while the end of the first source waits.
  ASSERT_TRUE(fake->Raise(kVideoFrameAvailable));
  ASSERT_EQ(entered.get_future().wait_for(5s), std::future_status::ready);
  ASSERT_TRUE(fake->Raise(kMediaEnded));
  player->Source(nullptr);
  release.set_value();
  ASSERT_TRUE(engine.WaitIdle(5s));
  EXPECT_EQ(ended.load(), 0);
}

TEST(FakeMediaEngineTest, Close_WaitsForARunningHandler_AndSilencesTheRest) {
  FakeMediaEngine engine;
  auto player = engine.CreateMediaPlayer();
  auto fake = engine.LastPlayer();
  std::promise<void> entered;
  std::atomic<bool> finished{false};
  std::atomic<int> ended{0};
  player->VideoFrameAvailable([&] {
    entered.set_value();
    std::this_thread::sleep_for(100ms);
    finished = true;
    return kOk;
  });
  player->MediaEnded([&] {
    ++ended;
    return kOk;
  });
  ASSERT_TRUE(fake->Raise(kVideoFrameAvailable));
  ASSERT_TRUE(fake->Raise(kMediaEnded));
  ASSERT_EQ(entered.get_future().wait_for(5s), std::future_status::ready);
  player->Close();
  EXPECT_TRUE(finished);
  ASSERT_TRUE(engine.WaitIdle(5s));
  EXPECT_EQ(ended.load(), 0);
  EXPECT_FALSE(fake->Raise(kMediaEnded));
}

TEST(FakeMediaEngineTest, ScriptedFailures_AndFrameCopies_ReachTheCaller) {
  FakeMediaEngine engine;
  engine.FailCreate(platform::kOutOfMemory);
  EXPECT_EQ(platform::ToHresult([&] { engine.CreateMediaPlayer(); }), platform::kOutOfMemory);
  engine.FailCreate(kOk);
  auto player = engine.CreateMediaPlayer();
  auto fake = engine.LastPlayer();
  fake->Fail("RealTimePlayback get", platform::kNoInterface);
  EXPECT_EQ(platform::ToHresult([&] { (void)player->RealTimePlayback(); }), platform::kNoInterface);

  auto device = platform::CreateSharedMemoryDevice();
  auto surface = device->CreateSurface(device->CreateTexture(4, 4));
  player->CopyFrameToVideoSurface(*surface);
  const uint8_t* pixel = surface->Texture()->Pixels().data;
  EXPECT_EQ(pixel[2], 0xFF);  // red
  EXPECT_EQ(pixel[3], 0xFF);
  surface->Close();
  EXPECT_EQ(platform::ToHresult([&] { player->CopyFrameToVideoSurface(*surface); }), platform::kObjectClosed);
  EXPECT_EQ(fake->Count("CopyFrameToVideoSurface"), 2u);
}

}  // namespace
}  // namespace corvane::testing
