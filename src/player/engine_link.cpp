#include "player/engine_link.h"

#include "platform/debug_log.h"
#include "player/engine_time.h"
#include "player/video_controller.h"

namespace corvane::player {

using platform::DebugLog;
using render::FrameOutcome;
using render::SurfaceKind;

EngineLink::EngineLink(std::shared_ptr<platform::MediaPlayer> player,
                       std::shared_ptr<platform::DispatcherQueue> dispatcher,
                       std::shared_ptr<platform::SurfaceDevice> device)
    : mediaPlayer(std::move(player)),
      queue(std::move(dispatcher)),
      videoSurface(std::make_shared<render::FrameSurface>(SurfaceKind::Video, device)),
      subtitleSurface(std::make_shared<render::FrameSurface>(SurfaceKind::Subtitle, device)) {}

void EngineLink::RenderFrame(SurfaceKind kind) {
  render::FrameSurface& surface = kind == SurfaceKind::Video ? *videoSurface : *subtitleSurface;
  const int64_t textureId = kind == SurfaceKind::Video ? videoTextureId : subtitleTextureId;
  if (!surface.IsActive()) return;
  if (kind == SurfaceKind::Video) videoFrameArrived.store(true);
  if (!surface.HasWantedSize()) {
    DebugLog("CorvanePlugin: Buffer dimensions are zero, skipping frame\n");
    return;
  }
  const FrameOutcome outcome = surface.Render([&](platform::VideoSurface& target) {
    if (kind == SurfaceKind::Video) {
      mediaPlayer->CopyFrameToVideoSurface(target);
    } else {
      mediaPlayer->RenderSubtitlesToSurface(target);
    }
  });
  // Told once the frame is in the texture: a fetch prompted by an earlier
  // mark could take the mutex before this copy and return the previous
  // content, and a subtitle cue shown that way would never be seen.
  if (outcome == FrameOutcome::Drawn) textureMarker.MarkFrameAvailable(textureId);
}

void EngineLink::VideoSizeStep(const std::shared_ptr<platform::MediaPlaybackSession>& session) {
  const platform::SourceNumber source = sourceNumber.load();
  const uint32_t width = session->NaturalVideoWidth();
  const uint32_t height = session->NaturalVideoHeight();
  {
    // A close of this source has either left the state closed already, and
    // the size is dropped, or zeroes the wanted sizes after it.
    std::lock_guard<std::mutex> lock(openingMutex);
    if (playerState.load() == PlayerState::kClosed || sourceNumber.load() != source) return;
    videoSurface->SetWantedSize(width, height);
    subtitleSurface->SetWantedSize(width, height);
  }
  // Posted before the draw, which may take a while: the host is told the
  // size no later than it would have been without the frame, and before
  // the drawn frame in the usual case.
  PostFor(source, [width, height](VideoController& controller) { controller.OnVideoSizeChanged(width, height); });
  // Only frame handlers set the flag, and they are subscribed only where
  // frames are served.
  if (videoFrameArrived.load()) RenderFrame(SurfaceKind::Video);
}

void EngineLink::RequestSubtitleRedraw() {
  if (redrawsStopped_) return;
  if (!redrawWorker_) redrawWorker_ = std::make_unique<platform::EngineThread>("corvane-redraw");
  redrawWorker_->Post([weak = weak_from_this()] {
    if (auto link = weak.lock()) link->RenderFrame(SurfaceKind::Subtitle);
  });
}

void EngineLink::StopRedraws() {
  redrawsStopped_ = true;
  if (redrawWorker_) redrawWorker_->StopWithoutWaiting();
}

void EngineLink::MediaOpenedStep() {
  const platform::SourceNumber source = sourceNumber.load();
  if (playerState.load() != PlayerState::kOpening) return;
  auto session = mediaPlayer->PlaybackSession();
  const bool live = session->NaturalDuration() == platform::kLiveDuration;
  if (sourceNumber.load() != source) return;
  platform::SetRealTimePlayback(*mediaPlayer, live);
  if (live) {
    PostFor(source, [](VideoController& controller) { controller.OnMediaOpened(); });
    return;
  }
  // The seek is issued under the mutex: a seekTo that finds the start taken
  // must find it already on its way to the engine, or its own seek could
  // reach the engine first and be overtaken by the start seek.
  std::lock_guard<std::mutex> lock(openingMutex);
  // A step still running for a source that has since been replaced would
  // seek the next one and mark its start as taken.
  if (sourceNumber.load() != source) return;
  session->Position(MsToTicks(opening.startMs));
  opening.phase = OpeningStep::Phase::kStartSeekIssued;
}

void EngineLink::Post(std::function<void(VideoController&)> work) { PostFor(sourceNumber.load(), std::move(work)); }

void EngineLink::PostFor(platform::SourceNumber source, std::function<void(VideoController&)> work) {
  platform::SafeEnqueue(queue.get(), [weak = controller, source, work = std::move(work)] {
    auto self = weak.lock();
    if (self && self->link_->sourceNumber.load() == source) work(*self);
  });
}

}  // namespace corvane::player
