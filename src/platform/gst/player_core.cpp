#include "platform/gst/player_core.h"

// Construction, and the operations callers make on any thread.

#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gst/debug_log.h"
#include "platform/gst/time_units.h"
#include "platform/gst/text_sink.h"
#include "platform/surface_device.h"

namespace corvane::platform::gst {
namespace {

// Replacing a source waits this long for a running handler of the old one.
constexpr auto kRaiseWait = std::chrono::seconds(2);

}  // namespace

std::shared_ptr<PlayerCore> PlayerCore::Create(const EngineOptions& options) {
  auto core = std::make_shared<PlayerCore>(options);
  core->Build();
  return core;
}

PlayerCore::PlayerCore(const EngineOptions& options)
    : options_(options),
      thread_(std::make_shared<EngineThread>("corvane-engine")) {}

void PlayerCore::Build() {
  Pipeline::CheckElements();
  audioOutput_ = ChooseAudioOutput();
  // Frames wake the engine thread through its signal, which allocates
  // nothing; the task reads the current epoch, and a new source's pipeline
  // starts without frames.
  thread_->SetSignalTask([weak = weak_from_this()] {
    if (auto core = weak.lock()) core->AnnounceFrameOnEngine(core->loaded_.load());
  });
}

Pipeline::Callbacks PlayerCore::PipelineCallbacks() {
  // The callbacks hold a raw pointer: every pipeline is stopped (its
  // streaming threads joined) before the core goes, and a task they post
  // holds a weak one.
  Pipeline::Callbacks callbacks;
  callbacks.video.onFrameReadyStreaming = [this] { thread_->Signal(); };
  callbacks.video.onDisplaySizeStreaming = [this](DisplaySize size) {
    PostFromStreaming([size](PlayerCore& core, SourceNumber source) { core.AnnounceSizeOnEngine(source, size); });
  };
  callbacks.textChanged = [this] {
    PostFromStreaming([](PlayerCore& core, SourceNumber source) {
      if (source == core.loaded_.load()) core.EvaluateCuesOnEngine();
    });
  };
  callbacks.busHandler = &PlayerCore::OnBusMessageStreaming;
  callbacks.busData = this;
  return callbacks;
}

PlayerCore::~PlayerCore() {
  if (pipeline_) pipeline_->Stop();
  thread_->Stop();
}

std::shared_ptr<Pipeline> PlayerCore::CurrentPipeline() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pipeline_;
}

std::shared_ptr<MediaPlaybackItem> PlayerCore::Source() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return wanted_.item;
}

void PlayerCore::SetSource(std::shared_ptr<MediaPlaybackItem> item) {
  std::string uri;
  SourceNumber number = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gate_.IsClosed()) {
      // Clearing a closed player's source is what teardown paths do anyway.
      if (!item) return;
      throw hresult_error(kObjectClosed, "the player is closed");
    }
    WantedSource wanted;
    wanted.number = number = gate_.Advance();
    wanted.item = std::move(item);
    uri = wanted.item && wanted.item->Source() ? wanted.item->Source()->Uri() : std::string();
    wanted.phase = uri.empty() ? SourcePhase::kIdle : SourcePhase::kOpening;
    wanted.remote = IsRemoteUri(uri);
    // Completions owed for the old source are never raised.
    wanted_ = std::move(wanted);
  }
  // A handler of the old source may be running on the engine thread; once
  // this returns none may (unless we are that handler).
  if (!gate_.AwaitRaisesEnded(kRaiseWait)) DebugLine("A handler of the previous source is still running");
  PostCommand([number, uri = std::move(uri)](PlayerCore& core) { core.LoadOnEngine(number, uri); });
}

void PlayerCore::Play() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gate_.IsClosed()) return;
    wanted_.wantPlaying = true;
    if (wanted_.ended) {
      // Playing again after the end starts over, as an internal seek.
      wanted_.ended = false;
      wanted_.seeks.Restart(TimeSpan(0));
    }
  }
  PostCommand([](PlayerCore& core) {
    core.PumpSeeksOnEngine();
    core.ApplyPlayStateOnEngine();
  });
}

