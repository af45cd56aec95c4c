// The part of a player that engine threads (frame copies, the size change,
// the media-opened step), the redraw worker and the raster thread (texture
// callbacks) reach. The controller owns it; their handlers hold it weakly,
// and it owns (or shares) everything they touch, except the host's texture
// registrar, which it reaches only through a marker the controller
// detaches. Its destructor only drops references and ends the redraw
// worker, so whichever thread lets go last may run it.
#ifndef CORVANE_PLAYER_ENGINE_LINK_H_
#define CORVANE_PLAYER_ENGINE_LINK_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/dispatcher_queue.h"
#include "platform/engine_core/engine_thread.h"
#include "platform/media_engine.h"
#include "player/player_state.h"
#include "player/texture_marker.h"
#include "render/frame_surface.h"

namespace corvane::player {

class VideoController;

struct EngineLink : std::enable_shared_from_this<EngineLink> {
  EngineLink(std::shared_ptr<platform::MediaPlayer> player, std::shared_ptr<platform::DispatcherQueue> queue,
             std::shared_ptr<platform::SurfaceDevice> device);

  // Set before the engine is subscribed, constant afterwards.
  const std::shared_ptr<platform::MediaPlayer> mediaPlayer;
  const std::shared_ptr<platform::DispatcherQueue> queue;
  const std::shared_ptr<render::FrameSurface> videoSurface;
  const std::shared_ptr<render::FrameSurface> subtitleSurface;
  int64_t videoTextureId = -1;
  int64_t subtitleTextureId = -1;
  // For posting only: engine threads never lock it.
  std::weak_ptr<VideoController> controller;

  // Attached before the engine is subscribed; the controller detaches it
  // before it unregisters the textures.
  TextureMarker textureMarker;

  // Written on the platform thread, read by the media-opened step.
  std::atomic<PlayerState> playerState{PlayerState::kClosed};

  // Which source the engine's notifications belong to. The platform thread
  // moves it on, under openingMutex, once the engine has detached a source;
  // a task posted for an earlier source is then dropped, and a media-opened
  // step of an earlier source still running stops, so neither acts on the
  // next one.
  std::atomic<platform::SourceNumber> sourceNumber{0};

  // Whether the engine has announced a video frame of the current source.
  // A frame that came before its size was known could not be drawn; the
  // size change draws the newest frame then, so a paused player still
  // shows it.
  std::atomic<bool> videoFrameArrived{false};

  // The opening of the current source, under openingMutex: its start
  // position, and whether the start seek has gone to the engine. The
  // media-opened step issues it exactly once under the mutex, so a seekTo
  // racing with it is either taken along as the start or issued as a seek
  // of its own, after the start seek. The size step takes a size in under
  // the mutex too, and closing a source leaves the state and the wanted
  // sizes under it, so a size of a source being closed is never taken in
  // after its close.
  struct OpeningStep {
    enum class Phase { kAwaitingMedia, kStartSeekIssued };
    Phase phase = Phase::kAwaitingMedia;
    int64_t startMs = 0;
  };
  std::mutex openingMutex;
  OpeningStep opening;  // guarded by openingMutex

  // Engine threads: copies the newest frame (or subtitle cue) of `kind`
  // into its texture and tells the host.
  void RenderFrame(render::SurfaceKind kind);

  // Engine thread: the first step once the engine has opened a source.
  void MediaOpenedStep();

  // Engine thread: the natural video size changed. Takes the size in as the
  // surfaces' wanted size, posts the platform thread's part, then draws the
  // newest frame at that size: a frame decoded before the size was known
  // was skipped, and a paused player may decode no other.
  void VideoSizeStep(const std::shared_ptr<platform::MediaPlaybackSession>& session);

  // Platform thread. Has the current subtitle cue drawn again on the redraw
  // worker, never on the platform thread: a draw may wait for the host to
  // release the texture.
  void RequestSubtitleRedraw();
  // Platform thread, at teardown. Ends the redraw worker after the redraws
  // already asked for, and refuses later ones; never waits for it.
  void StopRedraws();

  // Posts `work` to run on the platform thread with the controller, if it
  // still exists then and its source is still the one of the posting.
  void Post(std::function<void(VideoController&)> work);
  // The same for the source numbered `source`.
  void PostFor(platform::SourceNumber source, std::function<void(VideoController&)> work);

 private:
  // Made at the first redraw request; platform thread only, but for its
  // destruction. Its tasks hold this link weakly: the last owner may then
  // let go on the worker itself, and an owner that lets go elsewhere finds
  // no redraw that holds the link. StopRedraws hands the worker's thread to
  // the engine watchdog, so the platform thread never joins it.
  std::unique_ptr<platform::EngineThread> redrawWorker_;
  bool redrawsStopped_ = false;  // platform thread only
};

}  // namespace corvane::player

#endif  // CORVANE_PLAYER_ENGINE_LINK_H_
