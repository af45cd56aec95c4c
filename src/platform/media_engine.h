// The media engine as the player uses it.
//
// These types mirror the operations and notifications of the Windows media
// engine (MediaPlayer, MediaPlaybackSession, MediaPlaybackItem, MediaSource
// and the track lists) in plain C++ of our own, so the player is written once
// and each system supplies an engine behind it: GStreamer on Linux
// (src/platform/gst), MediaPlayer on Windows (src/platform/windows/media),
// and a scripted fake in the tests. No GStreamer, GLib or Windows type
// appears here.
//
// Errors: a failing operation raises hresult_error with the engine's code.
// Notifications: each is delivered on an engine thread (never inside the
// caller's call, never on the host's platform thread, outside every lock of
// the engine) to a handler that returns an hresult. A handler may call back
// into the engine, reads and commands alike, without deadlock.
// Units: time in 100-nanosecond ticks (TimeSpan), sizes in pixels, bit rates
// in bits per second, sample rates in Hz.
#ifndef CORVANE_PLATFORM_MEDIA_ENGINE_H_
#define CORVANE_PLATFORM_MEDIA_ENGINE_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/hresult.h"

namespace corvane::platform {

class VideoSurface;

// The engine's clock unit: 100 nanoseconds.
using TimeSpan = std::chrono::duration<int64_t, std::ratio<1, 10'000'000>>;

// The numbering of the sources a player is given: 0 is "no source yet",
// each source set takes the next number. An engine's notifications,
// commands and track lists, and the player's posted tasks, carry the number
// of the source they belong to, so that nothing of one source acts on the
// next.
using SourceNumber = uint64_t;

// NaturalDuration of a live source, whose end is unknown.
inline constexpr TimeSpan kLiveDuration = TimeSpan::max();

enum class MediaPlayerError : int32_t {
  Unknown = 0,
  Aborted = 1,
  NetworkError = 2,
  DecodingError = 3,
  SourceNotSupported = 4,
};

enum class TimedMetadataKind : int32_t {
  Caption = 0,
  Chapter = 1,
  Custom = 2,
  Data = 3,
  Description = 4,
  Subtitle = 5,
  ImageSubtitle = 6,
  Speech = 7,
};

enum class TimedMetadataTrackPresentationMode : int32_t {
  Disabled = 0,
  Hidden = 1,
  ApplicationPresented = 2,
  PlatformPresented = 3,
};

struct AudioEncodingProperties {
  std::string subtype;  // upper-case short codec name: "AAC", "OPUS", ...
  uint32_t bitrate = 0;
  uint32_t channelCount = 0;
  uint32_t sampleRate = 0;

  const std::string& Subtype() const { return subtype; }
  uint32_t Bitrate() const { return bitrate; }
  uint32_t ChannelCount() const { return channelCount; }
  uint32_t SampleRate() const { return sampleRate; }
};

struct VideoEncodingProperties {
  std::string subtype;  // "H264", "VP9", ...
  uint32_t bitrate = 0;
  uint32_t width = 0;
  uint32_t height = 0;

  const std::string& Subtype() const { return subtype; }
  uint32_t Bitrate() const { return bitrate; }
  uint32_t Width() const { return width; }
  uint32_t Height() const { return height; }
};

// Track facts are values copied out of the engine. Strings are UTF-8; an
// unknown string is empty. Language is a BCP-47 tag ("en", "en-US").
struct AudioTrack {
  std::string name, label, language;
  AudioEncodingProperties encoding;

  const std::string& Name() const { return name; }
  const std::string& Label() const { return label; }
  const std::string& Language() const { return language; }
  AudioEncodingProperties GetEncodingProperties() const { return encoding; }
};

struct VideoTrack {
  std::string name, label, language;
  VideoEncodingProperties encoding;

  const std::string& Name() const { return name; }
  const std::string& Label() const { return label; }
  const std::string& Language() const { return language; }
  VideoEncodingProperties GetEncodingProperties() const { return encoding; }
};

struct TimedMetadataTrack {
  std::string name, label, language;
  corvane::platform::TimedMetadataKind kind = TimedMetadataKind::Subtitle;

