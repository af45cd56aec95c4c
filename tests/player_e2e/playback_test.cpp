// Playback as Dart drives it: frames and positions while playing, pause,
// seeks, speed, looping and the end of the media, failures of sources, and
// a network source whose download stalls.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "player_e2e/plugin_session.h"
#include "support/http_server.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

using embedder::StreamEvent;
using Clock = std::chrono::steady_clock;

class Playback : public PluginSession {
 protected:
  // A new player with `name` open and loaded; id -1 when the file is missing.
  DartPlayer Loaded(const char* name) {
    const std::string path = TestMediaPath(name);
    if (path.empty()) return DartPlayer{};
    DartPlayer player = Create();
    if (player.id < 0) return player;
    Open(player, std::filesystem::absolute(path).string());
    const auto info = WaitForAnyOf(*player.events, {"mediaInfo", "error"}, 10s);
    EXPECT_TRUE(info && info->Name() == "mediaInfo") << name;
    return player;
  }
  embedder::MethodResponse SeekTo(const DartPlayer& player, int64_t ms) {
    return CallWith(player.id, "seekTo", "position", EncodableValue(ms));
  }
};

#define REQUIRE_PLAYER(player, name)                                            \
  DartPlayer player = Loaded(name);                                             \
  if (TestMediaPath(name).empty()) GTEST_SKIP() << "test media missing: " << name; \
  ASSERT_GE(player.id, 0)

bool IsPositionAtLeast(const StreamEvent& event, int64_t ms) {
  return event.Name() == "position" && IntegerOf(event, "value") >= ms;
}

TEST_F(Playback, Play_ShowsEachFrameInTurn_ReportsRisingPositions_AndFinishesOnce) {
  REQUIRE_PLAYER(player, "red_blue.mp4");
  Play(player);
  EXPECT_TRUE(engine().WaitForFrame(player.id, IsRed, 5s)) << "the first second is red";
  EXPECT_TRUE(engine().WaitForFrame(player.id, IsBlue, 5s)) << "the second is blue";
  ASSERT_TRUE(player.events->WaitForEventNamed("finished", 5s));
  std::this_thread::sleep_for(300ms);

  const auto positions = Positions(*player.events);
  ASSERT_GE(positions.size(), 5u) << "positions are reported while playing";
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_EQ(std::adjacent_find(positions.begin(), positions.end()), positions.end()) << "no repeated position";
  EXPECT_GE(positions.back(), 1800);
  EXPECT_LE(positions.back(), 2000);
  const auto names = EventNames(*player.events);
  EXPECT_EQ(std::count(names.begin(), names.end(), "finished"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "loading"), 0) << "a local file never buffers";
  EXPECT_EQ(std::count(names.begin(), names.end(), "buffer"), 0);

  // After the end the player is paused; playing again starts over.
  Play(player);
  EXPECT_TRUE(player.events->WaitForEvent([](const StreamEvent& e) { return e.Name() == "position"; }, 5s));
  EXPECT_TRUE(engine().WaitForFrame(player.id, IsRed, 5s)) << "playing after the end starts over";
  EXPECT_TRUE(player.events->WaitForEventNamed("finished", 5s));
}

// A feed of clips on one player: the next source, opened while the last one
// plays, reports its positions too (the last one's pending report once
// ended the reports for good).
TEST_F(Playback, NextSource_OpenedWhilePlaying_ReportsItsPositions) {
  REQUIRE_PLAYER(player, "long.mp4");
  Play(player);
  ASSERT_TRUE(player.events->WaitForEvent([](const StreamEvent& e) { return IsPositionAtLeast(e, 300); }, 5s));
  // The same 20 s clip again, so that no end reports a position meanwhile.
  Open(player, std::filesystem::absolute(TestMediaPath("long.mp4")).string());
  ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 10s));
  Play(player);
  EXPECT_TRUE(player.events->WaitForEvent([](const StreamEvent& e) { return IsPositionAtLeast(e, 500); }, 5s));
}

