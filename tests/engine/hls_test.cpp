// HLS over the local HTTP server: the master playlist's variants as video
// tracks, and choosing one.
#include <gtest/gtest.h>

#include "engine/player_probe.h"
#include "support/http_server.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

TEST(EngineHls, Variants_AreVideoTracks_AndSelectedIndexSwitchesBetweenThem) {
  const std::string missing = MissingElement({"souphttpsrc", "hlsdemux", "tsdemux"});
  if (!missing.empty()) GTEST_SKIP() << "GStreamer element missing: " << missing;
  if (TestMediaPath("hls/master.m3u8").empty()) GTEST_SKIP() << "test media missing: hls/master.m3u8";
  TestHttpServer server(TestMediaDir());
  PlayerProbe probe;
  // Pin the small variant as soon as the tracks are known.
  probe.OnEvent("MediaOpened", [&] { probe.Player().Source()->VideoTracks()->SelectedIndex(0); });
  probe.Open(server.Url("hls/master.m3u8"));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 15s));
  auto tracks = probe.Player().Source()->VideoTracks();
  ASSERT_EQ(tracks->Size(), 2u);
  EXPECT_EQ(tracks->GetAt(0).GetEncodingProperties().Width(), 320u);
  EXPECT_EQ(tracks->GetAt(0).GetEncodingProperties().Height(), 180u);
  EXPECT_EQ(tracks->GetAt(0).GetEncodingProperties().Bitrate(), 400400u);
  EXPECT_EQ(tracks->GetAt(1).GetEncodingProperties().Width(), 640u);
  EXPECT_EQ(tracks->GetAt(1).GetEncodingProperties().Bitrate(), 950400u);
  EXPECT_EQ(tracks->GetAt(1).GetEncodingProperties().Subtype(), "H264");
  EXPECT_NEAR(probe.Session().NaturalDuration().count(), 40'000'000, 2'000'000);

  probe.Player().Play();
  EXPECT_TRUE(probe.WaitFor([&] { return probe.Session().NaturalVideoWidth() == 320; }, 4s))
      << "the small variant plays from a fragment boundary on";
  tracks->SelectedIndex(1);
  EXPECT_EQ(tracks->SelectedIndex(), 1);
  EXPECT_TRUE(probe.WaitFor([&] { return probe.Session().NaturalVideoWidth() == 640; }, 4s))
      << "and the large one after switching";
  EXPECT_GE(probe.Count("NaturalVideoSizeChanged"), 2);
  EXPECT_EQ(probe.Count("MediaFailed"), 0);
}

}  // namespace
}  // namespace corvane::testing
