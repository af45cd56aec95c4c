// One player: a media engine player, its two textures in the host (video
// and subtitles), its event channel "CorvanePlugin/<id>" and the playback
// settings Dart has chosen.
//
// Threads and ownership:
// - The plugin's player table holds the only lasting strong reference. The
//   controller is created, used and destroyed on the platform thread only:
//   engine threads never take a strong reference to it (they post tasks
//   holding a weak one, and tasks run on the platform thread), and the
//   raster thread never sees it at all.
// - What engine and raster threads do need (the engine player, the two
//   frame surfaces, the state byte, the pending start position) lives in a
//   small shared EngineLink that their handlers hold weakly. Frames are
//   drawn there, never on the platform thread: by engine threads, and by
//   the link's redraw worker when the platform thread asks for a redraw.
// - Destruction closes the engine player first (which waits for a running
//   handler only boundedly), detaches the texture registrar from the link
//   (a handler that outlasted the close then cannot reach it), unregisters
//   both textures (each texture object lives until the host reports its
//   unregistration complete) and removes the event channel's handler from
//   the messenger.
#ifndef CORVANE_PLAYER_VIDEO_CONTROLLER_H_
#define CORVANE_PLAYER_VIDEO_CONTROLLER_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/encodable_value.h"
#include "host/event_channel.h"
#include "host/event_stream_handler_functions.h"
#include "host/plugin_registrar.h"
#include "host/texture_registrar.h"
#include "platform/dispatcher_queue.h"
#include "platform/media_engine.h"
#include "platform/surface_device.h"
#include "player/player_state.h"
#include "player/source_uri.h"
#include "player/track_selection.h"

namespace corvane::player {

// What a player takes from its plugin registration.
struct PlayerEnvironment {
  std::shared_ptr<platform::MediaEngine> engine;
  std::shared_ptr<platform::DispatcherQueue> queue;  // null: tasks run inline
  std::shared_ptr<platform::SurfaceDevice> device;   // null: frames are dropped
  bool modern = true;  // the capability probe's answer
  // Read at each open: a relative path is taken from the working directory
  // of that moment.
  std::function<SourceLocation()> sourceLocation;
  std::function<std::vector<std::string>()> systemLanguages;
};

struct EngineLink;

class VideoController : public std::enable_shared_from_this<VideoController> {
 public:
  // Raises hresult_error when the engine cannot make a player.
  explicit VideoController(PlayerEnvironment environment);
  ~VideoController();
  VideoController(const VideoController&) = delete;
  VideoController& operator=(const VideoController&) = delete;

  // Registers the textures, opens the event channel and subscribes to the
  // engine. Call once, right after construction inside a shared owner.
  // Raises hresult_error when the host refuses a texture.
  void Initialize(flutter::PluginRegistrar* registrar);

  // Platform thread. Ends the link's redraws and closes the engine player:
  // once it returns no engine handler starts, and one that outlasted the
  // close's bounded wait holds the link, which keeps what it touches, so
  // the caller's reference can be the last. The destructor does it too.
  void ClosePlayer();

  int64_t videoTextureId() const { return videoTextureId_; }
  int64_t subtitleTextureId() const { return subtitleTextureId_; }
  PlayerState State() const;

  // The methods of the channel. Engine failures raise hresult_error.
  void Open(const std::string& source);
  void CloseSource();
  void Play();
  void Pause();
  void SeekTo(int64_t positionMs);  // 0 or more
  void SetVolume(float volume);     // 0 to 1
  void SetSpeed(float rate);        // above 0
  void SetLooping(bool looping);
  void SetShowSubtitle(bool show);
  void SetMaxResolution(int32_t width, int32_t height);
  void SetMaxBitRate(int32_t bitRate);
  void SetPreferredAudioLanguage(const std::string& tag);
  void SetPreferredSubtitleLanguage(const std::string& tag);
  void OverrideTrack(int32_t group, int32_t track, bool enabled);

 private:
  friend struct EngineLink;

  // Platform-thread work behind the engine's notifications.
  void OnVideoSizeChanged(uint32_t width, uint32_t height);
  void OnPositionChanged();
  void OnBufferedRangesChanged(const std::shared_ptr<platform::MediaPlaybackSession>& session);
  void OnSeekCompleted();
  void OnBuffering(bool started);
  void OnMediaEnded();
  void OnMediaFailed(const platform::MediaPlayerFailedEventArgs& args);
  void OnMediaOpened();

  void ReportPosition();
  void SendEvent(flutter::EncodableMap event);
  void SubscribeToEngine();
  void RefreshSubtitles();
  std::shared_ptr<platform::MediaPlaybackItem> CurrentItem() const;
  int16_t ChooseTrackFor(TrackGroup group) const;
  void ApplyVideoLimits();
  bool IsLoaded() const;

  const PlayerEnvironment environment_;
  // Shared with the engine and raster threads' handlers.
  const std::shared_ptr<EngineLink> link_;

  // Platform thread only.
  flutter::TextureRegistrar* textureRegistrar = nullptr;
  std::shared_ptr<flutter::TextureVariant> videoTexture;
  std::shared_ptr<flutter::TextureVariant> subtitleTexture;
  std::unique_ptr<flutter::EventChannel<flutter::EncodableValue>> eventChannel;
  std::unique_ptr<flutter::EventSink<flutter::EncodableValue>> eventSink;
  int64_t videoTextureId_ = -1;
  int64_t subtitleTextureId_ = -1;
  std::string source;
  bool isRemoteSource = false;
  int64_t positionMs = 0;  // last reported in a "position" event
  int64_t bufferedEndMs = 0;
  std::string preferredAudioLanguage;
  std::string preferredSubtitleLanguage;
  float volume = 1.0f;
  float playbackRate = 1.0f;
  VideoLimits limits;
  int16_t audioTrackOverride = -1;
  int16_t subtitleTrackOverride = -1;
  bool looping = false;
  bool playerClosed = false;
};

}  // namespace corvane::player

#endif  // CORVANE_PLAYER_VIDEO_CONTROLLER_H_
