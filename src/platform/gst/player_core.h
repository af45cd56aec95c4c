// The GStreamer player behind the MediaPlayer and MediaPlaybackSession
// facades: a pipeline per source (see Pipeline) and the player's own engine
// thread.
//
// Threads:
//  - caller threads (the host's platform thread, handlers) call the public
//    operations. Commands only record what is wanted and post a task; reads
//    answer from the recorded state or a GStreamer query. None blocks on the
//    pipeline, Close included: the teardown runs on the engine thread.
//  - the engine thread (EngineThread) runs every command against the pipeline,
//    translates what the pipeline reports and raises every notification,
//    outside all locks, so handlers may call back in.
//  - GStreamer streaming threads only post to the engine thread. They never
//    hold a strong reference to the core, so the core is never destroyed on
//    one (its teardown stops the pipeline, which joins them).
//
// Sources replace each other by number: each Source() set starts a new
// one (the wanted source), whose pipeline the engine thread builds once the
// previous one is stopped (the loaded source), and a notification is raised
// only while its source is the wanted one (see NotificationGate).
#ifndef CORVANE_PLATFORM_GST_PLAYER_CORE_H_
#define CORVANE_PLATFORM_GST_PLAYER_CORE_H_

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/engine_core/engine_thread.h"
#include "platform/engine_core/notification_gate.h"
#include "platform/gst/cue_lookback.h"
#include "platform/gst/frame_copier.h"
#include "platform/gst/gst_engine_options.h"
#include "platform/gst/gst_handles.h"
#include "platform/gst/source_state.h"
#include "platform/gst/pipeline.h"
#include "platform/media_engine.h"

namespace corvane::platform::gst {

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

  // Track lists of source `source` (stale lists read their snapshot and
  // command nothing).
  int32_t SelectedIndex(TrackKind kind, SourceNumber source) const;
  void Select(TrackKind kind, SourceNumber source, int32_t index);
  TimedMetadataTrackPresentationMode TextMode(SourceNumber source, uint32_t index) const;
  void SetTextMode(SourceNumber source, uint32_t index, TimedMetadataTrackPresentationMode mode);

  // Subscriptions last for the player's life.
  void Subscribe(PlayerEvent event, NotificationGate::Handler handler) {
    gate_.Subscribe(static_cast<size_t>(event), std::move(handler));
  }
  void SubscribeFailed(FailedHandler handler) { gate_.SubscribeFailed(std::move(handler)); }

 private:
  struct FirstError {
    bool set = false;
    GQuark domain = 0;
    int code = 0;
    std::string message;
    std::string debug;
  };

  void Build();

  // Streaming threads (and the thread that changes the pipeline's state).
  static GstBusSyncReply OnBusMessageStreaming(GstBus* bus, GstMessage* message, gpointer self);
  Pipeline::Callbacks PipelineCallbacks();
  void PostFromStreaming(std::function<void(PlayerCore&, SourceNumber loaded)> work);

  // Engine thread only.
  void LoadOnEngine(SourceNumber source, std::string uri);
  void HandleMessageOnEngine(SourceNumber source, GstMessage* message);
  void FinishOpeningOnEngine();
  void FailOnEngine(MediaPlayerFailedEventArgs args);
  void HandleAsyncDoneOnEngine();
  void HandleBufferingOnEngine(int percent);
  void ApplyPlayStateOnEngine();
  void ApplyVolumeOnEngine(double volume);
  void PumpSeeksOnEngine();
  // Whether the pipeline already stands at `target` as it prerolled there on
  // opening; if so, completes the seek decided without one.
  bool AlreadyThereOnEngine(TimeSpan target, bool byUser);
  void CompleteSeeksOnEngine(int count);
  void SeekWatchdogOnEngine(SourceNumber source, uint64_t ticket);
  void TickOnEngine(uint64_t serial);
  void ScheduleTickOnEngine();
  void EvaluateCuesOnEngine();
  void CheckBufferedRangesOnEngine();
  void AnnounceFrameOnEngine(SourceNumber source);
  void AnnounceSizeOnEngine(SourceNumber source, DisplaySize size);
  // Whether the cues held belong to a text track that is to be shown.
  // Callers hold mutex_.
  bool PresentingCuesLocked() const;
  void ApplyTextPresentationOnEngine();
  // Hands a waiting text stream to playbin (see StreamSwitches).
  void HandTextOverOnEngine();
  // After a flushing seek to `target`: finds the cue already showing there,
  // which the demuxer does not read again (see CueLookback).
  void LookBackForCuesOnEngine(TimeSpan target);
  void TeardownOnEngine();
  // Stops the current pipeline and lets go of it (a new source, a failure,
  // the end).
  void StopPipelineOnEngine();
  void Raise(PlayerEvent event, SourceNumber source) { gate_.Raise(static_cast<size_t>(event), source); }
  // Whether `source` is the wanted one and the player open. Callers hold mutex_.
  bool IsWantedLocked(SourceNumber source) const { return gate_.Accepts(source); }
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
  // Who hears what, for which source; any thread.
  NotificationGate gate_{static_cast<size_t>(PlayerEvent::kCount)};

  // The current source's pipeline, null between sources and after a
  // failure. The engine thread replaces it under mutex_ and reads it
  // directly; other threads copy it under mutex_ (CurrentPipeline).
  std::shared_ptr<Pipeline> pipeline_;
  std::atomic<bool> tornDown_{false};

  // The source whose media the pipeline holds (the loaded one); messages
  // and callbacks carry it. The wanted source is gate_.Current(). Written
  // by the engine thread while the pipeline is stopped.
  std::atomic<SourceNumber> loaded_{0};

  mutable std::mutex mutex_;  // never held while calling GStreamer or a handler
  // Guarded by mutex_: the wanted source, replaced whole by SetSource.
  WantedSource wanted_;
  // Guarded by mutex_: the player's own settings, kept across sources.
  double volume_ = 1.0;
  double rate_ = 1.0;
  bool frameServer_ = false;
  bool realTime_ = false;

  // Set by the bus sync handler; read by the engine thread.
  std::mutex errorMutex_;
  FirstError firstError_;  // guarded by errorMutex_

  // Engine thread only: the loaded source's pipeline run, replaced whole by
  // LoadOnEngine.
  std::unique_ptr<PipelineRun> run_ = std::make_unique<PipelineRun>();
  // Engine thread only: timer serials, kept across runs so that a timer of
  // an earlier run never matches a later one.
  uint64_t cueLookbackSerial_ = 0;
  bool tickScheduled_ = false;
  SourceNumber tickSource_ = 0;  // the source the scheduled tick is for
  uint64_t tickSerial_ = 0;      // of the scheduled tick; older ones do nothing
  unsigned tickCount_ = 0;
  uint64_t cueTimerSerial_ = 0;

  FrameCopier frames_;  // any thread
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_PLAYER_CORE_H_
