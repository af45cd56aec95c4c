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
  const SourceNumber source = loaded_.load();
  for (int i = 0; i < count; ++i) Raise(PlayerEvent::SeekCompleted, source);
  Raise(PlayerEvent::PositionChanged, source);
}

void PlayerCore::PumpSeeksOnEngine() {
  if (tornDown_.load()) return;
  const SourceNumber source = loaded_.load();
  const bool switchWaiting = run_->audioSwitch || run_->videoSwitch;
  SeekLedger::Decision next;
  double rate = 1.0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(source)) return;
    SeekLedger::Media media;
    media.opening = source_.phase == SourcePhase::kOpening;
    media.seekable = source_.phase == SourcePhase::kOpened && source_.seekable;
    media.duration = source_.duration;
    // At the end a switch needs no seek of its own: playing again restarts
    // with a flush.
    next = source_.seeks.Next(media, switchWaiting && !source_.ended);
    if (next.step == SeekLedger::Step::kSeek && next.byUser) source_.ended = false;
    rate = rate_;
  }
  switch (next.step) {
    case SeekLedger::Step::kWait:
      return;
    case SeekLedger::Step::kCompleteAll:
      // Nothing to seek in (no media, failed, live or unseekable).
      SwitchTextOnEngine();
      ApplyStreamSwitchesOnEngine();
      CompleteSeeksOnEngine(next.completions);
      return;
    case SeekLedger::Step::kNothing:
      if (switchWaiting) ApplyStreamSwitchesOnEngine();
      return;
    case SeekLedger::Step::kSeek:
    case SeekLedger::Step::kSeekHere:
      break;
  }
  if (!pipeline_) return;
  TimeSpan target = next.target;
  // Right after a seek, until the pipeline plays again, its sinks count from
  // the old base time and report as far again beyond the target (two quick
  // track switches skipped seconds): the target is the position then.
  if (next.step == SeekLedger::Step::kSeekHere) {
    target = next.settled ? *next.settled : pipeline_->QueryPosition().value_or(TimeSpan(0));
  }
  uint64_t ticket = 0;
  {
    // Until the seek completes the pipeline's own position is meaningless:
    // its sinks count on from the old base time, so right after a seek to
    // the current position they report as far again beyond it.
    std::lock_guard<std::mutex> lock(mutex_);
    ticket = source_.seeks.Sent(target, next.byUser);
  }
  SwitchTextOnEngine();
  for (SwitchedOutputFlush* output : {&run_->audioOutputFlush, &run_->videoOutputFlush, &run_->textOutputFlush}) {
    output->FlushBeforeSeek();
  }
  // The seek's flush restarts the demuxer at once: a local file delivers a
  // quarter of a second of the audio stream being left before the switch
  // below reaches the selector, and the output would play it first. Until
  // then that stream's buffers go no further.
  const AudioInputHold hold(run_->audioSwitch ? InputBeingLeftOnEngine(TrackKind::Audio, *run_->audioSwitch)
                                              : nullptr);
  const gboolean sent = gst_element_seek(pipeline_->Playbin(), rate, GST_FORMAT_TIME,
                                         static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                         GST_SEEK_TYPE_SET, ToNanoseconds(target), GST_SEEK_TYPE_NONE, -1);
  // After the seek's flush, which would otherwise undo them.
  ApplyStreamSwitchesOnEngine();
  if (!sent) {
    DebugLine("Seek refused by the pipeline");
    for (SwitchedOutputFlush* output : {&run_->audioOutputFlush, &run_->videoOutputFlush, &run_->textOutputFlush}) {
      output->EndFlushOfRefusedSeek();
    }
    int completed = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      completed = source_.seeks.Refused();
    }
    CompleteSeeksOnEngine(completed);
    return;
  }
  LookBackForCuesOnEngine(target);
  thread_->PostDelayed(kSeekWatchdog, [weak = weak_from_this(), source, ticket] {
    if (auto core = weak.lock()) core->SeekWatchdogOnEngine(source, ticket);
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
  (kind == TrackKind::Audio ? run_->audioSwitch : run_->videoSwitch) = index;
  PumpSeeksOnEngine();
}

void PlayerCore::ApplyStreamSwitchesOnEngine() {
  // A switch sends the newly chosen stream's caps downstream with its next
  // buffer, but a flush reaching the selector before that buffer cancels the
  // sending: its buffers would then meet the old stream's caps. So switches
  // are made after our seek's flush, and the guards repair the caps should a
  // later flush come too early all the same.
  PipelineRun& run = *run_;
  if (run.videoSwitch) {
    HandSwitchToPlaybinOnEngine(TrackKind::Video, *run.videoSwitch, run.videoSwitchGuard, run.videoOutputFlush);
    run.videoSwitch.reset();
    run.checkVideoSwitch = kVideoSwitchRetries;
  }
  if (run.audioSwitch) {
    HandSwitchToPlaybinOnEngine(TrackKind::Audio, *run.audioSwitch, run.audioSwitchGuard, run.audioOutputFlush);
    run.audioSwitch.reset();
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

void PlayerCore::SeekWatchdogOnEngine(SourceNumber source, uint64_t ticket) {
  if (source != loaded_.load()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (source != source_.number || !source_.seeks.WatchdogFinds(ticket)) return;
  }
  DebugLine("A seek was not confirmed in time; completing it");
  HandleAsyncDoneOnEngine();
}

void PlayerCore::ApplyPlayStateOnEngine() {
  bool playing = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(loaded_.load()) || source_.phase != SourcePhase::kOpened) return;
    playing = source_.wantPlaying && (!run_->buffering || source_.live);
    // Paused, the pipeline's position is right again (see
    // HandleAsyncDoneOnEngine).
    if (!playing) source_.seeks.Settled();
  }
  if (pipeline_) gst_element_set_state(pipeline_->Playbin(), playing ? GST_STATE_PLAYING : GST_STATE_PAUSED);
}

}  // namespace corvane::platform::gst
