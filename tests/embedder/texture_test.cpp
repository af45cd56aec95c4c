// Textures as the engine treats them: registration, fetches on the raster
// thread from shared memory, release callbacks, frame marks and the
// completion of unregistration.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <atomic>
#include <future>
#include <mutex>
#include <vector>

#include "engine_fixture.h"
#include "host/flutter_desktop.h"
#include "host/texture_registrar.h"

namespace corvane::embedder::testing {
namespace {

using ::testing::HasSubstr;
using Bgra = std::array<uint8_t, 4>;

constexpr Bgra kRed{0, 0, 255, 255};
constexpr Bgra kBlue{255, 0, 0, 255};
constexpr Bgra kGreen{0, 255, 0, 255};

// A memfd of BGRA pixels, the way a player shares its frames.
class SharedPixels {
 public:
  SharedPixels(size_t width, size_t height, Bgra fill) : width_(width), height_(height) {
    fd_ = memfd_create("embedder-test", MFD_CLOEXEC);
    EXPECT_GE(fd_, 0);
    EXPECT_EQ(ftruncate(fd_, static_cast<off_t>(Bytes())), 0);
    void* address = mmap(nullptr, Bytes(), PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    EXPECT_NE(address, MAP_FAILED);
    pixels_ = static_cast<uint8_t*>(address);
    for (size_t i = 0; i < width * height; ++i) SetPixel(i % width, i / width, fill);
  }
  ~SharedPixels() {
    munmap(pixels_, Bytes());
    if (fd_ >= 0) close(fd_);
  }
  SharedPixels(const SharedPixels&) = delete;
  SharedPixels& operator=(const SharedPixels&) = delete;

  void SetPixel(size_t x, size_t y, Bgra bgra) {
    std::copy(bgra.begin(), bgra.end(), pixels_ + (y * width_ + x) * 4);
  }
  // Leaves the fd open and no longer ours; the pixels stay mapped.
  void ForgetFd() { fd_ = -1; }
  // Puts this object behind `fd` (closing what was there) instead of its
  // own descriptor.
  void MoveTo(int fd) {
    ASSERT_EQ(dup2(fd_, fd), fd);
    close(fd_);
    fd_ = fd;
  }
  int fd() const { return fd_; }
  size_t Bytes() const { return width_ * height_ * 4; }

 private:
  size_t width_;
  size_t height_;
  int fd_ = -1;
  uint8_t* pixels_ = nullptr;
};

// A GPU-surface texture whose descriptor the test sets; counts and records
// where its callback and release callback run.
struct SurfaceTexture {
  std::mutex mutex;
  FlutterDesktopGpuSurfaceDescriptor descriptor{};
  bool offer = true;
  int fetches = 0;
  int releases = 0;
  std::vector<std::thread::id> fetchThreads;
  std::vector<std::thread::id> releaseThreads;
  std::function<void()> duringFetch;  // runs inside the callback

  flutter::TextureVariant variant{flutter::GpuSurfaceTexture(
      kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle,
      [this](size_t, size_t) -> const FlutterDesktopGpuSurfaceDescriptor* {
        std::function<void()> hook;
        {
          std::lock_guard<std::mutex> lock(mutex);
          ++fetches;
          fetchThreads.push_back(std::this_thread::get_id());
          hook = duringFetch;
          if (!offer) return nullptr;
        }
        if (hook) hook();
        return &descriptor;
      })};

