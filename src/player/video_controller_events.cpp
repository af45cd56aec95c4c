// The engine's notifications, handled on the platform thread, and the
// pass that finishes loading a source.
#include "player/video_controller.h"

#include "platform/debug_log.h"
#include "player/engine_link.h"
#include "player/engine_time.h"
#include "player/media_info_event.h"
#include "player/player_events.h"

namespace corvane::player {

using flutter::EncodableMap;
using platform::DebugLog;
using platform::DebugLogf;
using platform::Failed;
using platform::GetRealTimePlayback;
using platform::hresult;
using platform::hresult_error;
using platform::MediaPlaybackSession;
using platform::TimeSpan;
using platform::ToHresult;

// ---- Engine notifications, on the platform thread ----

// The size is already taken in, on the engine thread (EngineLink::VideoSizeStep).
void VideoController::OnVideoSizeChanged(uint32_t width, uint32_t height) {
  if (State() == PlayerState::kClosed) return;
  // %u: the Windows C runtime's printf knows no %zu.
  DebugLogf("CorvanePlugin: Video size changed to %ux%u\n", static_cast<unsigned>(width),
            static_cast<unsigned>(height));
  SendEvent(VideoSizeEvent(width, height));
}

void VideoController::OnPositionChanged() {
  if (State() > PlayerState::kOpening) ReportPosition();
}

void VideoController::ReportPosition() {
  if (GetRealTimePlayback(*link_->mediaPlayer)) return;
  const int64_t now = TicksToMs(link_->mediaPlayer->PlaybackSession()->Position());
  if (now == positionMs) return;
  positionMs = now;
  SendEvent(PositionEvent(positionMs));
}

void VideoController::OnBufferedRangesChanged(const std::shared_ptr<MediaPlaybackSession>& session) {
  if (State() == PlayerState::kClosed || !isRemoteSource || GetRealTimePlayback(*link_->mediaPlayer)) return;
  const auto ranges = session->GetBufferedRanges();
  for (const auto& range : ranges) {
    const TimeSpan position = session->Position();
    if (range.start > position || position > range.end) continue;
    const int64_t endMs = TicksToMs(range.end);
    if (endMs == bufferedEndMs) return;
    bufferedEndMs = endMs;
    if (State() > PlayerState::kOpening) SendEvent(BufferEvent(TicksToMs(position), bufferedEndMs));
    return;
  }
}

void VideoController::OnSeekCompleted() {
  const PlayerState state = State();
  // The start seek completes the opening whether or not Dart listens yet:
  // a player whose listener comes late must still become playable.
  if (state == PlayerState::kOpening) {
    OnMediaOpened();
  } else if (state > PlayerState::kOpening) {
    SendEvent(SeekEndEvent());
  }
}

void VideoController::OnBuffering(bool started) {
  if (State() == PlayerState::kPlaying) SendEvent(LoadingEvent(started));
}

void VideoController::OnMediaEnded() {
  if (State() <= PlayerState::kPaused) return;
  if (GetRealTimePlayback(*link_->mediaPlayer)) {
    CloseSource();
  } else if (looping) {
    link_->mediaPlayer->Play();
  } else {
    link_->playerState.store(PlayerState::kPaused);
  }
  SendEvent(FinishedEvent());
}

void VideoController::OnMediaFailed(const platform::MediaPlayerFailedEventArgs& args) {
  if (State() == PlayerState::kClosed) return;
  // The error is reported even when releasing the failed source fails.
  const hresult closed = ToHresult([&] { CloseSource(); });
  SendEvent(ErrorEvent(args.Error()));
  if (Failed(closed)) throw hresult_error(closed, "closing the failed source");
}

void VideoController::OnMediaOpened() {
  if (State() != PlayerState::kOpening) return;
  DebugLog("CorvanePlugin: Media load completed\n");
  platform::MediaPlayer& player = *link_->mediaPlayer;
  auto session = player.PlaybackSession();
  link_->playerState.store(PlayerState::kPaused);
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