// A speed chosen before the source opens applies once it has loaded; one
// chosen while playing applies at once.
TEST_F(Playback, Position_KeepsRealTime_AtTheChosenSpeed) {
  CORVANE_REQUIRE_MEDIA(path, "long.mp4");
  DartPlayer player = Create();
  ASSERT_GE(player.id, 0);
  ASSERT_TRUE(CallWith(player.id, "setSpeed", "value", EncodableValue(2.0)).IsSuccess());
  Open(player, std::filesystem::absolute(path).string());
  ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 10s));
  // Media time per wall time between the newest positions at two moments.
  auto rateOver = [&](std::chrono::milliseconds span) {
    const auto before = Positions(*player.events);
    const auto beforeAt = Clock::now();
    std::this_thread::sleep_for(span);
    const auto after = Positions(*player.events);
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - beforeAt).count();
    if (before.empty() || after.empty()) return 0.0;
    return static_cast<double>(after.back() - before.back()) / wall;
  };
  Play(player);
  ASSERT_TRUE(player.events->WaitForEventNamed("position", 3s));
  EXPECT_NEAR(rateOver(1500ms), 2.0, 0.3);
  ASSERT_TRUE(CallWith(player.id, "setSpeed", "value", EncodableValue(1.0)).IsSuccess());
  std::this_thread::sleep_for(300ms);
  EXPECT_NEAR(rateOver(1500ms), 1.0, 0.15);
  const auto names = EventNames(*player.events);
  EXPECT_EQ(std::count(names.begin(), names.end(), "seekEnd"), 0) << "a new speed is no seek";
}

TEST_F(Playback, Pause_StopsPositionsAndFrames_AndPlayGoesOnFromThere) {
  REQUIRE_PLAYER(player, "long.mp4");
  Play(player);
  ASSERT_TRUE(player.events->WaitForEvent([](const StreamEvent& e) { return IsPositionAtLeast(e, 1000); }, 5s));
  ASSERT_TRUE(Call("pause", EncodableValue(player.id)).IsSuccess());
  std::this_thread::sleep_for(300ms);  // what was under way settles
  const int64_t pausedAt = Positions(*player.events).back();
  const uint64_t marks = engine().FrameMarks(player.id);
  std::this_thread::sleep_for(700ms);
  EXPECT_EQ(Positions(*player.events).back(), pausedAt) << "no position moves while paused";
  EXPECT_EQ(engine().FrameMarks(player.id), marks) << "no frames while paused";

  Play(player);
  const auto next = player.events->WaitForEvent([](const StreamEvent& e) { return e.Name() == "position"; }, 3s);
  ASSERT_TRUE(next);
  EXPECT_GT(IntegerOf(*next, "value"), pausedAt);
  EXPECT_LT(IntegerOf(*next, "value"), pausedAt + 500) << "playing goes on where it paused";
}

TEST_F(Playback, Seek_EndsWithSeekEnd_AndShowsTheFrameThere_PausedOrPlaying) {
  REQUIRE_PLAYER(player, "red_blue.mp4");
  ASSERT_TRUE(engine().WaitForFrame(player.id, IsRed, 5s));
  const size_t before = player.events->History().size();
  ASSERT_TRUE(SeekTo(player, 1500).IsSuccess());
  ASSERT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
  EXPECT_TRUE(engine().WaitForFrame(player.id, IsBlue, 5s)) << "a paused seek shows the frame it landed on";
  // The new position is reported (in whichever order against "seekEnd").
  std::optional<int64_t> reported;
  for (auto deadline = Clock::now() + 2s; !reported && Clock::now() < deadline; std::this_thread::sleep_for(5ms)) {
    const auto history = player.events->History();
    for (size_t i = before; i < history.size(); ++i) {
      if (history[i].Name() == "position") reported = IntegerOf(history[i], "value");
    }
  }
  ASSERT_TRUE(reported) << "no position after the seek; events: " << ::testing::PrintToString(EventNames(*player.events));
  EXPECT_NEAR(*reported, 1500, 60);

  // Already there: answered at once, without asking the engine.
  ASSERT_TRUE(SeekTo(player, *reported).IsSuccess());
  EXPECT_TRUE(player.events->WaitForEventNamed("seekEnd", 1s));

  Play(player);
  ASSERT_TRUE(SeekTo(player, 200).IsSuccess());
  ASSERT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
  EXPECT_TRUE(engine().WaitForFrame(player.id, IsRed, 5s)) << "a seek back while playing shows red again";
  const auto after = player.events->WaitForEvent([](const StreamEvent& e) { return e.Name() == "position"; }, 2s);
  ASSERT_TRUE(after);
  EXPECT_LT(IntegerOf(*after, "value"), 1000);
}