  const std::string& Name() const { return name; }
  const std::string& Label() const { return label; }
  const std::string& Language() const { return language; }
  corvane::platform::TimedMetadataKind TimedMetadataKind() const { return kind; }
};

// An audio or video track list. GetAt out of range raises
// hresult_error(kBoundsError). SelectedIndex is -1 when nothing is selected;
// setting it switches the active stream, during playback too.
template <typename Track>
class MediaTrackList {
 public:
  virtual ~MediaTrackList() = default;
  virtual uint32_t Size() const = 0;
  virtual Track GetAt(uint32_t index) const = 0;
  virtual int32_t SelectedIndex() const = 0;
  virtual void SelectedIndex(int32_t index) = 0;
};

using AudioTrackList = MediaTrackList<AudioTrack>;
using VideoTrackList = MediaTrackList<VideoTrack>;

// The item's timed-metadata (text) tracks. A track whose mode is
// PlatformPresented is rendered by RenderSubtitlesToSurface.
class TimedMetadataTrackList {
 public:
  virtual ~TimedMetadataTrackList() = default;
  virtual uint32_t Size() const = 0;
  virtual TimedMetadataTrack GetAt(uint32_t index) const = 0;
  virtual TimedMetadataTrackPresentationMode PresentationMode(uint32_t index) const = 0;
  virtual void SetPresentationMode(uint32_t index, TimedMetadataTrackPresentationMode mode) = 0;
};

// Whether `uri` names a source read from elsewhere: a URL ("scheme://...")
// whose scheme is not "file" (case-sensitive, as the player writes its
// file URIs). The player reports buffering for such sources, and the
// engine's buffered ranges are what has arrived of them.
bool IsRemoteUri(const std::string& uri);

// What the engine opens: a URI. Closing it tells the engine that the
// player is done with it.
class MediaSource {
 public:
  // Raises hresult_error(kInvalidArgument) for a string that is not an
  // absolute URI (no "scheme:" prefix).
  static std::shared_ptr<MediaSource> CreateFromUri(const std::string& uri);

  explicit MediaSource(std::string uri) : uri_(std::move(uri)) {}
  const std::string& Uri() const { return uri_; }
  void Close();
  bool IsClosed() const;

 private:
  const std::string uri_;
  mutable std::mutex mutex_;
  bool closed_ = false;
};

// A source as the player plays it, with its track lists. Before the engine
// has opened the item the lists are empty; the engine attaches its live
// lists before it raises MediaOpened.
class MediaPlaybackItem {
 public:
  explicit MediaPlaybackItem(std::shared_ptr<MediaSource> source);

  std::shared_ptr<MediaSource> Source() const { return source_; }
  std::shared_ptr<AudioTrackList> AudioTracks() const;
  std::shared_ptr<VideoTrackList> VideoTracks() const;
  std::shared_ptr<TimedMetadataTrackList> TimedMetadataTracks() const;

  // Engine side: installs the lists of the opened media.
  void AttachTracks(std::shared_ptr<AudioTrackList> audio, std::shared_ptr<VideoTrackList> video,
                    std::shared_ptr<TimedMetadataTrackList> text);

 private:
  const std::shared_ptr<MediaSource> source_;
  mutable std::mutex mutex_;
  std::shared_ptr<AudioTrackList> audio_;
  std::shared_ptr<VideoTrackList> video_;
  std::shared_ptr<TimedMetadataTrackList> text_;
};

struct MediaTimeRange {
  TimeSpan start{0};
  TimeSpan end{0};
};

class MediaPlaybackSession;

// Session notifications carry the session that raised them, so a handler
// can hold it for a posted task.
using SessionHandler = std::function<hresult(const std::shared_ptr<MediaPlaybackSession>& sender)>;
using PlayerHandler = std::function<hresult()>;

struct MediaPlayerFailedEventArgs {
  MediaPlayerError error = MediaPlayerError::Unknown;
  hresult extendedErrorCode = kFail;
  std::string errorMessage;

  MediaPlayerError Error() const { return error; }
  hresult ExtendedErrorCode() const { return extendedErrorCode; }
  const std::string& ErrorMessage() const { return errorMessage; }
};

using FailedHandler = std::function<hresult(const MediaPlayerFailedEventArgs& args)>;

// Handlers are kept for the player's life: the player never removes one,
// and the engine stops raising them once closed (the Windows engine removes
// its own subscriptions from the runtime then). A handler must tolerate
// running after its subscriber is gone (hold weak references).
class MediaPlaybackSession {
 public:
  virtual ~MediaPlaybackSession() = default;

