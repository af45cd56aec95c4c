// The player methods of the channel: sources, playback, settings, tracks.
#include "player/video_controller.h"

#include <algorithm>

#include "platform/debug_log.h"
#include "player/engine_link.h"
#include "player/engine_time.h"
#include "player/player_events.h"

namespace corvane::player {

using platform::DebugLog;
using platform::DebugLogf;
using platform::Failed;
using platform::GetRealTimePlayback;
using platform::hresult_error;
using platform::ToHresult;

// ---- Sources ----

void VideoController::Open(const std::string& input) {
  DebugLog("CorvanePlugin: Opening media source\n");
  CloseSource();
  const ResolvedSource resolved = ResolveSourceUri(input, environment_.sourceLocation());
  source = input;
  isRemoteSource = resolved.isRemote;
  link_->playerState.store(PlayerState::kOpening);
  DebugLogf("CorvanePlugin: Setting media source to: %s\n", input.c_str());
  if (Failed(ToHresult([&] {
        auto mediaSource = platform::MediaSource::CreateFromUri(resolved.uri);
        link_->mediaPlayer->Source(std::make_shared<platform::MediaPlaybackItem>(mediaSource));
      }))) {
    DebugLog("CorvanePlugin: Failed to set media source\n");
    link_->playerState.store(PlayerState::kClosed);
    return;
  }
  DebugLog("CorvanePlugin: Media source set successfully\n");
}

void VideoController::CloseSource() {
  {
    // Under the mutex, against a size step of the old source taking its
    // size in after this.
    std::lock_guard<std::mutex> lock(link_->openingMutex);
    link_->playerState.store(PlayerState::kClosed);
    // The wanted size goes first: a frame of the old source that is still
    // being delivered then makes no new texture.
    link_->videoSurface->SetWantedSize(0, 0);
    link_->subtitleSurface->SetWantedSize(0, 0);
  }
  positionMs = 0;
  bufferedEndMs = 0;
  audioTrackOverride = -1;
  subtitleTrackOverride = -1;
  source.clear();
  isRemoteSource = false;
  // The surfaces are closed once the engine has stopped delivering the old
  // source's frames, also when detaching it fails. The start position is
  // reset only then as well: a media-opened step of the old source that is
  // still running could otherwise mark the next source's start as issued.
  struct CloseSurfacesAtExit {
    EngineLink& link;
    ~CloseSurfacesAtExit() {
      {
        // Tasks the old source's notifications have queued, and a
        // media-opened step of it still running, find a new number and do
        // nothing.
        std::lock_guard<std::mutex> lock(link.openingMutex);
        link.opening = {};
        link.sourceNumber.fetch_add(1);
      }
      link.videoSurface->Close();
      link.subtitleSurface->Close();
      link.videoFrameArrived.store(false);
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
  const PlayerState state = State();
  if (state != PlayerState::kPaused) {
    DebugLogf("CorvanePlugin: Cannot play - current state: %d\n", static_cast<int>(state));
    return;
  }
  DebugLog("CorvanePlugin: Starting playback\n");
  link_->playerState.store(PlayerState::kPlaying);
  try {
    link_->mediaPlayer->Play();
  } catch (...) {
    link_->playerState.store(PlayerState::kPaused);
    throw;
  }
}

void VideoController::Pause() {
  if (State() != PlayerState::kPlaying) return;
  link_->playerState.store(PlayerState::kPaused);
  try {
    link_->mediaPlayer->Pause();
  } catch (...) {
    link_->playerState.store(PlayerState::kPlaying);
    throw;
  }
}

void VideoController::SeekTo(int64_t targetMs) {
  auto session = link_->mediaPlayer->PlaybackSession();
  if (State() == PlayerState::kOpening) {
    std::lock_guard<std::mutex> lock(link_->openingMutex);
    if (link_->opening.phase == EngineLink::OpeningStep::Phase::kAwaitingMedia) {
      link_->opening.startMs = targetMs;
      return;
    }
    // The start seek is on its way and its completion ends the opening.
    // This seek follows it, and its own completion brings "seekEnd" after
    // "mediaInfo": never answered at once, which would put "seekEnd" first.
    session->Position(MsToTicks(targetMs));
    return;
  }
  const bool alreadyThere = eventSink && link_->mediaPlayer->Source() &&
                            !GetRealTimePlayback(*link_->mediaPlayer) &&
                            TicksToMs(session->Position()) == targetMs;
  if (alreadyThere) {
    SendEvent(SeekEndEvent());
    return;
  }
  if (State() != PlayerState::kClosed) session->Position(MsToTicks(targetMs));
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
  if (playerClosed || State() == PlayerState::kClosed || !environment_.modern || !link_->subtitleSurface->HasWantedSize()) return;
  link_->RequestSubtitleRedraw();
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

}  // namespace corvane::player
