// The periodic and streaming reports (engine thread): position ticks,
// buffered ranges, subtitle cue changes, frames and video size, and the
// track commands that change what is reported.
#include "platform/gst/player_core.h"

#include <algorithm>

#include "platform/gst/adaptive_variants.h"
#include "platform/gst/time_units.h"
#include "platform/gst/text_sink.h"

namespace corvane::platform::gst {
namespace {

// Buffered ranges are checked every this many position ticks.
constexpr unsigned kRangeTickDivider = 4;
// A lookback that has not answered by then (a damaged file) is dropped.
constexpr auto kCueLookbackLimit = std::chrono::seconds(5);

}  // namespace

void PlayerCore::ScheduleTickOnEngine() {
  const SourceNumber source = loaded_.load();
  // A tick due for this source keeps the chain going. One still due for the
  // previous source must not stand in for it: it ends when it comes, and
  // the new source would never be ticked (no position reports ever after
  // opening a source on a player that was playing).
  if (tickScheduled_ && tickSource_ == source) return;
  tickScheduled_ = true;
  tickSource_ = source;
  const uint64_t serial = ++tickSerial_;
  thread_->PostDelayed(options_.positionInterval, [weak = weak_from_this(), serial] {
    if (auto core = weak.lock()) core->TickOnEngine(serial);
  });
}

void PlayerCore::TickOnEngine(uint64_t serial) {
  if (serial != tickSerial_) return;  // replaced by a later source's tick
  tickScheduled_ = false;
  const SourceNumber source = tickSource_;
  if (source != loaded_.load() || tornDown_.load()) return;
  bool report = false;
  SourcePhase phase;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(source)) return;
    phase = wanted_.phase;
    report = phase == SourcePhase::kOpened && wanted_.wantPlaying && !wanted_.ended && !run_->buffering &&
             !wanted_.seeks.InFlight();
  }
  if (phase != SourcePhase::kOpening && phase != SourcePhase::kOpened) return;
  if (report) Raise(PlayerEvent::PositionChanged, source);
  if (phase == SourcePhase::kOpened) {
    EvaluateCuesOnEngine();
    if (++tickCount_ % kRangeTickDivider == 0) CheckBufferedRangesOnEngine();
  }
  ScheduleTickOnEngine();
}

void PlayerCore::EvaluateCuesOnEngine() {
  const SourceNumber source = loaded_.load();
  bool presenting = false;
  bool playing = false;
  double rate = 1.0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(source) || wanted_.phase != SourcePhase::kOpened) return;
    presenting = PresentingCuesLocked();
    playing = wanted_.wantPlaying && !wanted_.ended;
    rate = rate_;
  }
  std::vector<uint64_t> active;
  GstClockTime position = GST_CLOCK_TIME_NONE;
  if (presenting && pipeline_) {
    position = static_cast<GstClockTime>(ToNanoseconds(Position()));
    active = pipeline_->Text().ActiveIds(position);
  }
  if (active != run_->reportedCues) {
    run_->reportedCues = std::move(active);
    Raise(PlayerEvent::SubtitleFrameChanged, source);
  }
  // Wake up at the next cue boundary; a later evaluation replaces the timer.
  if (presenting && playing && GST_CLOCK_TIME_IS_VALID(position)) {
    const GstClockTime next = pipeline_->Text().NextChange(position);
    if (GST_CLOCK_TIME_IS_VALID(next)) {
      const auto wait = std::chrono::nanoseconds(static_cast<int64_t>((next - position) / rate)) +
                        std::chrono::milliseconds(2);
      const uint64_t serial = ++cueTimerSerial_;
      thread_->PostDelayed(wait, [weak = weak_from_this(), source, serial] {
        auto core = weak.lock();
        if (core && core->loaded_.load() == source && core->cueTimerSerial_ == serial) {
          core->EvaluateCuesOnEngine();
        }
      });
    }
  }
}

void PlayerCore::CheckBufferedRangesOnEngine() {
  const SourceNumber source = loaded_.load();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!wanted_.remote) return;
  }
  auto ranges = BufferedRanges();
  const bool same = ranges.size() == run_->reportedRanges.size() &&
                    std::equal(ranges.begin(), ranges.end(), run_->reportedRanges.begin(),
                               [](const MediaTimeRange& a, const MediaTimeRange& b) {
                                 return a.start == b.start && a.end == b.end;
                               });
  if (same) return;
  run_->reportedRanges = std::move(ranges);
  Raise(PlayerEvent::BufferedRangesChanged, source);
}

void PlayerCore::AnnounceFrameOnEngine(SourceNumber source) {
  if (!pipeline_) return;
  // Acknowledge first: a frame arriving from now on is announced again.
  pipeline_->Video().AcknowledgeFrame();
  if (source != loaded_.load()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(source) || wanted_.phase != SourcePhase::kOpened || !frameServer_) return;
  }
  if (!pipeline_->Video().NewestFrame().sample) return;
  Raise(PlayerEvent::VideoFrameAvailable, source);
}

