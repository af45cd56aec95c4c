// The GStreamer player behind the MediaPlayer and MediaPlaybackSession
// facades: a pipeline per source (see Pipeline) and the player's own engine
// thread.
//
// Threads:
//  - caller threads (the host's platform thread, handlers) call the public
//    operations. Commands only record what is wanted and post a task; reads
//    answer from the recorded state or a GStreamer query. None blocks on the
//    pipeline except Close, boundedly.
//  - the engine thread (EngineThread) runs every command against the pipeline,
//    translates what the pipeline reports and raises every notification,
//    outside all locks, so handlers may call back in.
//  - GStreamer streaming threads only post to the engine thread. They never
//    hold a strong reference to the core, so the core is never destroyed on
//    one (its teardown stops the pipeline, which joins them).
//
// Sources replace each other by generation: each Source() set starts a new
// one, whose pipeline the engine thread builds once the previous one is
// stopped, and a notification is raised only while its generation is
// current.
#ifndef CORVANE_PLATFORM_GST_PLAYER_CORE_H_
#define CORVANE_PLATFORM_GST_PLAYER_CORE_H_

#include <gst/gst.h>
#include <gst/video/video.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/gst/cue_lookback.h"
#include "platform/gst/gst_engine_options.h"
#include "platform/gst/gst_handles.h"
#include "platform/gst/pipeline.h"
#include "platform/gst/stream_switch_guard.h"
#include "platform/gst/switched_output_flush.h"
#include "platform/engine_core/engine_thread.h"
#include "platform/media_engine.h"

namespace corvane::render {
class SubtitleRasterizer;
}

namespace corvane::platform::gst {

class FrameConverter;

enum class PlayerEvent : size_t {
  NaturalVideoSizeChanged,
  PositionChanged,
  SeekCompleted,
  BufferingStarted,
  BufferingEnded,
  BufferedRangesChanged,
  MediaOpened,
  MediaEnded,
  VideoFrameAvailable,
  SubtitleFrameChanged,
  kCount,
};

enum class TrackKind { Audio, Video, Text };

class PlayerCore : public std::enable_shared_from_this<PlayerCore> {
 public:
  // Raises hresult_error when the pipeline cannot be built.
  static std::shared_ptr<PlayerCore> Create(const EngineOptions& options);
  // Use Create: the core must live in a shared_ptr.
  explicit PlayerCore(const EngineOptions& options);
  ~PlayerCore();
  PlayerCore(const PlayerCore&) = delete;
  PlayerCore& operator=(const PlayerCore&) = delete;

  // --- Commands and reads: any thread. ---
  std::shared_ptr<MediaPlaybackItem> Source() const;
  void SetSource(std::shared_ptr<MediaPlaybackItem> item);
  void Play();
  void Pause();
  double Volume() const;
  void SetVolume(double volume);
  double Rate() const;
  void SetRate(double rate);
  TimeSpan Position() const;
  void Seek(TimeSpan position);
  TimeSpan Duration() const;
  DisplaySize NaturalSize() const;
  std::vector<MediaTimeRange> BufferedRanges() const;
  bool FrameServerEnabled() const;
  void SetFrameServerEnabled(bool enabled);
  bool RealTimePlayback() const;
  void SetRealTimePlayback(bool enabled);
  void CopyFrameTo(VideoSurface& surface);
  bool RenderSubtitlesTo(VideoSurface& surface);
  void Close();

  // Track lists of generation `generation` (stale lists read their snapshot
  // and command nothing).
  int32_t SelectedIndex(TrackKind kind, uint64_t generation) const;
  void Select(TrackKind kind, uint64_t generation, int32_t index);
  TimedMetadataTrackPresentationMode TextMode(uint64_t generation, uint32_t index) const;
  void SetTextMode(uint64_t generation, uint32_t index, TimedMetadataTrackPresentationMode mode);

  // Subscriptions last for the player's life.
  void Subscribe(PlayerEvent event, std::function<hresult()> handler);
  void SubscribeFailed(FailedHandler handler);

 private:
  enum class Phase { Idle, Opening, Opened, Failed };

  struct Tracks {
    std::vector<AudioTrack> audio;
    std::vector<VideoTrack> video;
    std::vector<TimedMetadataTrack> text;
  };

  struct FirstError {
    bool set = false;
    GQuark domain = 0;
    int code = 0;
    std::string message;
    std::string debug;
  };

  using Handler = std::function<hresult()>;
  using HandlerList = std::vector<Handler>;