TEST_F(Playback, Looping_StartsOverAtTheEnd_SendingFinishedEachTime) {
  REQUIRE_PLAYER(player, "red_blue.mp4");
  ASSERT_TRUE(CallWith(player.id, "setLooping", "value", EncodableValue(true)).IsSuccess());
  Play(player);
  for (int pass = 1; pass <= 2; ++pass) {
    SCOPED_TRACE(pass);
    ASSERT_TRUE(player.events->WaitForEventNamed("finished", 5s));
    const auto restarted = player.events->WaitForEvent(
        [](const StreamEvent& e) { return e.Name() == "position" && IntegerOf(e, "value") < 1000; }, 3s);
    EXPECT_TRUE(restarted) << "positions start over";
    EXPECT_TRUE(engine().WaitForFrame(player.id, IsRed, 3s));
  }
  ASSERT_TRUE(CallWith(player.id, "setLooping", "value", EncodableValue(false)).IsSuccess());
  ASSERT_TRUE(player.events->WaitForEventNamed("finished", 5s));
  std::this_thread::sleep_for(500ms);
  const size_t count = player.events->History().size();
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(player.events->History().size(), count) << "without looping the end is the end";
}

// A port nothing listens on: bound, then closed again.
uint16_t ClosedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

TEST_F(Playback, FailedSources_AreNamed_CloseThePlayer_AndTheNextSourcePlays) {
  CORVANE_REQUIRE_MEDIA(randomBytes, "random.bin");
  CORVANE_REQUIRE_MEDIA(good, "red_blue.mp4");
  TestHttpServer server(TestMediaDir());
  struct Case {
    std::string source;
    const char* error;
  };
  const Case cases[] = {
      {std::filesystem::absolute(randomBytes).string(), "SourceNotSupported"},
      {"http://127.0.0.1:" + std::to_string(ClosedPort()) + "/red_blue.mp4", "NetworkError"},
      {server.Url("no-such-file.mp4"), "NetworkError"},
  };
  DartPlayer player = Create();
  ASSERT_GE(player.id, 0);
  for (const Case& item : cases) {
    SCOPED_TRACE(item.source);
    Open(player, item.source);
    const auto outcome = WaitForAnyOf(*player.events, {"mediaInfo", "error"}, 15s);
    ASSERT_TRUE(outcome);
    ASSERT_EQ(outcome->Name(), "error");
    EXPECT_EQ(*outcome->Find("value"), EncodableValue(item.error));
    // Closed: play does nothing and its texture offers nothing.
    Play(player);
    std::this_thread::sleep_for(200ms);
    const auto frame = engine().FetchTexture(player.id);
    ASSERT_TRUE(frame);
    EXPECT_FALSE(frame->HasPixels());
  }
  const auto names = EventNames(*player.events);
  EXPECT_EQ(std::count(names.begin(), names.end(), "position"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), "finished"), 0);

  Open(player, std::filesystem::absolute(good).string());
  ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 10s));
  Play(player);
  EXPECT_TRUE(player.events->WaitForEventNamed("finished", 5s)) << "the player works again after failures";
}

