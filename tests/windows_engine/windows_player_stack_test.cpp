// The whole player stack on the Windows media engine adapter, with fakes of
// the runtime underneath: what Dart sees when MediaPlayer opens a source,
// fails, and offers frames and subtitles.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "embedder/dart_client.h"
#include "fake_runtime.h"
#include "platform/windows/media/windows_media_player.h"
#include "plugin/fake_platform_layer.h"
#include "plugin/fake_surface_device.h"
#include "plugin/plugin_harness.h"
#include "support/eventually.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;
using embedder::EventStream;
using embedder::MethodResponse;
using embedder::StreamEvent;
using flutter::EncodableMap;
using flutter::EncodableValue;
namespace fakes = platform::winrt::fakes;
using platform::winrt::ComRef;

// The surfaces the Direct3D device makes, as far as the player and the
// adapter meet them: textures the host can read (shared memory on Linux,
// the fake device's on Windows, whose host reads none), each surface
// carrying a runtime surface for the engine's copy calls.
class RuntimeSurface final : public platform::VideoSurface {
 public:
  explicit RuntimeSurface(std::shared_ptr<platform::VideoSurface> inner)
      : inner_(std::move(inner)), native_(fakes::MakeFake<fakes::FakeDirect3DSurface>()) {}
  void Close() override { inner_->Close(); }
  bool IsClosed() const override { return inner_->IsClosed(); }
  std::shared_ptr<platform::SharedTexture> Texture() const override { return inner_->Texture(); }
  void* NativeSurface() const override { return static_cast<platform::winrt::IDirect3DSurface*>(native_.get()); }

 private:
  const std::shared_ptr<platform::VideoSurface> inner_;
  const ComRef<fakes::FakeDirect3DSurface> native_;
};

class RuntimeSurfaceDevice final : public platform::SurfaceDevice {
 public:
  std::shared_ptr<platform::SharedTexture> CreateTexture(uint32_t width, uint32_t height) override {
    return textures_->CreateTexture(width, height);
  }
  std::shared_ptr<platform::RenderTargetView> CreateRenderTargetView(
      const std::shared_ptr<platform::SharedTexture>& texture) override {
    return textures_->CreateRenderTargetView(texture);
  }
  std::shared_ptr<platform::VideoSurface> CreateSurface(const std::shared_ptr<platform::SharedTexture>& texture) override {
    auto surface = std::make_shared<RuntimeSurface>(textures_->CreateSurface(texture));
    std::lock_guard<std::mutex> lock(mutex_);
    natives_.push_back(surface->NativeSurface());
    return surface;
  }
  void ClearRenderTargetView(platform::RenderTargetView& view, platform::ClearColor color) override {
    textures_->ClearRenderTargetView(view, color);
  }
  std::vector<void*> Natives() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return natives_;
  }

 private:
#ifdef _WIN32
  const std::shared_ptr<platform::SurfaceDevice> textures_ = std::make_shared<FakeSurfaceDevice>();
#else
  const std::shared_ptr<platform::SurfaceDevice> textures_ = platform::CreateSharedMemoryDevice();
#endif
  mutable std::mutex mutex_;
  std::vector<void*> natives_;  // guarded by mutex_
};

class WindowsPlayerStackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    layer.languages = std::vector<std::string>{"en-US"};
    layer.makeEngine = [runtime = runtime] { return platform::windows::CreateWindowsMediaEngine(runtime); };
    layer.makeDevice = [device = device] { return device; };
    fakes::FakeTracks tracks;
    tracks.audio = {{"1", "de", "", "Deutsch", "AAC", 128000, 2, 44100},
                    {"2", "en", "", "English 5.1", "EAC3", 384000, 6, 48000}};
    tracks.video = {{"3", "", "", "Main", "H264", 5000000, 1920, 1080}};
    tracks.timedMetadata = {{"4", "fr", "", "Francais", platform::winrt::TimedMetadataKind::Subtitle}};
    runtime->SetItemTracks(tracks);
    host = std::make_unique<PluginHarness>(layer);
    ASSERT_TRUE(host->Register());
  }
  void TearDown() override {
    events.reset();
    host.reset();
  }

  // Creates a player with Dart listening and opens a source on it; the
  // runtime has not opened it yet.
  void CreateAndOpen(const std::string& source = "http://127.0.0.1:9/a.mp4") {
    const MethodResponse created = host->Call("create");
    ASSERT_TRUE(created.IsSuccess()) << created.Describe();
    id = std::get<int64_t>(std::get<EncodableMap>(created.value).at(EncodableValue("id")));
    fake = runtime->LastPlayer();
    events = std::make_unique<EventStream>(host->engine(), PluginHarness::ChannelOf(id));
    ASSERT_TRUE(events->Listen().IsSuccess());
    ASSERT_TRUE(host->Call("open", Args({{"id", EncodableValue(id)}, {"value", EncodableValue(source)}})).IsSuccess());
    ASSERT_TRUE(Eventually([&] { return runtime->Items().size() == itemsBefore + 1; }));
  }

  // The runtime opens the source: seekable, 10 s, 1920 x 1080. The player
  // seeks to its start position and reports the media once that completes.
  void OpenedToMediaInfo() {
    const auto session = fake->Session();
    session->SetCanSeek(true);
    session->SetNaturalDuration(std::chrono::duration_cast<platform::TimeSpan>(10s).count());
    session->SetNaturalVideoSize(1920, 1080);
    fake->RaiseMediaOpened();
    ASSERT_TRUE(Eventually([&] { return !session->PositionsSet().empty(); })) << "no start seek";
    session->RaiseSeekCompleted();
    ASSERT_TRUE(events->WaitForEventNamed("mediaInfo", 5s)) << "no mediaInfo";
  }

  const EncodableMap& Track(const StreamEvent& info, const char* group, const char* id) {
    return std::get<EncodableMap>(std::get<EncodableMap>(*info.Find(group)).at(EncodableValue(std::string(id))));
  }

  LogRecorder log;
  std::shared_ptr<fakes::FakeRuntime> runtime = std::make_shared<fakes::FakeRuntime>();
  std::shared_ptr<RuntimeSurfaceDevice> device = std::make_shared<RuntimeSurfaceDevice>();
  FakePlatformLayer layer;
  std::unique_ptr<PluginHarness> host;
  size_t itemsBefore = 0;
  int64_t id = -1;
  ComRef<fakes::FakeMediaPlayer> fake;
  std::unique_ptr<EventStream> events;
};