void PlayerCore::AnnounceSizeOnEngine(SourceNumber source, DisplaySize size) {
  if (source != loaded_.load() || size.width == 0 || size.height == 0) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(source) || wanted_.phase != SourcePhase::kOpened) return;
    wanted_.naturalSize = size;
  }
  if (run_->sizeReported && size == run_->reportedSize) return;
  run_->sizeReported = true;
  run_->reportedSize = size;
  Raise(PlayerEvent::NaturalVideoSizeChanged, source);
}

bool PlayerCore::PresentingCuesLocked() const {
  const int32_t text = wanted_.selectedText;
  return !wanted_.textSwitchPending && text >= 0 && static_cast<size_t>(text) < wanted_.textModes.size() &&
         wanted_.textModes[static_cast<size_t>(text)] == TimedMetadataTrackPresentationMode::PlatformPresented;
}

void PlayerCore::HandTextOverOnEngine() {
  if (!pipeline_ || !run_->switches.HandTextOver(*pipeline_)) return;
  std::lock_guard<std::mutex> lock(mutex_);
  wanted_.textSwitchPending = false;
}

void PlayerCore::LookBackForCuesOnEngine(TimeSpan target) {
  run_->cueLookback.reset();
  if (!run_->lookBackForCues || !pipeline_ || target <= TimeSpan(0)) return;
  int32_t text = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!PresentingCuesLocked()) return;
    text = wanted_.selectedText;
  }
  GstPad* inputRaw = nullptr;
  g_signal_emit_by_name(pipeline_->Playbin(), "get-text-pad", text, &inputRaw);
  auto input = AdoptObject(inputRaw);  // Adopt: the action signal returns a reference
  GCharPtr streamId(input ? gst_pad_get_stream_id(input.get()) : nullptr);  // Adopt
  if (!streamId) return;
  // Read after the seek, whose flush has passed the text sink by now: the
  // cues found count only until the next flush.
  const uint64_t epoch = pipeline_->Text().Epoch();
  const uint64_t serial = ++cueLookbackSerial_;
  std::weak_ptr<Pipeline> weakPipeline = pipeline_;
  auto found = [weakPipeline, epoch, weak = weak_from_this(), serial](std::vector<TimedCue> cues) {
    if (auto pipeline = weakPipeline.lock()) pipeline->Text().AddFound(epoch, std::move(cues));
    if (auto core = weak.lock()) {
      core->PostCommand([serial](PlayerCore& self) {
        if (self.cueLookbackSerial_ == serial) self.run_->cueLookback.reset();
      });
    }
  };
  run_->cueLookback = CueLookback::Start(run_->uri, streamId.get(), static_cast<GstClockTime>(ToNanoseconds(target)), found);
  thread_->PostDelayed(kCueLookbackLimit, [weak = weak_from_this(), serial] {
    if (auto core = weak.lock()) {
      if (core->cueLookbackSerial_ == serial) core->run_->cueLookback.reset();
    }
  });
}

void PlayerCore::ApplyTextPresentationOnEngine() {
  int32_t presented = -1;
  int32_t current = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < wanted_.textModes.size(); ++i) {
      if (wanted_.textModes[i] == TimedMetadataTrackPresentationMode::PlatformPresented) {
        presented = static_cast<int32_t>(i);
        break;
      }
    }
    current = wanted_.selectedText;
    if (presented >= 0) wanted_.selectedText = presented;
    // Switching streams alone shows none of the new stream's cues: our text
    // sink takes cues as fast as the demuxer reads them, so the selector's
    // active text stream runs seconds ahead of playback, and the selector
    // drops the other streams' cues as soon as the active stream has passed
    // their time - long before they are due (on a short file, all of them
    // while opening; at the start, whichever of two cues of the same time
    // comes second). A flushing seek to the current position has the
    // demuxer read the new stream's cues again; it is internal, so no
    // completion is raised. After the end there is nothing left to show.
    if (presented >= 0 && presented != current && !wanted_.ended) wanted_.seeks.FlushHere();
  }
  if (presented >= 0 && presented != current) {
    // The switch goes to playbin just before the flushing seek that
    // restreams it (HandTextOverOnEngine), never while another seek is in
    // flight: a seek whose flush meets a freshly switched selector could
    // leave the new stream without cues or go unconfirmed. That flush drops
    // the new stream's caps, so the text sink is told the chosen stream's
    // format itself.
    run_->switches.Choose(TrackKind::Text, presented);
    bool seekInFlight = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      wanted_.textSwitchPending = true;
    }
    PumpSeeksOnEngine();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      seekInFlight = wanted_.seeks.InFlight();
    }
    if (!seekInFlight) HandTextOverOnEngine();  // after the end: no seek
  }
  // A cue that began before the position and is still showing was read
  // (and dropped, while nothing was presented) before presentation
  // started, or was never read since the last seek: the demuxer restarts
  // at the keyframe before the target, and a start position or a seek made
  // while nothing was shown looked for no cue. A switch looks back with its
  // restreaming seek; otherwise presentation starting looks back here.
  const bool started = presented >= 0 && presented != run_->presentedText;
  run_->presentedText = presented;
  if (started && presented == current) LookBackForCuesOnEngine(Position());
  EvaluateCuesOnEngine();
}

}  // namespace corvane::platform::gst
