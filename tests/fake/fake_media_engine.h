// A scripted media engine for tests of the player and the plugin.
//
// It implements the engine interface of platform/media_engine.h the way the
// real engines behave towards the player, and lets a test decide everything
// the media would decide: the tracks, duration (kLiveDuration for a live
// source), natural size, position, buffered ranges, how an open ends, which
// operation fails with which code. Every notification can be raised on
// demand. Every command a player receives is recorded as a FakeCall, so
// tests assert "SelectedIndex set to 2" or "Position set to 50000000".
//
// Delivery: notifications go through a queue and run on the engine's own
// thread, never inside the call that caused them, never under a lock of the
// fake, and a handler may call back into the fake. Once a new source is set, notifications queued
// for the previous one are dropped; once Close returns, no handler runs.
//
// Recorded calls (name, argument):
//   "Source set"                           URI of the item's source, or "null"
//   "Play", "Pause", "Close"               ""
//   "Volume set", "PlaybackRate set"       the double, printed with %g ("0.5")
//   "RealTimePlayback set", "IsVideoFrameServerEnabled set",
//   "CommandManager.IsEnabled set"         "true" / "false"
//   "Position set"                         ticks of 100 ns ("50000000")
//   "AudioTracks.SelectedIndex set", "VideoTracks.SelectedIndex set"   the index
//   "TimedMetadataTracks.SetPresentationMode"   "index,mode" ("1,3")
//   "CopyFrameToVideoSurface", "RenderSubtitlesToSurface"   ""
// A frame copy fills the surface with opaque red; a subtitle render draws
// an opaque white band over the bottom quarter and reports a cue drawn.
// Reads are not recorded, but any operation, read or command, can be made
// to fail with Fail(name, code). Reads are named "<Property> get"
// ("Position get", "NaturalDuration get", "RealTimePlayback get",
// "Source get", "PlaybackSession", "CommandManager", "GetBufferedRanges",
// "AudioTracks.GetAt", "TimedMetadataTracks.Size", ...); subscribing to a
// notification is "<Notification> add" ("MediaOpened add").
#ifndef CORVANE_TESTS_FAKE_FAKE_MEDIA_ENGINE_H_
#define CORVANE_TESTS_FAKE_FAKE_MEDIA_ENGINE_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "fake/fake_event_dispatcher.h"
#include "platform/media_engine.h"
#include "platform/surface_device.h"

namespace corvane::testing {

// Notification names, as Raise and HandlerResults take them.
inline constexpr const char* kMediaOpened = "MediaOpened";
inline constexpr const char* kMediaFailed = "MediaFailed";
inline constexpr const char* kMediaEnded = "MediaEnded";
inline constexpr const char* kVideoFrameAvailable = "VideoFrameAvailable";
inline constexpr const char* kSubtitleFrameChanged = "SubtitleFrameChanged";
inline constexpr const char* kNaturalVideoSizeChanged = "NaturalVideoSizeChanged";
inline constexpr const char* kPositionChanged = "PositionChanged";
inline constexpr const char* kSeekCompleted = "SeekCompleted";
inline constexpr const char* kBufferingStarted = "BufferingStarted";
inline constexpr const char* kBufferingEnded = "BufferingEnded";
inline constexpr const char* kBufferedRangesChanged = "BufferedRangesChanged";

struct FakeCall {
  std::string name;
  std::string argument;
  bool operator==(const FakeCall& other) const { return name == other.name && argument == other.argument; }
};

// What an opened source looks like.
struct FakeMedia {
  platform::TimeSpan duration = std::chrono::seconds(10);  // kLiveDuration: live
  uint32_t naturalWidth = 640;
  uint32_t naturalHeight = 360;
  std::vector<platform::AudioTrack> audioTracks;
  int32_t selectedAudio = -1;  // the engine's own choice once opened
  std::vector<platform::VideoTrack> videoTracks;
  int32_t selectedVideo = -1;
  std::vector<platform::TimedMetadataTrack> textTracks;  // each Disabled at first
  std::vector<platform::MediaTimeRange> bufferedRanges;
};

// How setting a source ends, without the test doing anything more.
enum class OpenOutcome {
  Manual,  // nothing happens until the test calls CompleteOpen / FailOpen
  Opens,   // the media opens: tracks attached, MediaOpened, then NaturalVideoSizeChanged
};

struct FakeScript {
  FakeMedia media;
  OpenOutcome openOutcome = OpenOutcome::Opens;
  // Each Position set is answered by one SeekCompleted, as the real
  // engines do. Off: the test raises SeekCompleted itself.
  bool completeSeeks = true;
  // How long Close waits for a running handler of the player before it
  // gives up and returns, as the real engines wait only boundedly.
  std::chrono::milliseconds closeWait = std::chrono::seconds(5);
};

class FakeMediaPlayer;

class FakeMediaEngine final : public platform::MediaEngine {
 public:
  FakeMediaEngine();
  ~FakeMediaEngine() override;

