// Decoded frames copied into memfd surfaces: the colour after a seek into
// each half of a red-then-blue clip, scaling to another size, and the
// frame notifications.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/player_probe.h"
#include "platform/surface_device.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

struct Bgra {
  int b, g, r, a;
};

class EngineFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVANE_REQUIRE_PLAYBACK_ELEMENTS();
    path_ = TestMediaPath("red_blue.mp4");
    if (path_.empty()) GTEST_SKIP() << "test media missing: red_blue.mp4";
    device_ = platform::CreateSharedMemoryDevice();
  }
  std::shared_ptr<platform::VideoSurface> Surface(uint32_t width, uint32_t height) {
    return device_->CreateSurface(device_->CreateTexture(width, height));
  }
  void OpenAndSeek(int64_t milliseconds) {
    probe_.Open(FileUri(path_));
    ASSERT_TRUE(probe_.WaitForEvent("MediaOpened", 1, 10s));
    SeekTo(milliseconds);
  }
  void SeekTo(int64_t milliseconds) {
    const int seeks = probe_.Count("SeekCompleted");
    const int frames = probe_.Count("VideoFrameAvailable");
    probe_.Session().Position(TimeSpan(milliseconds * 10'000));
    ASSERT_TRUE(probe_.WaitForEvent("SeekCompleted", seeks + 1, 5s));
    ASSERT_TRUE(probe_.WaitForEvent("VideoFrameAvailable", frames + 1, 5s)) << "the new preroll frame is offered";
  }
  static Bgra Centre(platform::VideoSurface& surface) {
    const auto pixels = surface.Texture()->Pixels();
    const uint8_t* p = pixels.data + (pixels.height / 2) * pixels.stride + (pixels.width / 2) * 4;
    return {p[0], p[1], p[2], p[3]};
  }
  std::string path_;
  std::shared_ptr<platform::SurfaceDevice> device_;
  PlayerProbe probe_;
};

TEST_F(EngineFrames, Copy_ShowsRed_InFirstSecond_AndBlue_InSecond) {
  OpenAndSeek(500);
  auto surface = Surface(160, 120);
  probe_.Player().CopyFrameToVideoSurface(*surface);
  Bgra pixel = Centre(*surface);
  EXPECT_GT(pixel.r, 200);
  EXPECT_LT(pixel.b, 60);
  EXPECT_EQ(pixel.a, 255);

  SeekTo(1500);
  probe_.Player().CopyFrameToVideoSurface(*surface);
  pixel = Centre(*surface);
  EXPECT_GT(pixel.b, 200);
  EXPECT_LT(pixel.r, 60);
  EXPECT_EQ(pixel.a, 255);
}

TEST_F(EngineFrames, FrameAvailable_OffersThePrerollFrame_OnceOpened) {
  probe_.Open(FileUri(path_));
  ASSERT_TRUE(probe_.WaitForEvent("MediaOpened", 1, 10s));
  ASSERT_TRUE(probe_.WaitForEvent("VideoFrameAvailable", 1, 3s)) << "no seek or play needed for the first frame";
  const auto names = probe_.Names();
  EXPECT_LT(std::find(names.begin(), names.end(), "NaturalVideoSizeChanged"),
            std::find(names.begin(), names.end(), "VideoFrameAvailable"))
      << "the size comes first, so the frame finds a texture of the right size";
  auto surface = Surface(160, 120);
  probe_.Player().CopyFrameToVideoSurface(*surface);
  EXPECT_GT(Centre(*surface).r, 200) << "the clip starts red";
}

TEST_F(EngineFrames, Copy_ScalesToSurfaceSize_AndKeepsFrameForLaterCopies) {
  OpenAndSeek(1500);
  auto large = Surface(640, 360);
  auto small = Surface(33, 17);
  probe_.Player().CopyFrameToVideoSurface(*large);
  probe_.Player().CopyFrameToVideoSurface(*small);
  // The same (newest) frame serves both copies.
  EXPECT_GT(Centre(*large).b, 200);
  EXPECT_GT(Centre(*small).b, 200);
  const auto pixels = large->Texture()->Pixels();
  const uint8_t* corner = pixels.data + (pixels.height - 1) * pixels.stride + (pixels.width - 1) * 4;
  EXPECT_GT(corner[0], 200) << "the whole surface is covered, not only the frame's size";
}

TEST_F(EngineFrames, Copy_Raises_ForClosedSurface) {
  OpenAndSeek(500);
  auto surface = Surface(160, 120);
  surface->Close();
  EXPECT_THROW(probe_.Player().CopyFrameToVideoSurface(*surface), platform::hresult_error);
}

TEST_F(EngineFrames, FrameAvailable_IsRaisedWhilePlaying_AndStopsWhenFrameServerIsOff) {
  OpenAndSeek(0);
  probe_.Player().Play();
  // 25 fps for about a second; notifications may merge frames, never vanish.
  ASSERT_TRUE(probe_.WaitForEvent("VideoFrameAvailable", 10, 3s));
  probe_.Player().IsVideoFrameServerEnabled(false);
  std::this_thread::sleep_for(150ms);
  const int count = probe_.Count("VideoFrameAvailable");
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(probe_.Count("VideoFrameAvailable"), count);
}

}  // namespace
}  // namespace corvane::testing
