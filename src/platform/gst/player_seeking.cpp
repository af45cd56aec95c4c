// Seeks, rate changes and the play state (engine thread). Seeks run one at
// a time; positions set meanwhile supersede each other and all complete
// with the last one.
#include "platform/gst/player_core.h"

#include "platform/gst/debug_log.h"
#include "platform/gst/time_units.h"

namespace corvane::platform::gst {
namespace {

// A seek that the pipeline never confirms still completes after this.
constexpr auto kSeekWatchdog = std::chrono::seconds(5);
// Restreams at most this often for a video switch the output lags behind.
constexpr int kVideoSwitchRetries = 3;

// Drops the buffers reaching a selector input while it lives.
class AudioInputHold {
 public:
  explicit AudioInputHold(GObjectPtr<GstPad> input) : input_(std::move(input)) {
    if (input_) {
      probeId_ = gst_pad_add_probe(input_.get(),
                                   static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                                   [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_DROP; }, nullptr,
                                   nullptr);
    }
  }
  ~AudioInputHold() {
    if (probeId_) gst_pad_remove_probe(input_.get(), probeId_);
  }
  AudioInputHold(const AudioInputHold&) = delete;
  AudioInputHold& operator=(const AudioInputHold&) = delete;

 private:
  GObjectPtr<GstPad> input_;
  gulong probeId_ = 0;
};

}  // namespace

void PlayerCore::CompleteSeeksOnEngine(int count) {
  if (count <= 0) return;
  const uint64_t generation = pipelineEpoch_.load();
  for (int i = 0; i < count; ++i) Raise(PlayerEvent::SeekCompleted, generation);
  Raise(PlayerEvent::PositionChanged, generation);
}

void PlayerCore::PumpSeeksOnEngine() {
  if (seekInFlight_ || tornDown_.load()) return;
  const uint64_t generation = pipelineEpoch_.load();
  TimeSpan target{0};
  double rate = 1.0;
  bool user = false;
  bool currentPosition = false;
  std::optional<TimeSpan> settledTarget;  // the last seek's, while it stands for the position
  int completeNow = 0;
  bool nothingToSeek = false;
  bool switchOnly = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation != generation_ || phase_ == Phase::Opening) return;
    if (phase_ != Phase::Opened || !seekable_) {
      // Nothing to seek in (no media, failed, live or unseekable): every
      // position set completes at once; rate and restart cannot apply.
      completeNow = owedSeeks_;
      owedSeeks_ = 0;
      pendingSeek_.reset();
      internalSeek_.reset();
      rateDirty_ = false;
      restream_ = false;
      nothingToSeek = true;
    } else if (pendingSeek_) {
      target = std::min(*pendingSeek_, duration_);
      pendingSeek_.reset();
      internalSeek_.reset();
      seekInFlightTarget_ = target;
      user = true;
      ended_ = false;
    } else if (internalSeek_) {
      target = *internalSeek_;
      internalSeek_.reset();
    } else if (rateDirty_ || restream_ || ((audioSwitch_ || videoSwitch_) && !ended_)) {
      currentPosition = true;
      // Right after a seek, until the pipeline plays again, its sinks count
      // from the old base time and report as far again beyond the target
      // (two quick track switches skipped seconds): the target is the
      // position then.
      settledTarget = seekInFlightTarget_;
    } else if (audioSwitch_ || videoSwitch_) {
      switchOnly = true;  // at the end: playing again restarts with a flush
    } else {
      return;
    }
    // Any flushing seek restreams the text, so it serves a pending
    // restream too.
    rateDirty_ = false;
    restream_ = false;
    rate = rate_;
  }
  if (nothingToSeek) {
    SwitchTextOnEngine();
    ApplyStreamSwitchesOnEngine();
    CompleteSeeksOnEngine(completeNow);
    return;
  }
  if (switchOnly) {
    ApplyStreamSwitchesOnEngine();
    return;
  }
  if (!pipeline_) return;
  if (currentPosition) target = settledTarget ? *settledTarget : pipeline_->QueryPosition().value_or(TimeSpan(0));
  {
    // Until the seek completes the pipeline's own position is meaningless:
    // its sinks count on from the old base time, so right after a seek to
    // the current position they report as far again beyond it.
    std::lock_guard<std::mutex> lock(mutex_);
    seekInFlightTarget_ = target;
  }
  SwitchTextOnEngine();
  for (SwitchedOutputFlush* output : {&audioOutputFlush_, &videoOutputFlush_, &textOutputFlush_}) {
    output->FlushBeforeSeek();
  }
  // The seek's flush restarts the demuxer at once: a local file delivers a
  // quarter of a second of the audio stream being left before the switch
  // below reaches the selector, and the output would play it first. Until
  // then that stream's buffers go no further.
  const AudioInputHold hold(audioSwitch_ ? InputBeingLeftOnEngine(TrackKind::Audio, *audioSwitch_) : nullptr);
  const gboolean sent = gst_element_seek(pipeline_->Playbin(), rate, GST_FORMAT_TIME,
                                         static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                         GST_SEEK_TYPE_SET, ToNanoseconds(target), GST_SEEK_TYPE_NONE, -1);
  // After the seek's flush, which would otherwise undo them.
  ApplyStreamSwitchesOnEngine();
  if (!sent) {
    DebugLine("Seek refused by the pipeline");
    for (SwitchedOutputFlush* output : {&audioOutputFlush_, &videoOutputFlush_, &textOutputFlush_}) {
      output->EndFlushOfRefusedSeek();
    }
    int completed = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      seekInFlightTarget_.reset();
      if (user && !pendingSeek_) {
        completed = owedSeeks_;
        owedSeeks_ = 0;
      }
    }
    CompleteSeeksOnEngine(completed);
    return;
  }
  seekInFlight_ = true;
  inFlightIsUser_ = user;
  LookBackForCuesOnEngine(target);
  const uint64_t serial = ++seekSerial_;
  thread_->PostDelayed(kSeekWatchdog, [weak = weak_from_this(), serial] {
    if (auto core = weak.lock()) core->SeekWatchdogOnEngine(serial);
  });
}

