// Threads and lifetime: where notifications run, handlers calling back in,
// closing at awkward moments, and sources replacing each other.
#include <gtest/gtest.h>

#include <atomic>

#include "engine/player_probe.h"
#include "platform/surface_device.h"
#include "support/http_server.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kBoundedClose = 3500ms;

// The file:// URI of a clip, or "" when the clip or an element to play it
// is missing (the test then skips).
std::string RequireUri(const char* name) {
  if (!MissingPlaybackElement().empty()) return "";
  const std::string path = TestMediaPath(name);
  return path.empty() ? std::string() : FileUri(path);
}

TEST(EngineThreads, Notifications_RunOffTheCallerThread_AndNeverInsideTheCall) {
  const std::string uri = RequireUri("h264_aac.mp4");
  if (uri.empty()) GTEST_SKIP() << "test media missing: h264_aac.mp4";
  PlayerProbe probe;
  std::atomic<bool> insideCall{false};
  std::atomic<int> raisedInsideCall{0};
  probe.OnEvent("SeekCompleted", [&] { raisedInsideCall += insideCall.load() ? 1 : 0; });
  probe.Open(uri);
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 10s));
  insideCall = true;
  probe.Session().Position(TimeSpan(5'000'000));
  insideCall = false;
  probe.Player().Play();
  ASSERT_TRUE(probe.WaitForEvent("SeekCompleted", 1, 5s));
  ASSERT_TRUE(probe.WaitForEvent("PositionChanged", 3, 5s));
  for (const auto& event : probe.Events()) {
    EXPECT_NE(event.thread, std::this_thread::get_id()) << event.name;
  }
  EXPECT_EQ(raisedInsideCall.load(), 0);
}

TEST(EngineThreads, Handlers_CallBackIntoPlayer_WithoutDeadlock) {
  const std::string uri = RequireUri("multi.mkv");
  if (uri.empty()) GTEST_SKIP() << "test media missing: multi.mkv";
  auto device = platform::CreateSharedMemoryDevice();
  auto surface = device->CreateSurface(device->CreateTexture(64, 48));
  std::atomic<int> reads{0};
  std::atomic<bool> seekedFromHandler{false};
  PlayerProbe probe;  // last: closed before what its handlers use goes
  probe.OnEvent("VideoFrameAvailable", [&] {
    probe.Player().CopyFrameToVideoSurface(*surface);
    (void)probe.Session().Position();
    ++reads;
  });
  probe.OnEvent("PositionChanged", [&] {
    auto item = probe.Player().Source();
    if (!item) return;
    auto audio = item->AudioTracks();
    if (audio->Size() == 3 && audio->SelectedIndex() == 0) audio->SelectedIndex(1);
    (void)probe.Session().GetBufferedRanges();
    if (!seekedFromHandler.exchange(true)) probe.Session().Position(TimeSpan(5'000'000));
  });
  probe.OnEvent("SubtitleFrameChanged", [&] { probe.Player().RenderSubtitlesToSurface(*surface); });
  probe.Open(uri);
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 10s));
  probe.Player().Source()->TimedMetadataTracks()->SetPresentationMode(
      0, platform::TimedMetadataTrackPresentationMode::PlatformPresented);
  probe.Player().Play();
  EXPECT_TRUE(probe.WaitForEvent("SeekCompleted", 1, 5s)) << "a seek made inside a handler completes";
  EXPECT_TRUE(probe.WaitFor([&] { return reads.load() >= 10; }, 5s));
  EXPECT_TRUE(probe.WaitFor([&] { return probe.Player().Source()->AudioTracks()->SelectedIndex() == 1; }, 2s));
}

TEST(EngineThreads, Close_WhilePlaying_ReturnsPromptly_AndSilencesHandlers) {
  const std::string uri = RequireUri("h264_aac.mp4");
  if (uri.empty()) GTEST_SKIP() << "test media missing: h264_aac.mp4";
  PlayerProbe probe;
  std::atomic<bool> closed{false};
  std::atomic<int> afterClose{0};
  for (const char* name : {"PositionChanged", "VideoFrameAvailable", "MediaEnded", "SeekCompleted"}) {
    probe.OnEvent(name, [&] { afterClose += closed.load() ? 1 : 0; });
  }
  probe.Open(uri);
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 10s));
  probe.Player().Play();
  ASSERT_TRUE(probe.WaitForEvent("VideoFrameAvailable", 3, 5s));
  probe.Session().Position(TimeSpan(10'000'000));  // a seek in flight too
  const auto start = std::chrono::steady_clock::now();
  probe.Player().Close();
  closed = true;
  EXPECT_LT(std::chrono::steady_clock::now() - start, kBoundedClose);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(afterClose.load(), 0);
  // A closed player answers reads and ignores commands.
  (void)probe.Session().Position();
  probe.Player().Play();
  probe.Session().Position(TimeSpan(0));
  EXPECT_THROW(probe.Open(uri), platform::hresult_error);
  EXPECT_NO_THROW(probe.Player().Source(nullptr)) << "clearing a closed player is harmless";
}

TEST(EngineThreads, Close_FromInsideNotification_StopsFurtherNotifications) {
  const std::string uri = RequireUri("h264_aac.mp4");
  if (uri.empty()) GTEST_SKIP() << "test media missing: h264_aac.mp4";
  PlayerProbe probe;
  std::atomic<bool> closed{false};
  probe.OnEvent("PositionChanged", [&] {
    if (!closed.exchange(true)) probe.Player().Close();
  });
  probe.Open(uri);
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 10s));
  probe.Player().Play();
  ASSERT_TRUE(probe.WaitFor([&] { return closed.load(); }, 5s));
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(probe.Count("PositionChanged"), 1) << "the closing handler was the last";
}