  SurfaceTexture() {
    descriptor.struct_size = sizeof(descriptor);
    descriptor.format = kFlutterDesktopPixelFormatBGRA8888;
    descriptor.release_context = this;
    descriptor.release_callback = [](void* context) {
      auto* self = static_cast<SurfaceTexture*>(context);
      std::lock_guard<std::mutex> lock(self->mutex);
      ++self->releases;
      self->releaseThreads.push_back(std::this_thread::get_id());
    };
  }
  void Show(const SharedPixels& pixels, size_t visibleWidth, size_t visibleHeight, size_t wantedWidth,
            size_t wantedHeight) {
    std::lock_guard<std::mutex> lock(mutex);
    descriptor.handle = reinterpret_cast<void*>(static_cast<intptr_t>(pixels.fd()));
    descriptor.visible_width = visibleWidth;
    descriptor.visible_height = visibleHeight;
    descriptor.width = wantedWidth;
    descriptor.height = wantedHeight;
  }
};

class TextureTest : public EngineTest {
 protected:
  flutter::TextureRegistrar* Textures() {
    if (registrar_ == nullptr) {
      ScriptedPluginConfig config;
      config.onRegistered = [this](flutter::PluginRegistrarWindows& registrar) { registrar_ = &registrar; };
      Register(config);
    }
    return registrar_->texture_registrar();
  }
  int64_t RegisterOnPlatform(flutter::TextureVariant* variant) {
    int64_t id = -2;
    flutter::TextureRegistrar* textures = Textures();
    engine_->RunOnPlatformThread([&] { id = textures->RegisterTexture(variant); });
    return id;
  }
  // Unregisters and waits for the completion; returns the thread it ran on.
  std::thread::id UnregisterAndWait(int64_t id) {
    std::promise<std::thread::id> done;
    flutter::TextureRegistrar* textures = Textures();
    engine_->RunOnPlatformThread(
        [&] { textures->UnregisterTexture(id, [&] { done.set_value(std::this_thread::get_id()); }); });
    auto completed = done.get_future();
    EXPECT_EQ(completed.wait_for(5s), std::future_status::ready);
    return completed.get();
  }

  // The textures of a test live on its stack: the raster thread must be
  // stopped before they go.
  void ShutDownBeforeLocalTexturesGo() { engine_->Shutdown(); }

