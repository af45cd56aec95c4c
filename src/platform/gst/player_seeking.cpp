// Seeks, rate changes and the play state (engine thread), as the seek
// ledger decides them; stream switches go with the flushing seeks.
#include "platform/gst/player_core.h"

#include "platform/engine_core/engine_watchdog.h"
#include "platform/gst/debug_log.h"
#include "platform/gst/time_units.h"

namespace corvane::platform::gst {
namespace {

// A seek that the pipeline never confirms still completes after this.
constexpr auto kSeekWatchdog = std::chrono::seconds(5);

}  // namespace

void PlayerCore::CompleteSeeksOnEngine(int count) {
  if (count <= 0) return;
  const SourceNumber source = loaded_.load();
  // The picture the seek prerolled reaches the frame handlers first: a
  // player told that it is at the target (or that it opened there) holds
  // that picture already. The frame's own wake-up may still be queued
  // behind this task.
  AnnounceFrameOnEngine(source);
  for (int i = 0; i < count; ++i) Raise(PlayerEvent::SeekCompleted, source);
  Raise(PlayerEvent::PositionChanged, source);
}

void PlayerCore::PumpSeeksOnEngine() {
  if (tornDown_.load()) return;
  const SourceNumber source = loaded_.load();
  const bool switchWaiting = run_->switches.AudioOrVideoWaiting();
  SeekLedger::Decision next;
  double rate = 1.0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(source)) return;
    SeekLedger::Media media;
    media.opening = wanted_.phase == SourcePhase::kOpening;
    media.seekable = wanted_.phase == SourcePhase::kOpened && wanted_.seekable;
    media.duration = wanted_.duration;
    // At the end a switch needs no seek of its own: playing again restarts
    // with a flush.
    next = wanted_.seeks.Next(media, switchWaiting && !wanted_.ended);
    if (next.step == SeekLedger::Step::kSeek && next.byUser) wanted_.ended = false;
    rate = rate_;
  }
  switch (next.step) {
    case SeekLedger::Step::kWait:
      return;
    case SeekLedger::Step::kCompleteAll:
      // Nothing to seek in (no media, failed, live or unseekable).
      HandTextOverOnEngine();
      if (pipeline_) run_->switches.HandOver(*pipeline_);
      CompleteSeeksOnEngine(next.completions);
      return;
    case SeekLedger::Step::kNothing:
      if (switchWaiting && pipeline_) run_->switches.HandOver(*pipeline_);
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
  // A rate other than 1 is applied by the seek itself.
  if (next.step == SeekLedger::Step::kSeek && rate == 1.0 && AlreadyThereOnEngine(target, next.byUser)) return;
  run_->untouchedSinceOpening = false;
  uint64_t ticket = 0;
  {
    // Until the seek completes the pipeline's own position is meaningless:
    // its sinks count on from the old base time, so right after a seek to
    // the current position they report as far again beyond it.
    std::lock_guard<std::mutex> lock(mutex_);
    ticket = wanted_.seeks.Sent(target, next.byUser);
  }
  HandTextOverOnEngine();
  const auto hold = run_->switches.PrepareSeek(*pipeline_);
  gboolean sent = FALSE;
  {
    WatchedCall call("a seek");
    sent = gst_element_seek(pipeline_->Playbin(), rate, GST_FORMAT_TIME,
                            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                            ToNanoseconds(target), GST_SEEK_TYPE_NONE, -1);
  }
  // After the seek's flush, which would otherwise undo them.
  run_->switches.HandOver(*pipeline_);
  if (!sent) {
    DebugLine("Seek refused by the pipeline");
    run_->switches.SeekRefused();
    int completed = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      completed = wanted_.seeks.Refused();
    }
    CompleteSeeksOnEngine(completed);
    return;
  }
  LookBackForCuesOnEngine(target);
  thread_->PostDelayed(kSeekWatchdog, [weak = weak_from_this(), source, ticket] {
    if (auto core = weak.lock()) core->SeekWatchdogOnEngine(source, ticket);
  });
}

bool PlayerCore::AlreadyThereOnEngine(TimeSpan target, bool byUser) {
  // The start position of most opening files is where they prerolled: a
  // flushing seek there would only decode the first picture a second time
  // before "mediaInfo". A switch waiting needs its flush all the same.
  if (!run_->untouchedSinceOpening || run_->switches.AudioOrVideoWaiting() || run_->switches.TextWaiting()) {
    return false;
  }
  const auto position = pipeline_->QueryPosition();
  if (!position || *position != target) return false;
  int completed = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wanted_.seeks.Sent(target, byUser);
    completed = wanted_.seeks.Confirmed(false);
  }
  CompleteSeeksOnEngine(completed);
  return true;
}

void PlayerCore::SeekWatchdogOnEngine(SourceNumber source, uint64_t ticket) {
  if (source != loaded_.load()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (source != wanted_.number || !wanted_.seeks.WatchdogFinds(ticket)) return;
  }
  DebugLine("A seek was not confirmed in time; completing it");
  HandleAsyncDoneOnEngine();
}

void PlayerCore::ApplyPlayStateOnEngine() {
  bool playing = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(loaded_.load()) || wanted_.phase != SourcePhase::kOpened) return;
    playing = wanted_.wantPlaying && (!run_->buffering || wanted_.live);
    // Paused, the pipeline's position is right again (see
    // HandleAsyncDoneOnEngine).
    if (!playing) wanted_.seeks.Settled();
  }
  if (!pipeline_) return;
  if (playing) run_->untouchedSinceOpening = false;
  WatchedCall call(playing ? "a change to playing" : "a change to paused");
  gst_element_set_state(pipeline_->Playbin(), playing ? GST_STATE_PLAYING : GST_STATE_PAUSED);
}

}  // namespace corvane::platform::gst
