// The frame path of one texture kind: texture reuse and recreation, the
// mutex handed to the host, closing, and what a failed creation leaves.
#include "render/frame_surface.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "plugin/fake_surface_device.h"

namespace corvane::render {
namespace {

using namespace std::chrono_literals;
using testing::FakeSurfaceDevice;
using testing::FillSurface;

void DrawRed(platform::VideoSurface& surface) { FillSurface(surface, 0, 0, 255, 255); }

class FrameSurfaceTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeSurfaceDevice> device = std::make_shared<FakeSurfaceDevice>();
  std::shared_ptr<FrameSurface> video = std::make_shared<FrameSurface>(SurfaceKind::Video, device);
  std::shared_ptr<FrameSurface> subtitle = std::make_shared<FrameSurface>(SurfaceKind::Subtitle, device);

  // Fetches and releases at once, returning a copy of the descriptor.
  std::optional<FlutterDesktopGpuSurfaceDescriptor> Fetch(FrameSurface& surface) {
    const FlutterDesktopGpuSurfaceDescriptor* descriptor = surface.ObtainDescriptor();
    if (descriptor == nullptr) return std::nullopt;
    FlutterDesktopGpuSurfaceDescriptor copy = *descriptor;
    descriptor->release_callback(descriptor->release_context);
    return copy;
  }
};

TEST_F(FrameSurfaceTest, OffersNothing_BeforeTheFirstSizeAndFrame) {
  EXPECT_FALSE(Fetch(*video));
  EXPECT_EQ(video->Render(DrawRed), FrameOutcome::NoWantedSize);
  EXPECT_FALSE(Fetch(*video));
  EXPECT_EQ(device->texturesCreated, 0);
}

TEST_F(FrameSurfaceTest, ReusesTheTexture_WhileTheSizeHolds_AndRecreatesOnChange) {
  video->SetWantedSize(1280, 720);
  ASSERT_EQ(video->Render(DrawRed), FrameOutcome::Drawn);
  const auto first = Fetch(*video);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->struct_size, 72u);
  EXPECT_EQ(first->format, kFlutterDesktopPixelFormatBGRA8888);
  EXPECT_EQ(first->visible_width, 1280u);
  EXPECT_EQ(first->visible_height, 720u);

  ASSERT_EQ(video->Render(DrawRed), FrameOutcome::Drawn);
  EXPECT_EQ(Fetch(*video)->handle, first->handle);
  EXPECT_EQ(device->texturesCreated, 1);

  video->SetWantedSize(1920, 1080);
  // Until the next frame the host still reads the old buffer at its own size.
  const auto between = Fetch(*video);
  EXPECT_EQ(between->handle, first->handle);
  EXPECT_EQ(between->visible_width, 1280u);
  EXPECT_EQ(between->width, 1920u);
  ASSERT_EQ(video->Render(DrawRed), FrameOutcome::Drawn);
  EXPECT_EQ(device->texturesCreated, 2);
  const auto resized = Fetch(*video);
  EXPECT_NE(resized->handle, first->handle);
  EXPECT_EQ(resized->visible_width, 1920u);
  EXPECT_EQ(resized->visible_height, 1080u);
}

TEST_F(FrameSurfaceTest, FailedCreation_KeepsTheOldBufferAndItsSize) {
  video->SetWantedSize(640, 360);
  ASSERT_EQ(video->Render(DrawRed), FrameOutcome::Drawn);
  const auto before = Fetch(*video);

  for (auto* failure : {&device->failTextures, &device->failSurfaces}) {
    SCOPED_TRACE(failure == &device->failTextures ? "texture" : "surface");
    video->SetWantedSize(1920, 1080);
    *failure = true;
    EXPECT_EQ(video->Render(DrawRed), FrameOutcome::CreationFailed);
    const auto after = Fetch(*video);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->handle, before->handle);
    EXPECT_EQ(after->visible_width, 640u);
    EXPECT_EQ(after->visible_height, 360u);
    // Later frames of that size draw into the old buffer rather than retry.
    const int created = device->texturesCreated;
    EXPECT_EQ(video->Render(DrawRed), FrameOutcome::Drawn);
    EXPECT_EQ(device->texturesCreated, created);
    *failure = false;
    video->SetWantedSize(640, 360);
    EXPECT_EQ(video->Render(DrawRed), FrameOutcome::Drawn);
  }
}

TEST_F(FrameSurfaceTest, Close_OffersNullUntilANewTexture_EvenAtTheSameSize) {
  video->SetWantedSize(320, 240);
  ASSERT_EQ(video->Render(DrawRed), FrameOutcome::Drawn);
  const auto old = Fetch(*video);
  video->Close();
  EXPECT_FALSE(Fetch(*video));
  EXPECT_FALSE(video->HasWantedSize());
  EXPECT_EQ(video->Render(DrawRed), FrameOutcome::NoWantedSize);

  video->SetWantedSize(320, 240);
  ASSERT_EQ(video->Render(DrawRed), FrameOutcome::Drawn);
  const auto fresh = Fetch(*video);
  ASSERT_TRUE(fresh);
  EXPECT_NE(fresh->handle, old->handle);
}