void PlayerCore::Pause() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gate_.IsClosed()) return;
    wanted_.wantPlaying = false;
  }
  PostCommand([](PlayerCore& core) { core.ApplyPlayStateOnEngine(); });
}

double PlayerCore::Volume() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return volume_;
}

void PlayerCore::SetVolume(double volume) {
  if (std::isnan(volume)) return;
  volume = std::clamp(volume, 0.0, 1.0);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    volume_ = volume;
  }
  PostCommand([volume](PlayerCore& core) { core.ApplyVolumeOnEngine(volume); });
}

void PlayerCore::ApplyVolumeOnEngine(double volume) {
  if (pipeline_) pipeline_->SetVolume(volume);
}

double PlayerCore::Rate() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return rate_;
}

void PlayerCore::SetRate(double rate) {
  // Reverse and stopped playback are not offered; such values are ignored.
  if (!(rate > 0.0) || !std::isfinite(rate)) return;
  rate = std::clamp(rate, 1.0 / 16, 16.0);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (rate == rate_) return;
    rate_ = rate;
    wanted_.seeks.FlushHere();
  }
  PostCommand([](PlayerCore& core) { core.PumpSeeksOnEngine(); });
}

std::optional<TimeSpan> PlayerCore::QueryPosition() const {
  const auto pipeline = CurrentPipeline();
  return pipeline ? pipeline->QueryPosition() : std::nullopt;
}

TimeSpan PlayerCore::Position() const {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (const auto shown = wanted_.seeks.ShownPosition()) return *shown;
    if (wanted_.phase != SourcePhase::kOpened) return wanted_.lastPosition;
    if (wanted_.ended && !wanted_.live) return wanted_.duration;
  }
  const auto position = QueryPosition();
  std::lock_guard<std::mutex> lock(mutex_);
  // Sinks may count past the end by the audio still queued, or by an
  // adaptive stream's segments running longer than its playlist says.
  if (position) wanted_.lastPosition = wanted_.live ? *position : std::min(*position, wanted_.duration);
  return wanted_.lastPosition;
}

void PlayerCore::Seek(TimeSpan position) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gate_.IsClosed()) return;
    wanted_.seeks.SetPosition(position);
  }
  PostCommand([](PlayerCore& core) { core.PumpSeeksOnEngine(); });
}

TimeSpan PlayerCore::Duration() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return wanted_.duration;
}

DisplaySize PlayerCore::NaturalSize() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return wanted_.naturalSize;
}

std::vector<MediaTimeRange> PlayerCore::BufferedRanges() const {
  GObjectPtr<GstElement> downloadQueue;
  TimeSpan duration{0};
  gint64 totalBytes = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (wanted_.phase != SourcePhase::kOpened || wanted_.live) return {};
    if (!wanted_.remote) return {MediaTimeRange{TimeSpan(0), wanted_.duration}};
    downloadQueue = RetainObject(wanted_.downloadQueue.get());
    duration = wanted_.duration;
    totalBytes = wanted_.totalBytes;
  }
  const auto position = QueryPosition();
  if (!position) return {};
  // The network queue holds what has arrived and not yet been demuxed: the
  // media from the position on, at the file's average byte rate.
  guint64 queuedBytes = 0;
  if (downloadQueue) g_object_get(downloadQueue.get(), "current-level-bytes", &queuedBytes, nullptr);
  TimeSpan ahead{0};
  if (totalBytes > 0) {
    ahead = TimeSpan(static_cast<int64_t>(
        gst_util_uint64_scale(queuedBytes, static_cast<guint64>(duration.count()), static_cast<guint64>(totalBytes))));
  }
  const TimeSpan start = std::min(*position, duration);
  return {MediaTimeRange{start, std::min(duration, start + ahead)}};
}

bool PlayerCore::FrameServerEnabled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frameServer_;
}

void PlayerCore::SetFrameServerEnabled(bool enabled) {
  std::lock_guard<std::mutex> lock(mutex_);
  frameServer_ = enabled;
}

bool PlayerCore::RealTimePlayback() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return realTime_;
}