void PlayerCore::SwitchStreamOnEngine(TrackKind kind, int32_t index) {
  // The switch waits for the seek in flight, then goes with a flushing seek
  // (at the current position unless a position is set): the flush restarts
  // every stream from the demuxer, so
  // - the newly chosen stream plays its own data and its end: a stream that
  //   has already delivered its end (a switch in the last second) would
  //   otherwise leave its output, and so the pipeline, without one, and
  //   positions would run on past the duration;
  // - what is queued for the output from the old stream is dropped instead
  //   of played out first;
  // - paused, the output prerolls again on the chosen stream: a video switch
  //   shows the new stream's picture without playing.
  (kind == TrackKind::Audio ? audioSwitch_ : videoSwitch_) = index;
  PumpSeeksOnEngine();
}

void PlayerCore::ApplyStreamSwitchesOnEngine() {
  // A switch sends the newly chosen stream's caps downstream with its next
  // buffer, but a flush reaching the selector before that buffer cancels the
  // sending: its buffers would then meet the old stream's caps. So switches
  // are made after our seek's flush, and the guards repair the caps should a
  // later flush come too early all the same.
  if (videoSwitch_) {
    HandSwitchToPlaybinOnEngine(TrackKind::Video, *videoSwitch_, videoSwitchGuard_, videoOutputFlush_);
    videoSwitch_.reset();
    checkVideoSwitch_ = kVideoSwitchRetries;
  }
  if (audioSwitch_) {
    HandSwitchToPlaybinOnEngine(TrackKind::Audio, *audioSwitch_, audioSwitchGuard_, audioOutputFlush_);
    audioSwitch_.reset();
  }
}

GObjectPtr<GstPad> PlayerCore::InputBeingLeftOnEngine(TrackKind kind, int32_t chosen) {
  if (!pipeline_) return nullptr;
  const bool audio = kind == TrackKind::Audio;
  gint current = -1;
  g_object_get(pipeline_->Playbin(), audio ? "current-audio" : "current-video", &current, nullptr);
  if (current < 0 || current == chosen) return nullptr;
  GstPad* input = nullptr;
  g_signal_emit_by_name(pipeline_->Playbin(), audio ? "get-audio-pad" : "get-video-pad", current, &input);
  return AdoptObject(input);  // Adopt: the action signal returns a reference
}

void PlayerCore::HandSwitchToPlaybinOnEngine(TrackKind kind, int32_t index, StreamSwitchGuard& guard,
                                             SwitchedOutputFlush& output) {
  if (!pipeline_) return;
  guard.Watch(pipeline_->Playbin());
  ApplyTrackSelectionOnEngine(kind, index);
  guard.NoteChosenInput();
  output.NoteSwitch(pipeline_->Playbin());
}

void PlayerCore::SeekWatchdogOnEngine(uint64_t serial) {
  if (!seekInFlight_ || serial != seekSerial_) return;
  DebugLine("A seek was not confirmed in time; completing it");
  HandleAsyncDoneOnEngine();
}

void PlayerCore::ApplyPlayStateOnEngine() {
  bool playing = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || phase_ != Phase::Opened || pipelineEpoch_.load() != generation_) return;
    playing = wantPlaying_ && (!buffering_ || live_);
    // Paused, the pipeline's position is right again (see
    // HandleAsyncDoneOnEngine).
    if (!playing && !seekInFlight_) seekInFlightTarget_.reset();
  }
  if (pipeline_) gst_element_set_state(pipeline_->Playbin(), playing ? GST_STATE_PLAYING : GST_STATE_PAUSED);
}

}  // namespace corvane::platform::gst