TEST_F(FrameSurfaceTest, Close_WaitsForTheHostsRelease) {
  video->SetWantedSize(64, 64);
  ASSERT_EQ(video->Render(DrawRed), FrameOutcome::Drawn);
  std::promise<void> fetched, releaseNow;
  std::thread raster([&] {
    const FlutterDesktopGpuSurfaceDescriptor* descriptor = video->ObtainDescriptor();
    fetched.set_value();
    releaseNow.get_future().wait();
    descriptor->release_callback(descriptor->release_context);
  });
  fetched.get_future().wait();
  auto closing = std::async(std::launch::async, [&] { video->Close(); });
  EXPECT_EQ(closing.wait_for(100ms), std::future_status::timeout) << "closed while the host read";
  releaseNow.set_value();
  EXPECT_EQ(closing.wait_for(5s), std::future_status::ready);
  raster.join();
}

TEST_F(FrameSurfaceTest, HeldDescriptor_OutlivesItsOwner) {
  video->SetWantedSize(8, 8);
  ASSERT_EQ(video->Render(DrawRed), FrameOutcome::Drawn);
  std::weak_ptr<FrameSurface> weak = video;
  const FlutterDesktopGpuSurfaceDescriptor* descriptor = video->ObtainDescriptor();
  ASSERT_NE(descriptor, nullptr);
  video.reset();  // the player goes while the raster thread still reads
  EXPECT_FALSE(weak.expired());
  EXPECT_EQ(descriptor->visible_width, 8u);
  descriptor->release_callback(descriptor->release_context);
  EXPECT_TRUE(weak.expired());
}

TEST_F(FrameSurfaceTest, Subtitle_IsOfferedOnlyWhileActive_AndNeverStale) {
  subtitle->SetWantedSize(32, 32);
  ASSERT_EQ(subtitle->Render(DrawRed), FrameOutcome::Drawn);
  EXPECT_FALSE(Fetch(*subtitle)) << "inactive";
  subtitle->SetActive(true);
  EXPECT_TRUE(Fetch(*subtitle));
  subtitle->SetActive(false);
  subtitle->SetActive(true);
  EXPECT_FALSE(Fetch(*subtitle)) << "the cue from before hiding must not show";
  EXPECT_EQ(subtitle->Render([](platform::VideoSurface&) {}), FrameOutcome::Drawn);
  EXPECT_TRUE(Fetch(*subtitle));
}

TEST_F(FrameSurfaceTest, Subtitle_ClearsAReusedTextureButNotANewOne) {
  subtitle->SetActive(true);
  subtitle->SetWantedSize(16, 16);
  ASSERT_EQ(subtitle->Render(DrawRed), FrameOutcome::Drawn);
  EXPECT_EQ(device->clears, 0);
  platform::PixelView seen{};
  ASSERT_EQ(subtitle->Render([&](platform::VideoSurface& surface) { seen = surface.Texture()->Pixels(); }),
            FrameOutcome::Drawn);
  EXPECT_EQ(device->clears, 1);
  EXPECT_EQ(seen.data[2], 0) << "the previous cue was cleared before drawing";
}

TEST_F(FrameSurfaceTest, Subtitle_SkipsTheClear_WithoutARenderTarget) {
  device->failRenderTargets = true;
  subtitle->SetActive(true);
  subtitle->SetWantedSize(16, 16);
  ASSERT_EQ(subtitle->Render(DrawRed), FrameOutcome::Drawn);
  EXPECT_EQ(subtitle->Render(DrawRed), FrameOutcome::Drawn);
  EXPECT_EQ(device->clears, 0);
}

TEST_F(FrameSurfaceTest, DropsFrames_WithoutADevice) {
  FrameSurface orphan(SurfaceKind::Video, nullptr);
  orphan.SetWantedSize(16, 16);
  EXPECT_EQ(orphan.Render(DrawRed), FrameOutcome::NoDevice);
  EXPECT_EQ(orphan.ObtainDescriptor(), nullptr);
}

TEST_F(FrameSurfaceTest, DrawFailure_IsReportedAndLeavesTheMutexFree) {
  video->SetWantedSize(16, 16);
  EXPECT_EQ(video->Render([](platform::VideoSurface&) { throw platform::hresult_error(platform::kFail); }),
            FrameOutcome::DrawFailed);
  EXPECT_EQ(video->Render(DrawRed), FrameOutcome::Drawn);
}

TEST_F(FrameSurfaceTest, ConcurrentFramesFetchesAndResizes_StayConsistent) {
  video->SetWantedSize(64, 48);
  std::atomic<bool> stop{false};
  std::atomic<int> inconsistent{0};
  std::thread engine([&] {
    while (!stop) video->Render(DrawRed);
  });
  std::thread raster([&] {
    while (!stop) {
      const FlutterDesktopGpuSurfaceDescriptor* descriptor = video->ObtainDescriptor();
      if (descriptor == nullptr) continue;
      const bool known = (descriptor->visible_width == 64 && descriptor->visible_height == 48) ||
                         (descriptor->visible_width == 128 && descriptor->visible_height == 96);
      if (!known || descriptor->handle == nullptr) ++inconsistent;
      descriptor->release_callback(descriptor->release_context);
    }
  });
  for (int i = 0; i < 200; ++i) {
    if (i % 2 == 0) {
      video->SetWantedSize(128, 96);
    } else {
      video->Close();
      video->SetWantedSize(64, 48);
    }
    std::this_thread::sleep_for(100us);
  }
  stop = true;
  engine.join();
  raster.join();
  EXPECT_EQ(inconsistent, 0);
}

}  // namespace
}  // namespace corvane::render