void PlayerCore::SetRealTimePlayback(bool enabled) {
  std::lock_guard<std::mutex> lock(mutex_);
  realTime_ = enabled;
}

void PlayerCore::CopyFrameTo(VideoSurface& surface) {
  auto texture = surface.Texture();
  if (!texture) throw hresult_error(kObjectClosed, "the surface is closed");
  const PixelView pixels = texture->Pixels();
  if (!pixels.data) throw hresult_error(kFail, "the surface cannot be mapped");
  const auto pipeline = CurrentPipeline();
  // No source: the surface keeps what it holds.
  if (pipeline) frames_.CopyNewest(pipeline->Video(), pixels);
}

bool PlayerCore::RenderSubtitlesTo(VideoSurface& surface) {
  auto texture = surface.Texture();
  if (!texture) throw hresult_error(kObjectClosed, "the surface is closed");
  const PixelView pixels = texture->Pixels();
  if (!pixels.data) throw hresult_error(kFail, "the surface cannot be mapped");
  bool presenting = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    presenting = PresentingCuesLocked();
  }
  std::vector<SubtitleCue> cues;
  if (presenting) {
    if (const auto pipeline = CurrentPipeline()) {
      cues = pipeline->Text().ActiveCues(static_cast<GstClockTime>(ToNanoseconds(Position())));
    }
  }
  return frames_.Draw(cues, pixels);
}

void PlayerCore::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!gate_.Close()) return;
    wanted_.item.reset();
  }
  // The teardown task holds the core, so it runs even if the caller lets
  // go. Nothing waits for it: stopping a pipeline can take a while (a
  // network source answering, a decoder draining), and the caller may be
  // the app's UI thread. The gate is shut, so no handler starts from now on.
  thread_->Post([self = shared_from_this()] { self->TeardownOnEngine(); });
  thread_->StopWithoutWaiting();
}

int32_t PlayerCore::SelectedIndex(TrackKind kind, SourceNumber source) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (source != wanted_.number) return -1;
  switch (kind) {
    case TrackKind::Audio:
      return wanted_.selectedAudio;
    case TrackKind::Video:
      return wanted_.selectedVideo;
    case TrackKind::Text:
      return wanted_.selectedText;
  }
  return -1;
}

void PlayerCore::Select(TrackKind kind, SourceNumber source, int32_t index) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(source) || wanted_.phase != SourcePhase::kOpened) return;
    const size_t size = kind == TrackKind::Audio ? wanted_.audioTracks.size() : wanted_.videoTracks.size();
    // An index outside the list changes nothing (it must not stop playback).
    if (index < 0 || static_cast<size_t>(index) >= size) {
      DebugLine("Track index " + std::to_string(index) + " is outside the list; selection kept");
      return;
    }
    int32_t& selected = kind == TrackKind::Audio ? wanted_.selectedAudio : wanted_.selectedVideo;
    selected = index;
    if (kind == TrackKind::Video && !wanted_.variantBandwidths.empty()) {
      const uint32_t bandwidth = wanted_.variantBandwidths[static_cast<size_t>(index)];
      PostCommand([bandwidth, source](PlayerCore& core) {
        if (core.loaded_.load() == source && core.pipeline_) core.pipeline_->Variants().Pin(bandwidth);
      });
      return;
    }
  }
  PostCommand([kind, index, source](PlayerCore& core) {
    if (core.loaded_.load() != source) return;
    core.run_->switches.Choose(kind, index);
    core.PumpSeeksOnEngine();
  });
}

TimedMetadataTrackPresentationMode PlayerCore::TextMode(SourceNumber source, uint32_t index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (source != wanted_.number || index >= wanted_.textModes.size()) {
    return TimedMetadataTrackPresentationMode::Disabled;
  }
  return wanted_.textModes[index];
}

void PlayerCore::SetTextMode(SourceNumber source, uint32_t index, TimedMetadataTrackPresentationMode mode) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(source) || index >= wanted_.textModes.size()) return;
    wanted_.textModes[index] = mode;
  }
  PostCommand([source](PlayerCore& core) {
    if (core.loaded_.load() == source) core.ApplyTextPresentationOnEngine();
  });
}

}  // namespace corvane::platform::gst
