#include "player/video_controller.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>

#include "host/standard_method_codec.h"
#include "platform/debug_log.h"
#include "player/engine_link.h"
#include "player/media_info_event.h"
#include "player/player_events.h"

namespace corvane::player {

using flutter::EncodableMap;
using flutter::EncodableValue;
using platform::DebugLog;
using platform::DebugLogf;
using platform::Failed;
using platform::GetRealTimePlayback;
using platform::hresult;
using platform::hresult_error;
using platform::kOk;
using platform::MediaPlaybackSession;
using platform::TimeSpan;
using platform::ToHresult;
using render::SurfaceKind;

namespace {

constexpr int64_t kTicksPerMs = 10000;

// Milliseconds as engine ticks, saturating instead of overflowing.
TimeSpan MsToTicks(int64_t ms) {
  constexpr int64_t kLargest = std::numeric_limits<int64_t>::max() / kTicksPerMs;
  return TimeSpan(std::clamp<int64_t>(ms, -kLargest, kLargest) * kTicksPerMs);
}

int64_t TicksToMs(TimeSpan ticks) { return ticks.count() / kTicksPerMs; }

}  // namespace

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

VideoController::~VideoController() {
  // After Close no engine handler runs, so nothing below races with one.
  if (Failed(ToHresult([&] { link_->mediaPlayer->Close(); }))) {
    DebugLog("CorvanePlugin: Failed to close media player\n");
  }
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

uint8_t VideoController::State() const { return link_->PlayerState.load(); }

bool VideoController::IsLoaded() const {
  const uint8_t state = State();
  return state == kPaused || state == kPlaying;
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
  link_->textureRegistrar = textureRegistrar;
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
  // Engine threads only post; the work runs on the platform thread.
  auto posting = [weakLink](std::function<void(VideoController&)> work) {
    if (auto link = weakLink.lock()) link->Post(std::move(work));
    return kOk;
  };
  platform::MediaPlayer& player = *link_->mediaPlayer;
  if (Failed(ToHresult([&] {
        auto session = player.PlaybackSession();
        session->NaturalVideoSizeChanged([posting](const std::shared_ptr<MediaPlaybackSession>& sender) {
          return posting([sender](VideoController& self) { self.OnVideoSizeChanged(sender); });
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

// ---- Sources ----

void VideoController::Open(const std::string& input) {
  DebugLog("CorvanePlugin: Opening media source\n");
  CloseSource();
  const ResolvedSource resolved = ResolveSourceUri(input, environment_.sourceLocation);
  source = input;
  isRemoteSource = resolved.isRemote;
  link_->PlayerState.store(kOpening);
  DebugLogf("CorvanePlugin: Setting media source to: %s\n", input.c_str());
  if (Failed(ToHresult([&] {
        auto mediaSource = platform::MediaSource::CreateFromUri(resolved.uri);
        link_->mediaPlayer->Source(std::make_shared<platform::MediaPlaybackItem>(mediaSource));
      }))) {
    DebugLog("CorvanePlugin: Failed to set media source\n");
    link_->PlayerState.store(kClosed);
    return;
  }
  DebugLog("CorvanePlugin: Media source set successfully\n");
}

void VideoController::CloseSource() {
  link_->PlayerState.store(kClosed);
  // The wanted size goes first: a frame of the old source that is still
  // being delivered then makes no new texture.
  link_->videoSurface->SetWantedSize(0, 0);
  link_->subtitleSurface->SetWantedSize(0, 0);
  positionMs = 0;
  bufferedEndMs = 0;
  audioTrackOverride = -1;
  subtitleTrackOverride = -1;
  source.clear();
  isRemoteSource = false;
  {
    std::lock_guard<std::mutex> lock(link_->openingMutex);
    link_->pendingStartMs = 0;
    link_->startIssued = false;
  }
  // The surfaces are closed once the engine has stopped delivering the old
  // source's frames, also when detaching it fails.
  struct CloseSurfacesAtExit {
    EngineLink& link;
    ~CloseSurfacesAtExit() {
      link.videoSurface->Close();
      link.subtitleSurface->Close();
    }
  } closeSurfaces{*link_};
  platform::MediaPlayer& player = *link_->mediaPlayer;
  if (auto current = player.Source()) {
    player.Source(nullptr);
    if (auto mediaSource = current->Source()) mediaSource->Close();
  }
}

// ---- Playback ----

void VideoController::Play() {
  const uint8_t state = State();
  if (state != kPaused) {
    DebugLogf("CorvanePlugin: Cannot play - current state: %d\n", state);
    return;
  }
  DebugLog("CorvanePlugin: Starting playback\n");
  link_->PlayerState.store(kPlaying);
  try {
    link_->mediaPlayer->Play();
  } catch (...) {
    link_->PlayerState.store(kPaused);
    throw;
  }
}

void VideoController::Pause() {
  if (State() != kPlaying) return;
  link_->PlayerState.store(kPaused);
  try {
    link_->mediaPlayer->Pause();
  } catch (...) {
    link_->PlayerState.store(kPlaying);
    throw;
  }
}

void VideoController::SeekTo(int64_t targetMs) {
  auto session = link_->mediaPlayer->PlaybackSession();
  if (State() == kOpening) {
    std::lock_guard<std::mutex> lock(link_->openingMutex);
    if (!link_->startIssued) {
      link_->pendingStartMs = targetMs;
      return;
    }
  }
  const bool alreadyThere = eventSink && link_->mediaPlayer->Source() &&
                            !GetRealTimePlayback(*link_->mediaPlayer) &&
                            TicksToMs(session->Position()) == targetMs;
  if (alreadyThere) {
    SendEvent(SeekEndEvent());
    return;
  }
  // While opening, the start seek has already been issued: this one follows
  // it rather than being lost.
  if (State() != kClosed) session->Position(MsToTicks(targetMs));
}

void VideoController::SetVolume(float value) {
  volume = value;
  link_->mediaPlayer->Volume(static_cast<double>(volume));
}

void VideoController::SetSpeed(float rate) {
  playbackRate = rate;
  link_->mediaPlayer->PlaybackSession()->PlaybackRate(static_cast<double>(playbackRate));
}

void VideoController::SetLooping(bool value) { looping = value; }

void VideoController::SetShowSubtitle(bool show) {
  const bool wasShown = link_->subtitleSurface->IsActive();
  link_->subtitleSurface->SetActive(show);
  // The texture went stale while hidden; it is offered again only once it
  // has been drawn afresh, so do that now rather than at the next cue.
  if (show && !wasShown) RefreshSubtitles();
}

void VideoController::RefreshSubtitles() {
  if (State() == kClosed || !environment_.modern || !link_->subtitleSurface->HasWantedSize()) return;
  link_->RenderFrame(SurfaceKind::Subtitle);
}

// ---- Tracks ----

std::shared_ptr<platform::MediaPlaybackItem> VideoController::CurrentItem() const {
  auto item = link_->mediaPlayer->Source();
  if (!item) throw hresult_error(platform::kIllegalMethodCall, "the player has no source");
  return item;
}

int16_t VideoController::ChooseTrackFor(TrackGroup group) const {
  const std::string& tag = group == TrackGroup::Audio ? preferredAudioLanguage : preferredSubtitleLanguage;
  std::vector<std::string> languages;
  if (tag.empty() && environment_.systemLanguages) languages = environment_.systemLanguages();
  return ChooseTrack(group, *CurrentItem(), tag, languages);
}

void VideoController::ApplyVideoLimits() {
  if (!IsLoaded()) return;
  auto tracks = CurrentItem()->VideoTracks();
  ApplyTrackChoice(*tracks, ChooseVideoTrack(*tracks, limits));
}

void VideoController::SetMaxResolution(int32_t width, int32_t height) {
  limits.maxWidth = static_cast<uint16_t>(width);
  limits.maxHeight = static_cast<uint16_t>(height);
  ApplyVideoLimits();
}

void VideoController::SetMaxBitRate(int32_t bitRate) {
  limits.maxBitRate = static_cast<uint32_t>(bitRate);
  ApplyVideoLimits();
}

void VideoController::SetPreferredAudioLanguage(const std::string& tag) {
  preferredAudioLanguage = tag;
  if (!IsLoaded() || audioTrackOverride >= 0) return;
  const int16_t choice = ChooseTrackFor(TrackGroup::Audio);
  ApplyTrackChoice(*CurrentItem()->AudioTracks(), choice);
}

void VideoController::SetPreferredSubtitleLanguage(const std::string& tag) {
  preferredSubtitleLanguage = tag;
  if (!IsLoaded() || subtitleTrackOverride >= 0) return;
  const int16_t choice = ChooseTrackFor(TrackGroup::Text);
  PresentTextTrack(*CurrentItem()->TimedMetadataTracks(), choice);
}

void VideoController::OverrideTrack(int32_t group, int32_t track, bool enabled) {
  if (!IsLoaded()) return;
  const auto position = static_cast<int16_t>(track);
  if (group == static_cast<int32_t>(TrackGroup::Audio)) {
    int16_t index = position;
    if (!enabled) index = std::max<int16_t>(ChooseTrackFor(TrackGroup::Audio), 0);
    CurrentItem()->AudioTracks()->SelectedIndex(index);
    audioTrackOverride = enabled ? position : -1;
  } else if (group == static_cast<int32_t>(TrackGroup::Text)) {
    const int16_t index = enabled ? position : ChooseTrackFor(TrackGroup::Text);
    PresentTextTrack(*CurrentItem()->TimedMetadataTracks(), index);
    subtitleTrackOverride = enabled ? position : -1;
  }
}

// ---- Engine notifications, on the platform thread ----

void VideoController::OnVideoSizeChanged(const std::shared_ptr<MediaPlaybackSession>& session) {
  if (State() == kClosed) return;
  const uint32_t width = session->NaturalVideoWidth();
  const uint32_t height = session->NaturalVideoHeight();
  link_->videoSurface->SetWantedSize(width, height);
  link_->subtitleSurface->SetWantedSize(width, height);
  DebugLogf("CorvanePlugin: Video size changed to %zux%zu\n", static_cast<size_t>(width),
            static_cast<size_t>(height));
  SendEvent(VideoSizeEvent(width, height));
}

void VideoController::OnPositionChanged() {
  if (State() > kOpening) ReportPosition();
}

void VideoController::ReportPosition() {
  if (GetRealTimePlayback(*link_->mediaPlayer)) return;
  const int64_t now = TicksToMs(link_->mediaPlayer->PlaybackSession()->Position());
  if (now == positionMs) return;
  positionMs = now;
  SendEvent(PositionEvent(positionMs));
}

void VideoController::OnBufferedRangesChanged(const std::shared_ptr<MediaPlaybackSession>& session) {
  if (State() == kClosed || !isRemoteSource || GetRealTimePlayback(*link_->mediaPlayer)) return;
  const auto ranges = session->GetBufferedRanges();
  for (const auto& range : ranges) {
    const TimeSpan position = session->Position();
    if (range.start > position || position > range.end) continue;
    const int64_t endMs = TicksToMs(range.end);
    if (endMs == bufferedEndMs) return;
    bufferedEndMs = endMs;
    if (State() > kOpening) SendEvent(BufferEvent(TicksToMs(position), bufferedEndMs));
    return;
  }
}

void VideoController::OnSeekCompleted() {
  const uint8_t state = State();
  // The start seek completes the opening whether or not Dart listens yet:
  // a player whose listener comes late must still become playable.
  if (state == kOpening) {
    OnMediaOpened();
  } else if (state > kOpening) {
    SendEvent(SeekEndEvent());
  }
}

void VideoController::OnBuffering(bool started) {
  if (State() == kPlaying) SendEvent(LoadingEvent(started));
}

void VideoController::OnMediaEnded() {
  if (State() <= kPaused) return;
  if (GetRealTimePlayback(*link_->mediaPlayer)) {
    CloseSource();
  } else if (looping) {
    link_->mediaPlayer->Play();
  } else {
    link_->PlayerState.store(kPaused);
  }
  SendEvent(FinishedEvent());
}

void VideoController::OnMediaFailed(const platform::MediaPlayerFailedEventArgs& args) {
  if (State() == kClosed) return;
  // The error is reported even when releasing the failed source fails.
  const hresult closed = ToHresult([&] { CloseSource(); });
  SendEvent(ErrorEvent(args.Error()));
  if (Failed(closed)) throw hresult_error(closed, "closing the failed source");
}

void VideoController::OnMediaOpened() {
  if (State() != kOpening) return;
  DebugLog("CorvanePlugin: Media load completed\n");
  platform::MediaPlayer& player = *link_->mediaPlayer;
  auto session = player.PlaybackSession();
  link_->PlayerState.store(kPaused);
  player.Volume(static_cast<double>(volume));
  session->PlaybackRate(static_cast<double>(playbackRate));
  DebugLogf("CorvanePlugin: Video dimensions: %ux%u\n", session->NaturalVideoWidth(), session->NaturalVideoHeight());
  auto item = CurrentItem();
  auto audioTracks = item->AudioTracks();
  ApplyTrackChoice(*audioTracks, ChooseTrackFor(TrackGroup::Audio));
  DebugLogf("CorvanePlugin: Found %u audio tracks\n", audioTracks->Size());
  EncodableMap audioEntries = DescribeAudioTracks(*audioTracks);
  auto textTracks = item->TimedMetadataTracks();
  const int16_t textChoice = ChooseTrackFor(TrackGroup::Text);
  DebugLogf("CorvanePlugin: Found %u subtitle tracks\n", textTracks->Size());
  EncodableMap textEntries = DescribeAndPresentTextTracks(*textTracks, textChoice);
  if (!eventSink) return;
  DebugLog("CorvanePlugin: Sending mediaInfo event\n");
  const bool realTime = GetRealTimePlayback(player);
  const int64_t durationMs = MediaInfoDurationMs(realTime, session->NaturalDuration());
  SendEvent(MediaInfoEvent(std::move(audioEntries), std::move(textEntries), durationMs, source));
  ReportPosition();
  if (isRemoteSource && !GetRealTimePlayback(player) && bufferedEndMs > positionMs) {
    SendEvent(BufferEvent(positionMs, bufferedEndMs));
  }
}

}  // namespace corvane::player
