// Construction, initialisation, the engine subscriptions and teardown.
#include "player/video_controller.h"

#include <cinttypes>
#include <cstdio>

#include "host/standard_method_codec.h"
#include "platform/debug_log.h"
#include "player/engine_link.h"

namespace corvane::player {

using flutter::EncodableMap;
using flutter::EncodableValue;
using platform::DebugLog;
using platform::DebugLogf;
using platform::Failed;
using platform::hresult_error;
using platform::MediaPlaybackSession;
using platform::ToHresult;
using render::SurfaceKind;

VideoController::VideoController(PlayerEnvironment environment)
    : environment_(std::move(environment)),
      link_(std::make_shared<EngineLink>(environment_.engine->CreateMediaPlayer(), environment_.queue,
                                         environment_.device)) {
  platform::MediaPlayer& player = *link_->mediaPlayer;
  if (environment_.modern) {
    if (Failed(ToHresult([&] { player.IsVideoFrameServerEnabled(true); }))) {
      DebugLog("CorvanePlugin: Failed to enable video frame server\n");
    } else {
      DebugLog("CorvanePlugin: Video frame server enabled\n");
    }
  } else {
    DebugLog("CorvanePlugin: Video frame server not supported on this Windows version\n");
  }
  if (Failed(ToHresult([&] { player.CommandManager()->IsEnabled(false); }))) {
    DebugLog("CorvanePlugin: Failed to disable command manager\n");
  }
}

void VideoController::ClosePlayer() {
  if (playerClosed) return;
  playerClosed = true;
  link_->StopRedraws();
  if (Failed(ToHresult([&] { link_->mediaPlayer->Close(); }))) {
    DebugLog("CorvanePlugin: Failed to close media player\n");
  }
}

VideoController::~VideoController() {
  // Close waits for a running handler only boundedly; one that outlasts it
  // keeps the link and all it holds alive, but must not reach the host's
  // registrar, which may go as soon as this returns.
  ClosePlayer();
  link_->textureMarker.Detach();
  if (textureRegistrar != nullptr) {
    // The host may still call a texture's callback until it reports the
    // unregistration complete; the completion keeps the texture object.
    if (videoTextureId_ >= 0) textureRegistrar->UnregisterTexture(videoTextureId_, [texture = videoTexture] {});
    if (subtitleTextureId_ >= 0) {
      textureRegistrar->UnregisterTexture(subtitleTextureId_, [texture = subtitleTexture] {});
    }
  }
  eventSink.reset();
  if (eventChannel) eventChannel->SetStreamHandler(nullptr);
  // The surfaces close when their last holder lets go: a descriptor the
  // host still holds keeps its surface until the host's release.
}

PlayerState VideoController::State() const { return link_->playerState.load(); }

bool VideoController::IsLoaded() const {
  const PlayerState state = State();
  return state == PlayerState::kPaused || state == PlayerState::kPlaying;
}

void VideoController::Initialize(flutter::PluginRegistrar* registrar) {
  DebugLog("CorvanePlugin: Initializing VideoController\n");
  textureRegistrar = registrar->texture_registrar();
  auto makeTexture = [](std::weak_ptr<render::FrameSurface> weakSurface) {
    return std::make_shared<flutter::TextureVariant>(flutter::GpuSurfaceTexture(
        kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle,
        [weakSurface](size_t, size_t) -> const FlutterDesktopGpuSurfaceDescriptor* {
          auto surface = weakSurface.lock();
          return surface ? surface->ObtainDescriptor() : nullptr;
        }));
  };
  videoTexture = makeTexture(link_->videoSurface);
  subtitleTexture = makeTexture(link_->subtitleSurface);
  videoTextureId_ = textureRegistrar->RegisterTexture(videoTexture.get());
  subtitleTextureId_ = textureRegistrar->RegisterTexture(subtitleTexture.get());
  if (videoTextureId_ < 0 || subtitleTextureId_ < 0) {
    throw hresult_error(platform::kFail, "the host refused a texture");
  }
  DebugLogf("CorvanePlugin: Registered textures - Video: %" PRId64 ", Subtitle: %" PRId64 "\n", videoTextureId_,
            subtitleTextureId_);
  link_->textureMarker.Attach(textureRegistrar);
  link_->videoTextureId = videoTextureId_;
  link_->subtitleTextureId = subtitleTextureId_;
  link_->controller = weak_from_this();

  char channelName[64];
  std::snprintf(channelName, sizeof channelName, "CorvanePlugin/%" PRId64, videoTextureId_);
  eventChannel = std::make_unique<flutter::EventChannel<EncodableValue>>(
      registrar->messenger(), channelName, &flutter::StandardMethodCodec::GetInstance());
  std::weak_ptr<VideoController> weak = weak_from_this();
  eventChannel->SetStreamHandler(std::make_unique<flutter::StreamHandlerFunctions<EncodableValue>>(
      [weak](const EncodableValue*, std::unique_ptr<flutter::EventSink<EncodableValue>>&& sink)
          -> std::unique_ptr<flutter::StreamHandlerError<EncodableValue>> {
        DebugLog("CorvanePlugin: EventChannel stream started\n");
        if (auto self = weak.lock()) self->eventSink = std::move(sink);
        return nullptr;
      },
      [weak](const EncodableValue*) -> std::unique_ptr<flutter::StreamHandlerError<EncodableValue>> {
        DebugLog("CorvanePlugin: EventChannel stream cancelled\n");
        if (auto self = weak.lock()) self->eventSink.reset();
        return nullptr;
      }));
  SubscribeToEngine();
}

void VideoController::SubscribeToEngine() {
  const std::weak_ptr<EngineLink> weakLink = link_;
  // Engine threads only post; the work runs on the platform thread. What
  // posting raises goes back to the engine as its code, never through it.
  auto posting = [weakLink](std::function<void(VideoController&)> work) {
    return ToHresult([&] {
      if (auto link = weakLink.lock()) link->Post(std::move(work));
    });
  };
  platform::MediaPlayer& player = *link_->mediaPlayer;
  if (Failed(ToHresult([&] {
        auto session = player.PlaybackSession();
        // The size is taken in, and the newest frame drawn at it, on the
        // engine thread; only the report is posted.
        session->NaturalVideoSizeChanged([weakLink](const std::shared_ptr<MediaPlaybackSession>& sender) {
          return ToHresult([&] {
            if (auto link = weakLink.lock()) link->VideoSizeStep(sender);
          });
        });
        session->PositionChanged([posting](const std::shared_ptr<MediaPlaybackSession>&) {
          return posting([](VideoController& self) { self.OnPositionChanged(); });
        });
        session->SeekCompleted([posting](const std::shared_ptr<MediaPlaybackSession>&) {
          return posting([](VideoController& self) { self.OnSeekCompleted(); });
        });
        session->BufferingStarted([posting](const std::shared_ptr<MediaPlaybackSession>&) {
          return posting([](VideoController& self) { self.OnBuffering(true); });
        });
        session->BufferingEnded([posting](const std::shared_ptr<MediaPlaybackSession>&) {
          return posting([](VideoController& self) { self.OnBuffering(false); });
        });
        session->BufferedRangesChanged([posting](const std::shared_ptr<MediaPlaybackSession>& sender) {
          return posting([sender](VideoController& self) { self.OnBufferedRangesChanged(sender); });
        });
      }))) {
    DebugLog("CorvanePlugin: Failed to set up playback session event handlers\n");
  }
  if (Failed(ToHresult([&] {
        player.MediaFailed([posting](const platform::MediaPlayerFailedEventArgs& args) {
          return posting([args](VideoController& self) { self.OnMediaFailed(args); });
        });
        player.MediaOpened([weakLink] {
          return ToHresult([&] {
            if (auto link = weakLink.lock()) link->MediaOpenedStep();
          });
        });
        player.MediaEnded([posting] { return posting([](VideoController& self) { self.OnMediaEnded(); }); });
      }))) {
    DebugLog("CorvanePlugin: Failed to set up media event handlers\n");
  }
  if (!environment_.modern) {
    DebugLog("CorvanePlugin: Video frame handlers not supported on this Windows version\n");
    return;
  }
  if (Failed(ToHresult([&] {
        player.VideoFrameAvailable([weakLink] {
          return ToHresult([&] {
            if (auto link = weakLink.lock()) link->RenderFrame(SurfaceKind::Video);
          });
        });
        player.SubtitleFrameChanged([weakLink] {
          return ToHresult([&] {
            if (auto link = weakLink.lock()) link->RenderFrame(SurfaceKind::Subtitle);
          });
        });
      }))) {
    DebugLog("CorvanePlugin: Failed to register video frame handlers\n");
    return;
  }
  DebugLog("CorvanePlugin: Video frame handlers registered\n");
}

void VideoController::SendEvent(EncodableMap event) {
  if (eventSink) eventSink->Success(EncodableValue(std::move(event)));
}

}  // namespace corvane::player