  // Setting the position seeks (accurately). Each set is answered by exactly
  // one SeekCompleted: a seek superseded by a later one completes together
  // with it, and on media that cannot seek it completes at once (on an engine
  // thread). Internal seeks (rate changes, the restart after the end) raise
  // none.
  virtual TimeSpan Position() const = 0;
  virtual void Position(TimeSpan value) = 0;
  virtual double PlaybackRate() const = 0;
  virtual void PlaybackRate(double rate) = 0;
  // kLiveDuration for a live source.
  virtual TimeSpan NaturalDuration() const = 0;
  // The display size: pixel aspect ratio applied.
  virtual uint32_t NaturalVideoWidth() const = 0;
  virtual uint32_t NaturalVideoHeight() const = 0;
  virtual std::vector<MediaTimeRange> GetBufferedRanges() const = 0;

  virtual void NaturalVideoSizeChanged(SessionHandler handler) = 0;
  virtual void PositionChanged(SessionHandler handler) = 0;
  virtual void SeekCompleted(SessionHandler handler) = 0;
  virtual void BufferingStarted(SessionHandler handler) = 0;
  virtual void BufferingEnded(SessionHandler handler) = 0;
  virtual void BufferedRangesChanged(SessionHandler handler) = 0;
};

class MediaPlaybackCommandManager {
 public:
  virtual ~MediaPlaybackCommandManager() = default;
  virtual bool IsEnabled() const = 0;
  virtual void IsEnabled(bool enabled) = 0;
};

class MediaPlayer {
 public:
  virtual ~MediaPlayer() = default;

  // Setting a source returns at once; the outcome arrives later as
  // MediaOpened (duration, tracks and natural size known) or MediaFailed.
  // Setting null closes the current media. Once a new source is set, no
  // notification of the previous one is raised.
  virtual std::shared_ptr<MediaPlaybackItem> Source() const = 0;
  virtual void Source(std::shared_ptr<MediaPlaybackItem> item) = 0;

  virtual void Play() = 0;
  virtual void Pause() = 0;
  virtual double Volume() const = 0;
  virtual void Volume(double volume) = 0;  // 0 to 1
  virtual bool RealTimePlayback() const = 0;
  virtual void RealTimePlayback(bool value) = 0;
  // Frame-server mode: frames are offered through VideoFrameAvailable and
  // copied on demand instead of being shown by the engine.
  virtual bool IsVideoFrameServerEnabled() const = 0;
  virtual void IsVideoFrameServerEnabled(bool enabled) = 0;
  virtual std::shared_ptr<MediaPlaybackCommandManager> CommandManager() = 0;

  // Converts the newest decoded frame to BGRA at the surface's size into the
  // surface. The frame stays available for a later copy.
  virtual void CopyFrameToVideoSurface(VideoSurface& surface) = 0;
  // Draws the active cues of the presented text track over the (cleared)
  // surface; true when it drew anything.
  virtual bool RenderSubtitlesToSurface(VideoSurface& surface) = 0;

  // Stops everything without waiting: once it returns no handler starts
  // (one already running may finish; handlers hold what they touch), and
  // the engine's teardown goes on on a thread of its own.
  virtual void Close() = 0;

  virtual std::shared_ptr<MediaPlaybackSession> PlaybackSession() const = 0;

  virtual void MediaOpened(PlayerHandler handler) = 0;
  virtual void MediaFailed(FailedHandler handler) = 0;
  virtual void MediaEnded(PlayerHandler handler) = 0;
  virtual void VideoFrameAvailable(PlayerHandler handler) = 0;
  virtual void SubtitleFrameChanged(PlayerHandler handler) = 0;
};

// Makes players. Raises hresult_error when a player cannot be created.
class MediaEngine {
 public:
  virtual ~MediaEngine() = default;
  virtual std::shared_ptr<MediaPlayer> CreateMediaPlayer() = 0;
};

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_MEDIA_ENGINE_H_