  std::shared_ptr<platform::MediaPlayer> CreateMediaPlayer() override;

  // The script every player created from now on starts with.
  void SetScript(const FakeScript& script);
  // CreateMediaPlayer raises hresult_error(code) while set; kOk clears it.
  void FailCreate(platform::hresult code);

  // The player made last (the engine keeps every player alive for
  // inspection).
  std::shared_ptr<FakeMediaPlayer> LastPlayer() const;

  // Waits for the notification queue to drain.
  bool WaitIdle(std::chrono::milliseconds timeout) { return dispatcher_->WaitIdle(timeout); }

 private:
  const std::shared_ptr<FakeEventDispatcher> dispatcher_;
  mutable std::mutex mutex_;
  FakeScript script_;
  platform::hresult createFailure_ = platform::kOk;
  std::vector<std::shared_ptr<FakeMediaPlayer>> players_;
};

struct FakePlayerCore;

class FakeMediaPlayer final : public platform::MediaPlayer {
 public:
  FakeMediaPlayer(std::shared_ptr<FakeEventDispatcher> dispatcher, const FakeScript& script);
  ~FakeMediaPlayer() override;

  // --- MediaPlayer ---
  std::shared_ptr<platform::MediaPlaybackItem> Source() const override;
  void Source(std::shared_ptr<platform::MediaPlaybackItem> item) override;
  void Play() override;
  void Pause() override;
  double Volume() const override;
  void Volume(double volume) override;
  bool RealTimePlayback() const override;
  void RealTimePlayback(bool value) override;
  bool IsVideoFrameServerEnabled() const override;
  void IsVideoFrameServerEnabled(bool enabled) override;
  std::shared_ptr<platform::MediaPlaybackCommandManager> CommandManager() override;
  void CopyFrameToVideoSurface(platform::VideoSurface& surface) override;
  bool RenderSubtitlesToSurface(platform::VideoSurface& surface) override;
  void Close() override;
  std::shared_ptr<platform::MediaPlaybackSession> PlaybackSession() const override;
  void MediaOpened(platform::PlayerHandler handler) override;
  void MediaFailed(platform::FailedHandler handler) override;
  void MediaEnded(platform::PlayerHandler handler) override;
  void VideoFrameAvailable(platform::PlayerHandler handler) override;
  void SubtitleFrameChanged(platform::PlayerHandler handler) override;

  // --- Scripting ---
  // Changes the script for what follows (the next open, the next copy...).
  void SetScript(const FakeScript& script);
  FakeScript Script() const;
  // Makes the named operation raise hresult_error(code) until Succeed.
  void Fail(const std::string& operation, platform::hresult code);
  void Succeed(const std::string& operation);
  // Runs `hook` with the operation's name on the calling thread before every
  // operation, outside the fake's locks, so a test can hold an engine thread
  // at a chosen step while it acts.
  void OnEnter(std::function<void(const std::string& operation)> hook);

  // Opens the current source as the script's media: attaches its track
  // lists to the item, then raises MediaOpened and, for a non-zero size,
  // NaturalVideoSizeChanged. False without a source.
  bool CompleteOpen();

  // Engine-side changes, as the media would make them; no notification.
  void SetPosition(platform::TimeSpan position);

  // Queues one notification by name (kMediaOpened ...); MediaFailed carries
  // `failure`. False when the player is closed or the name is unknown.
  bool Raise(const std::string& notification,
             const platform::MediaPlayerFailedEventArgs& failure = platform::MediaPlayerFailedEventArgs{});

  // --- Inspection ---
  std::vector<FakeCall> Calls() const;
  void ClearCalls();
  bool Called(const std::string& name, const std::optional<std::string>& argument = std::nullopt) const;
  size_t Count(const std::string& name) const;
  // The arguments of every call of `name`, in order.
  std::vector<std::string> Arguments(const std::string& name) const;
  // Waits until such a call has been recorded; false on time-out.
  bool WaitForCall(const std::string& name, const std::optional<std::string>& argument,
                   std::chrono::milliseconds timeout) const;
  size_t HandlerCount(const std::string& notification) const;
  bool IsClosed() const;

 private:
  const std::shared_ptr<FakePlayerCore> core_;
  // Handed out to the player's users; they share core_.
  const std::shared_ptr<platform::MediaPlaybackSession> session_;
  const std::shared_ptr<platform::MediaPlaybackCommandManager> commandManager_;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_FAKE_FAKE_MEDIA_ENGINE_H_