  flutter::PluginRegistrarWindows* registrar_ = nullptr;
};

TEST_F(TextureTest, RegisterTexture_GivesIncreasingIdsNeverReused_AndRefusesNull) {
  flutter::TextureVariant pixels{
      flutter::PixelBufferTexture([](size_t, size_t) -> const FlutterDesktopPixelBuffer* { return nullptr; })};
  SurfaceTexture surface;

  const int64_t first = RegisterOnPlatform(&pixels);
  const int64_t second = RegisterOnPlatform(&surface.variant);
  EXPECT_GT(first, 0);
  EXPECT_GT(second, first);
  UnregisterAndWait(second);
  const int64_t third = RegisterOnPlatform(&surface.variant);
  EXPECT_GT(third, second);

  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RegisterOnPlatform(nullptr), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Attempting to register unknown texture variant.\n");
  ShutDownBeforeLocalTexturesGo();
}

TEST_F(TextureTest, RegisterExternalTexture_RefusesUnusableRecords) {
  FlutterDesktopTextureInfo noCallback{};
  noCallback.type = kFlutterDesktopPixelBufferTexture;
  FlutterDesktopTextureInfo wrongSize{};
  wrongSize.type = kFlutterDesktopGpuSurfaceTexture;
  wrongSize.gpu_surface_config.struct_size = 16;
  FlutterDesktopTextureInfo noSurfaceType = wrongSize;
  noSurfaceType.gpu_surface_config.struct_size = sizeof(FlutterDesktopGpuSurfaceTextureConfig);
  noSurfaceType.gpu_surface_config.type = kFlutterDesktopGpuSurfaceTypeNone;
  noSurfaceType.gpu_surface_config.callback = [](size_t, size_t, void*) {
    return static_cast<const FlutterDesktopGpuSurfaceDescriptor*>(nullptr);
  };
  FlutterDesktopTextureInfo unknownKind{};
  const int32_t seven = 7;  // as a C plugin could store it
  std::memcpy(&unknownKind.type, &seven, sizeof(seven));

  std::vector<int64_t> ids;
  ::testing::internal::CaptureStderr();
  engine_->RunOnPlatformThread([&] {
    FlutterDesktopTextureRegistrarRef registrar = FlutterDesktopRegistrarGetTextureRegistrar(engine_->Registrar());
    const std::vector<const FlutterDesktopTextureInfo*> records{nullptr, &noCallback, &wrongSize, &noSurfaceType,
                                                                &unknownKind};
    for (const FlutterDesktopTextureInfo* info : records) {
      ids.push_back(FlutterDesktopTextureRegistrarRegisterExternalTexture(registrar, info));
    }
  });
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(ids, std::vector<int64_t>(5, -1));
  EXPECT_THAT(diagnostics, HasSubstr("texture registration refused: unknown texture type"));
}

TEST_F(TextureTest, RegisterExternalTexture_ReadsTheRecordOnlyDuringTheCall) {
  SharedPixels pixels(1, 1, kGreen);
  SurfaceTexture surface;
  surface.Show(pixels, 1, 1, 1, 1);
  auto info = std::make_unique<FlutterDesktopTextureInfo>();
  info->type = kFlutterDesktopGpuSurfaceTexture;
  info->gpu_surface_config.struct_size = sizeof(FlutterDesktopGpuSurfaceTextureConfig);
  info->gpu_surface_config.type = kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle;
  info->gpu_surface_config.user_data = &surface;
  info->gpu_surface_config.callback = [](size_t width, size_t height, void* userData) {
    auto* texture = static_cast<SurfaceTexture*>(userData);
    return std::get<flutter::GpuSurfaceTexture>(texture->variant).ObtainDescriptor(width, height);
  };
  int64_t id = -1;
  engine_->RunOnPlatformThread([&] {
    id = FlutterDesktopTextureRegistrarRegisterExternalTexture(
        FlutterDesktopRegistrarGetTextureRegistrar(engine_->Registrar()), info.get());
  });
  ASSERT_GT(id, 0);
  info.reset();

  std::shared_ptr<const TextureFrame> frame = engine_->FetchTexture(id);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->PixelAt(0, 0), kGreen);
  ShutDownBeforeLocalTexturesGo();
}

TEST_F(TextureTest, GpuSurface_IsFetchedOnTheRasterThread_FromItsVisibleSize_AndReleasedOnceThere) {
  SharedPixels pixels(3, 2, kRed);
  pixels.SetPixel(2, 1, kBlue);
  SurfaceTexture surface;
  // The wanted size is larger than the buffer: reading by it would fail.
  surface.Show(pixels, 3, 2, 640, 480);
  const int64_t id = RegisterOnPlatform(&surface.variant);
  ASSERT_GT(id, 0);

  ASSERT_TRUE(Textures()->MarkTextureFrameAvailable(id));
  std::shared_ptr<const TextureFrame> frame =
      engine_->WaitForFrame(id, [](const TextureFrame& fetched) { return fetched.marks >= 1; }, 5s);
  ASSERT_NE(frame, nullptr);

  EXPECT_EQ(frame->width, 3u);
  EXPECT_EQ(frame->height, 2u);
  EXPECT_EQ(frame->PixelAt(0, 0), kRed);
  EXPECT_EQ(frame->PixelAt(2, 1), kBlue);
  EXPECT_EQ(frame->marks, 1u);
  ShutDownBeforeLocalTexturesGo();
  std::lock_guard<std::mutex> lock(surface.mutex);
  EXPECT_EQ(surface.releases, surface.fetches);
  ASSERT_FALSE(surface.fetchThreads.empty());
  EXPECT_EQ(surface.releaseThreads, surface.fetchThreads);
  EXPECT_NE(surface.fetchThreads[0], PlatformThreadId());
  EXPECT_NE(surface.fetchThreads[0], std::this_thread::get_id());
  EXPECT_NE(fcntl(pixels.fd(), F_GETFD), -1) << "the host closed the plugin's fd";
}

TEST_F(TextureTest, GpuSurface_NewObjectBehindTheSameFd_IsReadAfresh) {
  auto pixels = std::make_unique<SharedPixels>(2, 2, kRed);
  SurfaceTexture surface;
  surface.Show(*pixels, 2, 2, 2, 2);
  const int64_t id = RegisterOnPlatform(&surface.variant);
  std::shared_ptr<const TextureFrame> red = engine_->FetchTexture(id);
  ASSERT_NE(red, nullptr);
  ASSERT_TRUE(red->HasPixels()) << red->problem;
  EXPECT_EQ(red->PixelAt(1, 1), kRed);

  // A new texture of the same size takes the old one's fd number.
  SharedPixels replacement(2, 2, kGreen);
  const int fd = pixels->fd();
  pixels->ForgetFd();
  replacement.MoveTo(fd);
  pixels.reset();
  std::shared_ptr<const TextureFrame> green = engine_->FetchTexture(id);
  ASSERT_NE(green, nullptr);
  ASSERT_TRUE(green->HasPixels()) << green->problem;
  EXPECT_EQ(green->PixelAt(1, 1), kGreen);

  // And a larger one after it.
  SharedPixels larger(4, 3, kBlue);
  surface.Show(larger, 4, 3, 4, 3);
  std::shared_ptr<const TextureFrame> blue = engine_->FetchTexture(id);
  ASSERT_NE(blue, nullptr);
  ASSERT_TRUE(blue->HasPixels()) << blue->problem;
  EXPECT_EQ(blue->width, 4u);
  EXPECT_EQ(blue->height, 3u);
  EXPECT_EQ(blue->PixelAt(3, 2), kBlue);
  ShutDownBeforeLocalTexturesGo();
}

TEST_F(TextureTest, HeldFrame_KeepsItsPixels_WhileLaterFetchesReuseStorage) {
  SharedPixels red(8, 8, kRed);
  SharedPixels blue(8, 8, kBlue);
  SurfaceTexture surface;
  surface.Show(red, 8, 8, 8, 8);
  const int64_t id = RegisterOnPlatform(&surface.variant);

  std::shared_ptr<const TextureFrame> held = engine_->FetchTexture(id);
  ASSERT_NE(held, nullptr);
  surface.Show(blue, 8, 8, 8, 8);
  for (int i = 0; i < 4; ++i) {
    // Dropped at once, so their storage goes back for the next fetch.
    std::shared_ptr<const TextureFrame> later = engine_->FetchTexture(id);
    ASSERT_NE(later, nullptr);
    EXPECT_EQ(later->PixelAt(7, 7), kBlue);
  }
  for (size_t y = 0; y < 8; ++y) {
    for (size_t x = 0; x < 8; ++x) ASSERT_EQ(held->PixelAt(x, y), kRed) << x << "," << y;
  }
  ShutDownBeforeLocalTexturesGo();
}

TEST_F(TextureTest, GpuSurface_UnusableDescriptor_IsRejected_AndStillReleased) {
  SharedPixels small(2, 2, kRed);
  SurfaceTexture surface;
  surface.Show(small, 4, 4, 4, 4);  // claims more pixels than the memfd holds
  const int64_t id = RegisterOnPlatform(&surface.variant);

  ::testing::internal::CaptureStderr();
  std::shared_ptr<const TextureFrame> tooSmall = engine_->FetchTexture(id);
  surface.Show(small, 2, 2, 2, 2);
  {
    std::lock_guard<std::mutex> lock(surface.mutex);
    surface.descriptor.format = kFlutterDesktopPixelFormatRGBA8888;
  }
  std::shared_ptr<const TextureFrame> wrongFormat = engine_->FetchTexture(id);
  {
    std::lock_guard<std::mutex> lock(surface.mutex);
    surface.offer = false;
  }
  std::shared_ptr<const TextureFrame> none = engine_->FetchTexture(id);
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();

  ASSERT_NE(tooSmall, nullptr);
  EXPECT_EQ(tooSmall->outcome, TextureFrame::Outcome::kRejected);
  EXPECT_THAT(tooSmall->problem, HasSubstr("fewer than the 64"));
  ASSERT_NE(wrongFormat, nullptr);
  EXPECT_EQ(wrongFormat->outcome, TextureFrame::Outcome::kRejected);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(none->outcome, TextureFrame::Outcome::kNull);
  EXPECT_THAT(diagnostics, HasSubstr("is not BGRA8888"));
  ShutDownBeforeLocalTexturesGo();
  std::lock_guard<std::mutex> lock(surface.mutex);
  EXPECT_EQ(surface.fetches, 3);
  EXPECT_EQ(surface.releases, 2);  // one per returned descriptor
}

TEST_F(TextureTest, FrameMarks_AreCounted_AndFetchesCoalesceAtTheDisplayRate) {
  SharedPixels pixels(1, 1, kRed);
  SurfaceTexture surface;
  surface.Show(pixels, 1, 1, 1, 1);
  const int64_t id = RegisterOnPlatform(&surface.variant);
  flutter::TextureRegistrar* textures = Textures();

  for (int i = 0; i < 50; ++i) ASSERT_TRUE(textures->MarkTextureFrameAvailable(id));
  std::shared_ptr<const TextureFrame> last =
      engine_->WaitForFrame(id, [](const TextureFrame& frame) { return frame.marks == 50; }, 5s);

  ASSERT_NE(last, nullptr);
  EXPECT_EQ(engine_->FrameMarks(id), 50u);
  EXPECT_LT(last->fetchNumber, 50u);
  EXPECT_FALSE(textures->MarkTextureFrameAvailable(id + 100));
  ShutDownBeforeLocalTexturesGo();
}

// A headless host: marked textures are still fetched and released at the
// display rate, but pixels are copied only when asked for.
class UncopiedTextureTest : public TextureTest {
 protected:
  void SetUp() override {
    options_.copyDisplayedFrames = false;
    TextureTest::SetUp();
  }
};

TEST_F(UncopiedTextureTest, MarkedFrames_AreFetchedAndReleased_ButCopiedOnlyWhenAskedFor) {
  SharedPixels pixels(2, 2, kRed);
  SurfaceTexture surface;
  surface.Show(pixels, 2, 2, 2, 2);
  const int64_t id = RegisterOnPlatform(&surface.variant);
  ASSERT_TRUE(Textures()->MarkTextureFrameAvailable(id));
  const auto released = [&] {
    std::lock_guard<std::mutex> lock(surface.mutex);
    return surface.releases > 0;
  };
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!released() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(engine_->LatestFrame(id), nullptr) << "nothing copied at the display rate";
  const std::shared_ptr<const TextureFrame> asked = engine_->FetchTexture(id);
  ASSERT_NE(asked, nullptr);
  EXPECT_EQ(asked->PixelAt(1, 1), kRed);
  ShutDownBeforeLocalTexturesGo();
  std::lock_guard<std::mutex> lock(surface.mutex);
  EXPECT_EQ(surface.fetches, 2);
  EXPECT_EQ(surface.releases, surface.fetches);
}

TEST_F(TextureTest, Unregister_CompletesOnAnotherThread_OnlyAfterTheFetchInFlightEnds) {
  SharedPixels pixels(1, 1, kRed);
  SurfaceTexture surface;
  surface.Show(pixels, 1, 1, 1, 1);
  std::promise<void> fetchEntered;
  std::promise<void> letFetchFinish;
  std::shared_future<void> finish = letFetchFinish.get_future().share();
  std::atomic<bool> first{true};
  surface.duringFetch = [&] {
    if (!first.exchange(false)) return;
    fetchEntered.set_value();
    finish.wait();
  };
  const int64_t id = RegisterOnPlatform(&surface.variant);
  flutter::TextureRegistrar* textures = Textures();
  ASSERT_TRUE(textures->MarkTextureFrameAvailable(id));
  ASSERT_EQ(fetchEntered.get_future().wait_for(5s), std::future_status::ready);

  std::promise<std::thread::id> completed;
  std::atomic<int> releasesAtCompletion{-1};
  engine_->RunOnPlatformThread([&] {
    textures->UnregisterTexture(id, [&] {
      {
        std::lock_guard<std::mutex> lock(surface.mutex);
        releasesAtCompletion = surface.releases;
      }
      completed.set_value(std::this_thread::get_id());
    });
  });
  auto completion = completed.get_future();
  EXPECT_EQ(completion.wait_for(100ms), std::future_status::timeout);
  EXPECT_FALSE(textures->MarkTextureFrameAvailable(id));

  letFetchFinish.set_value();
  ASSERT_EQ(completion.wait_for(5s), std::future_status::ready);
  EXPECT_NE(completion.get(), PlatformThreadId());
  EXPECT_EQ(releasesAtCompletion.load(), 1);
  EXPECT_EQ(engine_->FetchTexture(id, 1s), nullptr);
  ShutDownBeforeLocalTexturesGo();
  std::lock_guard<std::mutex> lock(surface.mutex);
  EXPECT_EQ(surface.fetches, 1);
}

TEST_F(TextureTest, Unregister_AfterShutdown_StillCompletesOnce_OutsideTheCall) {
  SurfaceTexture surface;
  const int64_t id = RegisterOnPlatform(&surface.variant);
  FlutterDesktopTextureRegistrarRef registrar = nullptr;
  engine_->RunOnPlatformThread([&] { registrar = FlutterDesktopRegistrarGetTextureRegistrar(engine_->Registrar()); });
  engine_->Shutdown();

  struct Completion {
    std::atomic<int> calls{0};
    std::thread::id thread;
    std::promise<void> done;
  } completion;
  ::testing::internal::CaptureStderr();
  FlutterDesktopTextureRegistrarUnregisterExternalTexture(
      registrar, id,
      [](void* userData) {
        auto* state = static_cast<Completion*>(userData);
        state->thread = std::this_thread::get_id();
        if (++state->calls == 1) state->done.set_value();
      },
      &completion);
  ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(completion.done.get_future().wait_for(5s), std::future_status::ready);
  engine_.reset();
  EXPECT_EQ(completion.calls.load(), 1);
  EXPECT_NE(completion.thread, std::this_thread::get_id());
}

TEST_F(TextureTest, PixelBufferTexture_IsReadAsBgra_AndReleasedOnce) {
  struct Buffer {
    std::array<uint8_t, 8> rgba{10, 20, 30, 40, 50, 60, 70, 80};
    FlutterDesktopPixelBuffer record{};
    std::atomic<int> releases{0};
  } buffer;
  buffer.record.buffer = buffer.rgba.data();
  buffer.record.width = 2;
  buffer.record.height = 1;
  buffer.record.release_context = &buffer;
  buffer.record.release_callback = [](void* context) { ++static_cast<Buffer*>(context)->releases; };
  flutter::TextureVariant variant{
      flutter::PixelBufferTexture([&](size_t, size_t) -> const FlutterDesktopPixelBuffer* { return &buffer.record; })};
  const int64_t id = RegisterOnPlatform(&variant);

  std::shared_ptr<const TextureFrame> frame = engine_->FetchTexture(id);

  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(frame->HasPixels()) << frame->problem;
  EXPECT_EQ(frame->PixelAt(0, 0), (Bgra{30, 20, 10, 40}));
  EXPECT_EQ(frame->PixelAt(1, 0), (Bgra{70, 60, 50, 80}));
  EXPECT_EQ(buffer.releases.load(), 1);
  ShutDownBeforeLocalTexturesGo();
}

}  // namespace
}  // namespace corvane::embedder::testing
