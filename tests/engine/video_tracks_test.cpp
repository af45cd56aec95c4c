// A file with two video streams (two_video.mkv: stream 0 red 160x120,
// stream 1 blue 320x240): choosing the other stream shows it, at its size,
// paused or playing, and seeks and the end still come.
#include <gtest/gtest.h>

#include "engine/player_probe.h"
#include "platform/surface_device.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

constexpr TimeSpan kOneMs{10'000};

class EngineVideoTracks : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVANE_REQUIRE_PLAYBACK_ELEMENTS();
    const std::string path = TestMediaPath("two_video.mkv");
    if (path.empty()) GTEST_SKIP() << "test media missing: two_video.mkv";
    probe_.Open(FileUri(path));
    ASSERT_TRUE(probe_.WaitForEvent("MediaOpened", 1, 10s));
  }
  // Copies the newest frame into a surface of the stream's size; the colour
  // at its centre as {blue, red}.
  std::pair<int, int> CentreColour() {
    auto& session = probe_.Session();
    auto surface = device_->CreateSurface(device_->CreateTexture(session.NaturalVideoWidth(), session.NaturalVideoHeight()));
    probe_.Player().CopyFrameToVideoSurface(*surface);
    const auto pixels = surface->Texture()->Pixels();
    const uint8_t* p = pixels.data + (pixels.height / 2) * pixels.stride + (pixels.width / 2) * 4;
    return {p[0], p[2]};
  }
  // Whether the newest frame becomes blue (or red) within `timeout`.
  bool ShowsBlue(bool blue, std::chrono::milliseconds timeout) {
    return probe_.WaitFor([&] {
      const auto [b, r] = CentreColour();
      return blue ? (b > 200 && r < 60) : (r > 200 && b < 60);
    }, timeout);
  }
  std::shared_ptr<platform::SurfaceDevice> device_ = platform::CreateSharedMemoryDevice();
  PlayerProbe probe_;
};

TEST_F(EngineVideoTracks, SelectedIndex_WhilePaused_ShowsTheOtherStreamAtItsSize) {
  auto tracks = probe_.Player().Source()->VideoTracks();
  ASSERT_EQ(tracks->Size(), 2u);
  EXPECT_EQ(tracks->GetAt(1).GetEncodingProperties().Width(), 320u);
  EXPECT_EQ(probe_.Session().NaturalVideoWidth(), 160u);
  ASSERT_TRUE(ShowsBlue(false, 3s)) << "the first stream shows first";

  const int sizes = probe_.Count("NaturalVideoSizeChanged");
  tracks->SelectedIndex(1);
  EXPECT_EQ(tracks->SelectedIndex(), 1);
  ASSERT_TRUE(probe_.WaitForEvent("NaturalVideoSizeChanged", sizes + 1, 5s));
  EXPECT_EQ(probe_.Session().NaturalVideoWidth(), 320u);
  EXPECT_EQ(probe_.Session().NaturalVideoHeight(), 240u);
  EXPECT_TRUE(ShowsBlue(true, 3s)) << "the chosen stream's frame shows without playing";
}

TEST_F(EngineVideoTracks, SwitchesBetweenSeeks_AndWhilePlaying_KeepSeeksAndTheEndComing) {
  auto tracks = probe_.Player().Source()->VideoTracks();
  ASSERT_EQ(tracks->Size(), 2u);
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    tracks->SelectedIndex(round % 2 == 0 ? 1 : 0);
    probe_.Session().Position(kOneMs * (500 * round));
    ASSERT_TRUE(probe_.WaitForEvent("SeekCompleted", round + 1, 5s)) << "the seek never completed";
  }
  EXPECT_TRUE(ShowsBlue(false, 3s)) << "the last choice, the first stream";
  probe_.Player().Play();
  ASSERT_TRUE(probe_.WaitForEvent("PositionChanged", probe_.Count("PositionChanged") + 2, 3s));
  tracks->SelectedIndex(1);
  EXPECT_TRUE(ShowsBlue(true, 3s));
  EXPECT_TRUE(probe_.WaitForEvent("MediaEnded", 1, 8s));
  EXPECT_EQ(probe_.Count("MediaFailed"), 0);
}

}  // namespace
}  // namespace corvane::testing