  void Build();

  // Streaming threads (and the thread that changes the pipeline's state).
  static GstBusSyncReply OnBusMessageStreaming(GstBus* bus, GstMessage* message, gpointer self);
  Pipeline::Callbacks PipelineCallbacks();
  void PostFromStreaming(std::function<void(PlayerCore&, uint64_t epoch)> work);

  // Engine thread only.
  void LoadOnEngine(uint64_t generation, std::string uri);
  void HandleMessageOnEngine(uint64_t epoch, GstMessage* message);
  void FinishOpeningOnEngine();
  void FailOnEngine(MediaPlayerFailedEventArgs args);
  void HandleAsyncDoneOnEngine();
  void HandleBufferingOnEngine(int percent);
  void ApplyPlayStateOnEngine();
  void ApplyVolumeOnEngine(double volume);
  void PumpSeeksOnEngine();
  void CompleteSeeksOnEngine(int count);
  void SeekWatchdogOnEngine(uint64_t serial);
  void TickOnEngine(uint64_t serial);
  void ScheduleTickOnEngine();
  void EvaluateCuesOnEngine();
  void CheckBufferedRangesOnEngine();
  void AnnounceFrameOnEngine(uint64_t epoch);
  void AnnounceSizeOnEngine(uint64_t epoch, DisplaySize size);
  void ApplyTrackSelectionOnEngine(TrackKind kind, int32_t index);
  // Whether the cues held belong to a text track that is to be shown.
  // Callers hold mutex_.
  bool PresentingCuesLocked() const;
  void SwitchStreamOnEngine(TrackKind kind, int32_t index);
  void ApplyStreamSwitchesOnEngine();
  // The selector input playbin plays for `kind`, which a switch to stream
  // `chosen` leaves; null when there is none or it is the chosen one.
  GObjectPtr<GstPad> InputBeingLeftOnEngine(TrackKind kind, int32_t chosen);
  void HandSwitchToPlaybinOnEngine(TrackKind kind, int32_t index, StreamSwitchGuard& guard,
                                   SwitchedOutputFlush& output);
  void ApplyTextPresentationOnEngine();
  void SwitchTextOnEngine();
  // After a flushing seek to `target`: finds the cue already showing there,
  // which the demuxer does not read again (see CueLookback).
  void LookBackForCuesOnEngine(TimeSpan target);
  void TeardownOnEngine();
  // Stops the current pipeline and lets go of it (a new source, a failure,
  // the end).
  void StopPipelineOnEngine();
  void Raise(PlayerEvent event, uint64_t generation);
  void RaiseFailed(const MediaPlayerFailedEventArgs& args, uint64_t generation);
  // Snapshot of an event's handlers when `generation` is current and the
  // player open; marks a raise as running. Null otherwise.
  std::shared_ptr<const HandlerList> BeginRaise(PlayerEvent event, uint64_t generation);
  void EndRaise();
  // Any thread: the current pipeline, or null.
  std::shared_ptr<Pipeline> CurrentPipeline() const;
  std::optional<TimeSpan> QueryPosition() const;
  // Runs `command` on the engine thread while the core lives.
  template <typename Fn>
  void PostCommand(Fn&& command) {
    thread_->Post([weak = weak_from_this(), command = std::forward<Fn>(command)]() mutable {
      if (auto core = weak.lock()) command(*core);
    });
  }

  const EngineOptions options_;
  std::shared_ptr<EngineThread> thread_;
  AudioOutputChoice audioOutput_;  // set by Build, constant afterwards

  // The current source's pipeline, null between sources and after a
  // failure. The engine thread replaces it under mutex_ and reads it
  // directly; other threads copy it under mutex_ (CurrentPipeline).
  std::shared_ptr<Pipeline> pipeline_;
  std::atomic<bool> tornDown_{false};

  // The generation whose media the pipeline holds; messages and callbacks
  // carry it. Written by the engine thread while the pipeline is stopped.
  std::atomic<uint64_t> pipelineEpoch_{0};