// long.mp4 is about 19 KiB per second of media; the server sends 40 KiB/s
// and stops after 120 KiB until the test lets it go on.
TEST_F(Playback, RemoteSource_ReportsBufferAhead_AndLoadingAroundAStall) {
  CORVANE_REQUIRE_MEDIA(path, "long.mp4");
  TestHttpServer::Options stalling;
  stalling.bytesPerSecond = 40 * 1024;
  stalling.stallAfterBytes = 120 * 1024;
  stalling.stallFor = 20000ms;
  TestHttpServer server(TestMediaDir(), stalling);
  DartPlayer player = Create();
  ASSERT_GE(player.id, 0);
  const std::string url = server.Url("long.mp4");
  Open(player, url);
  const auto info = WaitForAnyOf(*player.events, {"mediaInfo", "error"}, 15s);
  ASSERT_TRUE(info);
  ASSERT_EQ(info->Name(), "mediaInfo");
  EXPECT_EQ(*info->Find("source"), EncodableValue(url));
  EXPECT_NEAR(static_cast<double>(IntegerOf(*info, "duration")), 20000, 200);

  Play(player);
  const auto started = player.events->WaitForEvent(
      [](const StreamEvent& e) { return e.Name() == "loading" && *e.Find("value") == EncodableValue(true); }, 20s);
  ASSERT_TRUE(started) << "playback catches up with the stalled download";
  server.ResumeStall();
  const auto ended = player.events->WaitForEvent(
      [](const StreamEvent& e) { return e.Name() == "loading" && *e.Find("value") == EncodableValue(false); }, 15s);
  ASSERT_TRUE(ended);
  const auto later = player.events->WaitForEvent([](const StreamEvent& e) { return e.Name() == "position"; }, 5s);
  EXPECT_TRUE(later) << "playback goes on after the stall";

  std::vector<std::pair<int64_t, int64_t>> buffers;
  for (const auto& event : player.events->History()) {
    if (event.Name() == "buffer") buffers.emplace_back(IntegerOf(event, "start"), IntegerOf(event, "end"));
  }
  ASSERT_GE(buffers.size(), 2u) << "the buffered end is reported as it moves";
  for (const auto& [start, end] : buffers) {
    EXPECT_LE(start, end);
    EXPECT_LE(end, 20100);
  }
  EXPECT_GT(buffers.back().second, buffers.front().second);
  EXPECT_EQ(player.events->WaitForEventNamed("error", 10ms), std::nullopt);
}

// The raster thread keeps each descriptor a while before it reads it, like
// a compositor whose frame is still on the GPU. Disposing the player then
// answers at once, without waiting for the descriptor, and the texture's
// memory stays until the descriptor comes back: the read after the hold
// finds the frame intact. The plugin serves on.
class DisposeWhileDrawn : public Playback {
 protected:
  DisposeWhileDrawn() {
    options_.descriptorHold = std::chrono::milliseconds(300);
    // Only the first mark is fetched at once; later ones would wait a
    // minute, so the raster thread is free for the fetch asked for below.
    options_.frameInterval = std::chrono::seconds(60);
  }
};

TEST_F(DisposeWhileDrawn, Dispose_AnswersWhileTheDescriptorIsOut_WhichStaysReadable_ThenTheNextPlayerPlays) {
  REQUIRE_PLAYER(player, "red_blue.mp4");
  ASSERT_TRUE(engine().WaitForFrame(player.id, IsRed, 5s)) << "the first frame never showed";
  std::shared_ptr<const embedder::TextureFrame> drawn;
  std::atomic<bool> fetched{false};
  std::thread raster([&] {
    drawn = engine().FetchTexture(player.id);
    fetched = true;
  });
  std::this_thread::sleep_for(100ms);  // the descriptor is out now
  const auto disposed = Call("dispose", EncodableValue(player.id));
  EXPECT_FALSE(fetched.load()) << "dispose waited for the descriptor";
  raster.join();
  EXPECT_TRUE(disposed.IsSuccess()) << disposed.Describe();
  ASSERT_TRUE(drawn);
  ASSERT_TRUE(drawn->HasPixels()) << drawn->problem;
  EXPECT_TRUE(IsRed(*drawn)) << "the texture was read after the hold, intact";

  REQUIRE_PLAYER(next, "red_blue.mp4");
  Play(next);
  EXPECT_TRUE(next.events->WaitForEventNamed("finished", 5s));
}

}  // namespace
}  // namespace corvane::testing
