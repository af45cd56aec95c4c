// Opening sources: what MediaOpened and MediaFailed report, for local
// files, network sources and things that are not media.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/player_probe.h"
#include "support/http_server.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;
using platform::kLiveDuration;

constexpr auto kOpenTimeout = 10s;

int64_t Milliseconds(TimeSpan time) { return time.count() / 10'000; }

TEST(EngineOpen, Open_ReportsDurationSizeAndTracks_WhenMediaOpenedIsRaised) {
  CORVANE_REQUIRE_PLAYBACK_ELEMENTS();
  CORVANE_REQUIRE_MEDIA(path, "h264_aac.mp4");
  PlayerProbe probe;
  // Everything MediaOpened promises must already hold inside the handler.
  int64_t durationMs = -1;
  uint32_t width = 0, height = 0, audioTracks = 0, videoTracks = 0;
  probe.OnEvent("MediaOpened", [&] {
    durationMs = Milliseconds(probe.Session().NaturalDuration());
    width = probe.Session().NaturalVideoWidth();
    height = probe.Session().NaturalVideoHeight();
    audioTracks = probe.Player().Source()->AudioTracks()->Size();
    videoTracks = probe.Player().Source()->VideoTracks()->Size();
  });
  probe.Open(FileUri(path));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, kOpenTimeout));
  EXPECT_NEAR(durationMs, 3000, 100);
  EXPECT_EQ(width, 320u);
  EXPECT_EQ(height, 240u);
  EXPECT_EQ(audioTracks, 1u);
  EXPECT_EQ(videoTracks, 1u);
  const auto names = probe.Names();
  const auto size = std::find(names.begin(), names.end(), "NaturalVideoSizeChanged");
  const auto opened = std::find(names.begin(), names.end(), "MediaOpened");
  EXPECT_LT(size, opened) << "the size is announced before the media counts as opened";
  EXPECT_EQ(probe.Count("MediaFailed"), 0);
}

TEST(EngineOpen, Open_AppliesPixelAspectRatio_ToNaturalSize) {
  CORVANE_REQUIRE_MEDIA(path, "anamorphic.mp4");
  PlayerProbe probe;
  probe.Open(FileUri(path));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, kOpenTimeout));
  EXPECT_EQ(probe.Session().NaturalVideoWidth(), 480u);
  EXPECT_EQ(probe.Session().NaturalVideoHeight(), 240u);
  // Track sizes are the coded size.
  EXPECT_EQ(probe.Player().Source()->VideoTracks()->GetAt(0).GetEncodingProperties().Width(), 360u);
}

TEST(EngineOpen, Open_AnnouncesSizeAgain_ForNextSourceOfSameSize) {
  CORVANE_REQUIRE_MEDIA(path, "video_only.mp4");
  PlayerProbe probe;
  probe.Open(FileUri(path));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, kOpenTimeout));
  probe.Open(FileUri(path));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 2, kOpenTimeout));
  EXPECT_EQ(probe.Count("NaturalVideoSizeChanged"), 2);
}

TEST(EngineOpen, Open_ReportsNoVideoSize_ForAudioOnlyMedia) {
  CORVANE_REQUIRE_MEDIA(path, "audio_only.m4a");
  PlayerProbe probe;
  probe.Open(FileUri(path));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, kOpenTimeout));
  EXPECT_EQ(probe.Count("NaturalVideoSizeChanged"), 0);
  EXPECT_EQ(probe.Session().NaturalVideoWidth(), 0u);
  EXPECT_EQ(probe.Player().Source()->VideoTracks()->Size(), 0u);
  EXPECT_EQ(probe.Player().Source()->AudioTracks()->Size(), 1u);
}

struct FailureCase {
  const char* name;
  MediaPlayerError expected;
};

class EngineOpenFailure : public ::testing::Test {
 protected:
  void ExpectFailure(const std::string& uri, MediaPlayerError expected) {
    PlayerProbe probe;
    probe.Open(uri);
    ASSERT_TRUE(probe.WaitForEvent("MediaFailed", 1, kOpenTimeout)) << uri;
    EXPECT_EQ(probe.LastError(), expected) << uri;
    EXPECT_EQ(probe.Count("MediaOpened"), 0);
    // A failed source stays failed: no late opening or second failure.
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(probe.Count("MediaFailed"), 1);
    EXPECT_EQ(probe.Count("MediaOpened"), 0);
  }
};

