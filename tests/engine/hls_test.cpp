// HLS over the local HTTP server: the master playlist's variants as video
// tracks, and choosing one.
#include <gtest/gtest.h>

#include "engine/player_probe.h"
#include "platform/surface_device.h"
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

// The position is that of the picture shown. ffmpeg puts the transport
// stream's clock reference 0.7 s before the first picture, and positions
// timed from it ran that far ahead of the picture.
TEST(EngineHls, Position_IsThatOfThePictureShown) {
  const std::string missing = MissingElement({"souphttpsrc", "hlsdemux", "tsdemux"});
  if (!missing.empty()) GTEST_SKIP() << "GStreamer element missing: " << missing;
  if (TestMediaPath("hls_colours/index.m3u8").empty()) GTEST_SKIP() << "test media missing: hls_colours";
  TestHttpServer server(TestMediaDir());
  PlayerProbe probe;
  probe.Open(server.Url("hls_colours/index.m3u8"));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 15s));
  auto device = platform::CreateSharedMemoryDevice();
  auto surface = device->CreateSurface(device->CreateTexture(160, 120));
  // Red from 0 to 1 s, blue to 2 s, red to 3 s.
  auto redAt = [&](int64_t milliseconds) {
    EXPECT_TRUE(probe.WaitFor([&] { return probe.Session().Position() >= TimeSpan(milliseconds * 10'000); }, 5s));
    probe.Player().CopyFrameToVideoSurface(*surface);
    const auto pixels = surface->Texture()->Pixels();
    const uint8_t* centre = pixels.data + (pixels.height / 2) * pixels.stride + (pixels.width / 2) * 4;
    return centre[2] > 200 && centre[0] < 60;
  };
  probe.Player().Play();
  EXPECT_FALSE(redAt(1300)) << "blue at 1.3 s";
  EXPECT_TRUE(redAt(2300)) << "red again at 2.3 s";
  ASSERT_TRUE(probe.WaitForEvent("MediaEnded", 1, 5s));
  EXPECT_LE(probe.Session().Position(), probe.Session().NaturalDuration());
}

}  // namespace
}  // namespace corvane::testing