  mutable std::mutex mutex_;  // never held while calling GStreamer or a handler
  std::condition_variable raiseDone_;
  bool closed_ = false;
  bool raising_ = false;
  uint64_t generation_ = 0;
  std::shared_ptr<MediaPlaybackItem> item_;
  Phase phase_ = Phase::Idle;
  bool network_ = false;
  bool wantPlaying_ = false;
  bool ended_ = false;
  double volume_ = 1.0;
  double rate_ = 1.0;
  bool rateDirty_ = false;
  // A flushing seek to the current position is owed: the text stream
  // changed, so the demuxer must read its cues again (see
  // ApplyTextPresentationOnEngine), or a video switch made while paused was
  // overtaken by the old stream's frame (see HandleAsyncDoneOnEngine).
  bool restream_ = false;
  bool frameServer_ = false;
  bool realTime_ = false;
  TimeSpan duration_{0};
  bool live_ = false;
  bool seekable_ = false;
  DisplaySize naturalSize_;
  GObjectPtr<GstElement> downloadQueue_;  // the network source's queue2, if any
  gint64 totalBytes_ = 0;                 // the source's length, 0 when unknown
  std::vector<uint32_t> variantBandwidths_;  // HLS variants shown as video tracks
  int owedSeeks_ = 0;
  std::optional<TimeSpan> pendingSeek_;
  // The position while a seek is in flight, and after it until the
  // pipeline plays again (see HandleAsyncDoneOnEngine).
  std::optional<TimeSpan> seekInFlightTarget_;
  mutable TimeSpan lastPosition_{0};
  Tracks tracks_;
  int32_t selectedAudio_ = -1;
  int32_t selectedVideo_ = -1;
  int32_t selectedText_ = -1;  // the stream playbin decodes
  // A text stream was chosen and not yet handed to playbin: the cues held
  // are still the old stream's, so none is shown until the switch.
  bool textSwitchPending_ = false;
  std::vector<TimedMetadataTrackPresentationMode> textModes_;
  // Copied on subscribe, so a raise takes a reference and allocates nothing.
  std::array<std::shared_ptr<const HandlerList>, static_cast<size_t>(PlayerEvent::kCount)> handlers_;
  std::shared_ptr<const std::vector<FailedHandler>> failedHandlers_;
  std::optional<TimeSpan> internalSeek_;  // restart after the end

  // Set by the bus sync handler; read by the engine thread.
  std::mutex errorMutex_;
  FirstError firstError_;  // guarded by errorMutex_

  // Engine thread only.
  std::optional<int32_t> textSwitch_;  // text stream to select with the next seek
  std::string uri_;                    // the current source's
  bool lookBackForCues_ = false;       // a local Matroska file: seeks look back for cues
  std::unique_ptr<CueLookback> cueLookback_;
  uint64_t cueLookbackSerial_ = 0;
  bool seekInFlight_ = false;
  bool inFlightIsUser_ = false;
  // Audio and video streams chosen and not yet handed to playbin: they wait
  // for the seek in flight and go with a flushing seek (see
  // SwitchStreamOnEngine).
  std::optional<int32_t> audioSwitch_;
  std::optional<int32_t> videoSwitch_;
  int checkVideoSwitch_ = 0;  // restreams left for the latest video switch
  StreamSwitchGuard audioSwitchGuard_{StreamSwitchGuard::Kind::kAudio};
  StreamSwitchGuard videoSwitchGuard_{StreamSwitchGuard::Kind::kVideo};
  SwitchedOutputFlush audioOutputFlush_{"audio_sink", SwitchedOutputFlush::Until::kFirstSeek};
  SwitchedOutputFlush videoOutputFlush_{"video_sink", SwitchedOutputFlush::Until::kFirstSeek};
  SwitchedOutputFlush textOutputFlush_{"text_sink", SwitchedOutputFlush::Until::kNewSource};
  uint64_t seekSerial_ = 0;
  bool buffering_ = false;
  bool bufferingRaised_ = false;
  bool tickScheduled_ = false;
  uint64_t tickEpoch_ = 0;   // the source the scheduled tick is for
  uint64_t tickSerial_ = 0;  // of the scheduled tick; older ones do nothing
  unsigned tickCount_ = 0;
  std::vector<MediaTimeRange> reportedRanges_;
  std::vector<uint64_t> reportedCues_;
  uint64_t cueTimerSerial_ = 0;
  DisplaySize reportedSize_;
  bool sizeReported_ = false;
  TimeSpan reportedPosition_{-1};

  // Serialises the converters, which keep scratch buffers.
  std::mutex copyMutex_;
  MiniPtr<GstCaps> frameCaps_;  // guarded by copyMutex_: caps frameInfo_ was read from
  GstVideoInfo frameInfo_{};    // guarded by copyMutex_
  std::unique_ptr<FrameConverter> converter_;
  std::unique_ptr<SubtitleRasterizer> rasterizer_;
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_PLAYER_CORE_H_
