// Progressive download over HTTP from a local server: buffered ranges that
// grow as the file arrives, and buffering around a stall of the network.
#include <gtest/gtest.h>

#include <thread>

#include "engine/player_probe.h"
#include "support/http_server.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

class EngineNetwork : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = MissingElement({"souphttpsrc", "queue2"});
    if (!missing.empty()) GTEST_SKIP() << "GStreamer element missing: " << missing;
    if (TestMediaPath("long.mp4").empty()) GTEST_SKIP() << "test media missing: long.mp4";
  }
  static TimeSpan BufferedEnd(PlayerProbe& probe) {
    const auto ranges = probe.Session().GetBufferedRanges();
    return ranges.empty() ? TimeSpan(0) : ranges.back().end;
  }
};

TEST_F(EngineNetwork, BufferedRanges_RunAheadOfPlayback_AndMoveOn) {
  TestHttpServer::Options slow;
  slow.bytesPerSecond = 60 * 1024;  // about 4x the clip's bit rate
  TestHttpServer server(TestMediaDir(), slow);
  PlayerProbe probe;
  probe.Open(server.Url("long.mp4"));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 15s));
  probe.Player().Play();
  ASSERT_TRUE(probe.WaitFor([&] { return probe.Session().Position() > TimeSpan(10'000'000); }, 8s));
  const TimeSpan early = BufferedEnd(probe);
  EXPECT_GT(early, probe.Session().Position()) << "what has arrived reaches past the position";
  ASSERT_TRUE(probe.WaitFor([&] { return BufferedEnd(probe) > early + TimeSpan(15'000'000); }, 8s))
      << "the buffered end moves on as the file arrives and plays";
  EXPECT_GE(probe.Count("BufferedRangesChanged"), 2);
  for (const auto& range : probe.Session().GetBufferedRanges()) {
    EXPECT_LE(range.start, range.end);
    EXPECT_LE(range.end, probe.Session().NaturalDuration());
  }
}

TEST_F(EngineNetwork, BufferedRanges_CoverTheWholeLocalFile) {
  PlayerProbe probe;
  probe.Open(FileUri(TestMediaPath("long.mp4")));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 15s));
  const auto ranges = probe.Session().GetBufferedRanges();
  ASSERT_EQ(ranges.size(), 1u);
  EXPECT_EQ(ranges[0].start, TimeSpan(0));
  EXPECT_EQ(ranges[0].end, probe.Session().NaturalDuration());
}

TEST_F(EngineNetwork, Buffering_StartsAtAStall_AndEndsWhenDataFlowsAgain) {
  TestHttpServer::Options stalling;
  stalling.bytesPerSecond = 40 * 1024;
  stalling.stallAfterBytes = 120 * 1024;
  stalling.stallFor = 20000ms;  // until the test resumes it
  TestHttpServer server(TestMediaDir(), stalling);
  PlayerProbe probe;
  probe.Open(server.Url("long.mp4"));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 15s));
  probe.Player().Play();
  ASSERT_TRUE(probe.WaitForEvent("BufferingStarted", 1, 15s)) << "playback catches up with the stalled download";
  const TimeSpan stalledAt = probe.Session().Position();
  std::this_thread::sleep_for(300ms);
  EXPECT_LE(probe.Session().Position() - stalledAt, TimeSpan(2'000'000)) << "playback waits while buffering";
  server.ResumeStall();
  ASSERT_TRUE(probe.WaitForEvent("BufferingEnded", 1, 15s));
  EXPECT_TRUE(probe.WaitFor([&] { return probe.Session().Position() > stalledAt + TimeSpan(5'000'000); }, 5s))
      << "and goes on afterwards";
  EXPECT_EQ(probe.Count("MediaFailed"), 0);
}

TEST_F(EngineNetwork, Playback_ReportsNetworkError_WhenTheConnectionKeepsBreakingOff) {
  TestHttpServer::Options breaking;
  breaking.bytesPerSecond = 200 * 1024;
  breaking.breakAtOffset = 120 * 1024;  // the index and a few seconds, then never more
  TestHttpServer server(TestMediaDir(), breaking);
  PlayerProbe probe;
  probe.Open(server.Url("long.mp4"));
  probe.OnEvent("MediaOpened", [&] { probe.Player().Play(); });
  ASSERT_TRUE(probe.WaitForEvent("MediaFailed", 1, 30s));
  EXPECT_EQ(probe.LastError(), MediaPlayerError::NetworkError);
  EXPECT_EQ(probe.Count("MediaOpened"), 1) << "the index comes first: it fails while playing";
}

// A server that ignores Range and says nothing of ranges (as many simple and
// embedded servers do): each container opens and plays from the start, and
// seeks complete at once without moving, instead of failing the source.
TEST_F(EngineNetwork, ServerWithoutRanges_PlaysEveryContainer_AndSeeksCompleteAtOnce) {
  TestHttpServer::Options noRanges;
  noRanges.supportRanges = false;
  TestHttpServer server(TestMediaDir(), noRanges);
  for (const char* name : {"h264_aac.mp4", "tail_index.mp4", "multi.mkv", "clip.ts", "clip.webm", "tone.mp3"}) {
    SCOPED_TRACE(name);
    if (TestMediaPath(name).empty()) GTEST_SKIP() << "test media missing: " << name;
    PlayerProbe probe;
    probe.Open(server.Url(name));
    ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 15s)) << "error: " << static_cast<int>(probe.LastError());
    const TimeSpan before = probe.Session().Position();
    probe.Session().Position(TimeSpan(20'000'000));
    probe.Session().Position(TimeSpan(25'000'000));
    ASSERT_TRUE(probe.WaitForEvent("SeekCompleted", 2, 2s)) << "one completion per position set, at once";
    EXPECT_LE(probe.Session().Position(), before + TimeSpan(1'000'000)) << "the position did not move";
    probe.Player().Play();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (probe.Session().Position() < TimeSpan(10'000'000) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(50ms);
    }
    EXPECT_GE(probe.Session().Position(), TimeSpan(10'000'000)) << "it plays";
    EXPECT_EQ(probe.Count("MediaFailed"), 0);
  }
}

}  // namespace
}  // namespace corvane::testing