TEST_F(EngineOpenFailure, Open_ReportsSourceNotSupported_ForMissingFile) {
  ExpectFailure(FileUri("/nonexistent/corvane/missing.mp4"), MediaPlayerError::SourceNotSupported);
}

TEST_F(EngineOpenFailure, Open_ReportsSourceNotSupported_ForRandomBytes) {
  CORVANE_REQUIRE_MEDIA(path, "random.bin");
  ExpectFailure(FileUri(path), MediaPlayerError::SourceNotSupported);
}

TEST_F(EngineOpenFailure, Open_ReportsNetworkError_ForClosedPort) {
  const std::string missing = MissingElement({"souphttpsrc"});
  if (!missing.empty()) GTEST_SKIP() << "GStreamer element missing: " << missing;
  // A port we held and released a moment ago: nothing listens there.
  uint16_t port = 0;
  {
    TestHttpServer server(TestMediaDir());
    port = server.Port();
  }
  ExpectFailure("http://127.0.0.1:" + std::to_string(port) + "/h264_aac.mp4", MediaPlayerError::NetworkError);
}

TEST_F(EngineOpenFailure, Open_ReportsNetworkError_ForHttpNotFound) {
  const std::string missing = MissingElement({"souphttpsrc"});
  if (!missing.empty()) GTEST_SKIP() << "GStreamer element missing: " << missing;
  TestHttpServer server(TestMediaDir());
  ExpectFailure(server.Url("no-such-file.mp4"), MediaPlayerError::NetworkError);
}

TEST(EngineOpen, Open_OverHttp_ReportsDurationAndBufferedRanges) {
  const std::string missing = MissingElement({"souphttpsrc"});
  if (!missing.empty()) GTEST_SKIP() << "GStreamer element missing: " << missing;
  CORVANE_REQUIRE_MEDIA(path, "h264_aac.mp4");
  TestHttpServer server(TestMediaDir());
  PlayerProbe probe;
  probe.Open(server.Url("h264_aac.mp4"));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, kOpenTimeout));
  EXPECT_NEAR(Milliseconds(probe.Session().NaturalDuration()), 3000, 100);
  // Paused at the start, what has arrived lies ahead of the position.
  ASSERT_TRUE(probe.WaitFor(
      [&] {
        const auto ranges = probe.Session().GetBufferedRanges();
        return ranges.size() == 1 && ranges[0].start == TimeSpan(0) && ranges[0].end > TimeSpan(5'000'000);
      },
      5s));
  EXPECT_LE(probe.Session().GetBufferedRanges()[0].end, probe.Session().NaturalDuration());
}

TEST(EngineOpen, Open_ReportsLiveDuration_ForHttpWithoutLengthOrRanges) {
  const std::string missing = MissingElement({"souphttpsrc"});
  if (!missing.empty()) GTEST_SKIP() << "GStreamer element missing: " << missing;
  CORVANE_REQUIRE_MEDIA(path, "long.mp4");
  TestHttpServer::Options plain;
  plain.supportRanges = false;
  plain.sendContentLength = false;
  TestHttpServer server(TestMediaDir(), plain);
  PlayerProbe probe;
  // MP4 needs its index; a fragment-free file over a plain stream may not
  // open, so an MPEG-TS segment of the HLS set is the natural live-like case.
  CORVANE_REQUIRE_MEDIA(segment, "hls/v0_000.ts");
  probe.Open(server.Url("hls/v0_000.ts"));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, kOpenTimeout));
  EXPECT_EQ(probe.Session().NaturalDuration(), kLiveDuration);
  // A position set on such a source completes at once.
  probe.Session().Position(TimeSpan(10'000'000));
  EXPECT_TRUE(probe.WaitForEvent("SeekCompleted", 1, 2s));
}

}  // namespace
}  // namespace corvane::testing