TEST_F(WindowsPlayerStackTest, OpeningSource_IsReportedWithTheTracksTheRuntimeDescribes) {
  CreateAndOpen();
  EXPECT_TRUE(fake->FrameServerEnabled());
  EXPECT_FALSE(fake->CommandManager()->IsEnabled());
  EXPECT_EQ(runtime->Sources().back()->Uri(), "http://127.0.0.1:9/a.mp4");
  OpenedToMediaInfo();

  StreamEvent info;
  for (const StreamEvent& event : events->History()) {
    if (event.Name() == "mediaInfo") info = event;
  }
  EXPECT_EQ(*info.Find("duration"), EncodableValue(int64_t{10000}));
  const EncodableMap& german = Track(info, "audioTracks", "0.0");
  EXPECT_EQ(german.at(EncodableValue("language")), EncodableValue("de"));
  EXPECT_EQ(german.at(EncodableValue("title")), EncodableValue("Deutsch"));
  EXPECT_EQ(german.at(EncodableValue("format")), EncodableValue("AAC"));
  EXPECT_EQ(german.at(EncodableValue("channels")), EncodableValue(int32_t{2}));
  EXPECT_EQ(german.at(EncodableValue("sampleRate")), EncodableValue(int32_t{44100}));
  EXPECT_EQ(german.at(EncodableValue("bitRate")), EncodableValue(int32_t{128000}));
  const EncodableMap& english = Track(info, "audioTracks", "0.1");
  EXPECT_EQ(english.at(EncodableValue("channels")), EncodableValue(int32_t{6}));
  EXPECT_EQ(english.at(EncodableValue("format")), EncodableValue("EAC3"));
  const EncodableMap& french = Track(info, "subtitleTracks", "2.0");
  EXPECT_EQ(french.at(EncodableValue("language")), EncodableValue("fr"));
  EXPECT_EQ(french.at(EncodableValue("title")), EncodableValue("Francais"));
  // The user's language chose the English audio track.
  const auto selected = runtime->LastItem()->AudioTracks()->SelectedIndicesSet();
  ASSERT_FALSE(selected.empty());
  EXPECT_EQ(1, selected.back());
}

TEST_F(WindowsPlayerStackTest, EachRuntimeError_BecomesTheErrorEvent_AndThePluginGoesOn) {
  const std::vector<std::pair<platform::winrt::MediaPlayerError, const char*>> errors = {
      {platform::winrt::MediaPlayerError::Unknown, "Unknown"},
      {platform::winrt::MediaPlayerError::Aborted, "Aborted"},
      {platform::winrt::MediaPlayerError::NetworkError, "NetworkError"},
      {platform::winrt::MediaPlayerError::DecodingError, "DecodingError"},
      {platform::winrt::MediaPlayerError::SourceNotSupported, "SourceNotSupported"}};
  for (const auto& [error, name] : errors) {
    itemsBefore = runtime->Items().size();
    CreateAndOpen();
    fake->RaiseMediaFailed(error, static_cast<platform::hresult>(0x80004005), "failed");
    const auto reported = events->WaitForEventNamed("error", 5s);
    ASSERT_TRUE(reported) << name;
    EXPECT_EQ(*reported->Find("value"), EncodableValue(std::string(name)));
    ASSERT_TRUE(host->Call("dispose", EncodableValue(id)).IsSuccess());
    events.reset();
  }
}

TEST_F(WindowsPlayerStackTest, FramesAndSubtitles_AreCopiedIntoTheSurfacesTheDeviceMade) {
  CreateAndOpen();
  OpenedToMediaInfo();
  fake->Session()->SetNaturalVideoSize(64, 48);
  fake->Session()->RaiseNaturalVideoSizeChanged();
  ASSERT_TRUE(events->WaitForEventNamed("videoSize", 5s));
  ASSERT_TRUE(host->Call("setShowSubtitle", Args({{"id", EncodableValue(id)}, {"value", EncodableValue(true)}})).IsSuccess());

  fake->RaiseVideoFrameAvailable();
  fake->RaiseSubtitleFrameChanged();
  ASSERT_TRUE(Eventually([&] { return !fake->FrameCopies().empty() && !fake->SubtitleRenders().empty(); }));
  const std::vector<void*> made = device->Natives();
  ASSERT_EQ(2u, made.size()) << "one surface for the video, one for the subtitles";
  const void* video = fake->FrameCopies().front();
  const void* subtitles = fake->SubtitleRenders().front();
  EXPECT_NE(video, subtitles);
  EXPECT_TRUE((video == made[0] && subtitles == made[1]) || (video == made[1] && subtitles == made[0]));
}

}  // namespace
}  // namespace corvane::testing