TEST(EngineThreads, DroppingPlayer_FromInsideNotification_IsSafe) {
  const std::string uri = RequireUri("h264_aac.mp4");
  if (uri.empty()) GTEST_SKIP() << "test media missing: h264_aac.mp4";
  std::atomic<bool> dropped{false};
  auto engine = platform::gst::CreateGstMediaEngine(platform::gst::EngineOptions{});
  UseSilentAudio();
  auto player = engine->CreateMediaPlayer();
  std::mutex mutex;
  std::shared_ptr<MediaPlayer> holder = player;
  player->MediaOpened([&] {
    // The last reference goes on the engine's own thread.
    std::lock_guard<std::mutex> lock(mutex);
    holder.reset();
    dropped = true;
    return platform::kOk;
  });
  player->Source(std::make_shared<platform::MediaPlaybackItem>(platform::MediaSource::CreateFromUri(uri)));
  player.reset();
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!dropped && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(dropped.load());
}

TEST(EngineThreads, ReplacedSource_RaisesNothingOfThePreviousOne) {
  const std::string first = RequireUri("h264_aac.mp4");
  const std::string second = RequireUri("video_only.mp4");
  if (first.empty() || second.empty()) GTEST_SKIP() << "test media missing: h264_aac.mp4 or video_only.mp4";
  PlayerProbe probe;
  probe.Open(first);
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 10s));
  probe.Player().Play();
  ASSERT_TRUE(probe.WaitForEvent("PositionChanged", 2, 5s));
  probe.Session().Position(TimeSpan(20'000'000));  // its completion belongs to the first source
  probe.Open(second);
  const size_t replacedAt = probe.Events().size();
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 2, 10s));
  std::this_thread::sleep_for(300ms);
  const auto events = probe.Events();
  for (size_t i = replacedAt; i < events.size(); ++i) {
    EXPECT_EQ(events[i].sourceNumber, 2u) << events[i].name << " raised while the second source was set";
    EXPECT_NE(events[i].name, "SeekCompleted") << "the first source's seek completion is dropped";
  }
  EXPECT_EQ(probe.Player().Source()->AudioTracks()->Size(), 0u) << "the second clip has no audio";
}

TEST(EngineThreads, ClearingSource_StopsNotifications_AndCompletesLaterSeeks) {
  const std::string uri = RequireUri("h264_aac.mp4");
  if (uri.empty()) GTEST_SKIP() << "test media missing: h264_aac.mp4";
  PlayerProbe probe;
  probe.Open(uri);
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 10s));
  probe.Player().Play();
  ASSERT_TRUE(probe.WaitForEvent("PositionChanged", 2, 5s));
  probe.Player().Source(nullptr);
  const int positions = probe.Count("PositionChanged");
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(probe.Count("PositionChanged"), positions);
  probe.Session().Position(TimeSpan(10'000'000));
  EXPECT_TRUE(probe.WaitForEvent("SeekCompleted", 1, 2s)) << "with no media a position set completes at once";
}

TEST(EngineThreads, Close_WhileASlowNetworkSourceOpens_ReturnsPromptly) {
  if (TestMediaPath("long.mp4").empty()) GTEST_SKIP() << "test media missing: long.mp4";
  const std::string missing = MissingElement({"souphttpsrc"});
  if (!missing.empty()) GTEST_SKIP() << "GStreamer element missing: " << missing;
  TestHttpServer::Options crawling;
  crawling.bytesPerSecond = 2 * 1024;  // the index alone takes seconds
  TestHttpServer server(TestMediaDir(), crawling);
  PlayerProbe probe;
  probe.Open(server.Url("long.mp4"));
  std::this_thread::sleep_for(300ms);
  const auto start = std::chrono::steady_clock::now();
  probe.Player().Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, kBoundedClose);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(probe.Count("MediaOpened"), 0);
  EXPECT_EQ(probe.Count("MediaFailed"), 0) << "closing is not a failure";
}

TEST(EngineThreads, SourceReplacedWhileOpening_OpensOnlyTheSecond) {
  const std::string first = RequireUri("multi.mkv");
  const std::string second = RequireUri("red_blue.mp4");
  if (first.empty() || second.empty()) GTEST_SKIP() << "test media missing: multi.mkv or red_blue.mp4";
  PlayerProbe probe;
  probe.Open(first);
  probe.Open(second);
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 10s));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(probe.Count("MediaOpened"), 1);
  EXPECT_EQ(probe.Session().NaturalVideoWidth(), 160u) << "the second clip's size";
  for (const auto& event : probe.Events()) EXPECT_EQ(event.sourceNumber, 2u) << event.name;
}

TEST(EngineThreads, ManyPlayers_OpenAndCloseConcurrently) {
  const std::string uri = RequireUri("video_only.mp4");
  if (uri.empty()) GTEST_SKIP() << "test media missing: video_only.mp4";
  std::vector<std::thread> threads;
  std::atomic<int> opened{0};
  for (int i = 0; i < 3; ++i) {
    threads.emplace_back([&] {
      PlayerProbe probe;
      probe.Open(uri);
      if (probe.WaitForEvent("MediaOpened", 1, 10s)) ++opened;
      probe.Player().Play();
      probe.WaitForEvent("VideoFrameAvailable", 3, 3s);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(opened.load(), 3);
}

}  // namespace
}  // namespace corvane::testing
