#include "platform/gst/player_core.h"

// Construction, and the operations callers make on any thread.

#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gst/debug_log.h"
#include "platform/gst/time_units.h"
#include "platform/gst/support/frame_converter.h"
#include "platform/gst/text_sink.h"
#include "platform/surface_device.h"
#include "platform/gst/subtitle_rasterizer.h"

namespace corvane::platform::gst {
namespace {

// Close waits this long for the engine thread at most.
constexpr auto kCloseWait = std::chrono::seconds(3);
// Replacing a source waits this long for a running handler of the old one.
constexpr auto kRaiseWait = std::chrono::seconds(2);

bool IsNetworkUri(const std::string& uri) {
  return g_str_has_prefix(uri.c_str(), "http://") || g_str_has_prefix(uri.c_str(), "https://");
}

}  // namespace

std::shared_ptr<PlayerCore> PlayerCore::Create(const EngineOptions& options) {
  auto core = std::make_shared<PlayerCore>(options);
  core->Build();
  return core;
}

PlayerCore::PlayerCore(const EngineOptions& options)
    : options_(options),
      thread_(std::make_shared<EngineThread>("corvane-engine")),
      converter_(std::make_unique<FrameConverter>()),
      rasterizer_(std::make_unique<SubtitleRasterizer>()) {
  for (auto& list : handlers_) list = std::make_shared<const HandlerList>();
  failedHandlers_ = std::make_shared<const std::vector<FailedHandler>>();
}

void PlayerCore::Build() {
  Pipeline::CheckElements();
  audioOutput_ = ChooseAudioOutput();
  // Frames wake the engine thread through its signal, which allocates
  // nothing; the task reads the current epoch, and a new source's pipeline
  // starts without frames.
  thread_->SetSignalTask([weak = weak_from_this()] {
    if (auto core = weak.lock()) core->AnnounceFrameOnEngine(core->pipelineEpoch_.load());
  });
}

Pipeline::Callbacks PlayerCore::PipelineCallbacks() {
  // The callbacks hold a raw pointer: every pipeline is stopped (its
  // streaming threads joined) before the core goes, and a task they post
  // holds a weak one.
  Pipeline::Callbacks callbacks;
  callbacks.video.onFrameReadyStreaming = [this] { thread_->Signal(); };
  callbacks.video.onDisplaySizeStreaming = [this](DisplaySize size) {
    PostFromStreaming([size](PlayerCore& core, uint64_t epoch) { core.AnnounceSizeOnEngine(epoch, size); });
  };
  callbacks.textChanged = [this] {
    PostFromStreaming([](PlayerCore& core, uint64_t epoch) {
      if (epoch == core.pipelineEpoch_.load()) core.EvaluateCuesOnEngine();
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
  return item_;
}

void PlayerCore::SetSource(std::shared_ptr<MediaPlaybackItem> item) {
  std::string uri;
  uint64_t generation = 0;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (closed_) {
      // Clearing a closed player's source is what teardown paths do anyway.
      if (!item) return;
      throw hresult_error(kObjectClosed, "the player is closed");
    }
    generation = ++generation_;
    item_ = std::move(item);
    uri = item_ && item_->Source() ? item_->Source()->Uri() : std::string();
    phase_ = uri.empty() ? Phase::Idle : Phase::Opening;
    network_ = IsNetworkUri(uri);
    wantPlaying_ = false;
    ended_ = false;
    duration_ = TimeSpan(0);
    live_ = false;
    seekable_ = false;
    naturalSize_ = {};
    variantBandwidths_.clear();
    downloadQueue_.reset();
    totalBytes_ = 0;
    owedSeeks_ = 0;  // completions of the old source are never raised
    pendingSeek_.reset();
    internalSeek_.reset();
    seekInFlightTarget_.reset();
    rateDirty_ = false;
    restream_ = false;
    lastPosition_ = TimeSpan(0);
    tracks_ = {};
    selectedAudio_ = selectedVideo_ = selectedText_ = -1;
    textSwitchPending_ = false;
    textModes_.clear();
    // A handler of the old source may be running on the engine thread; once
    // this returns none may, so wait for it (unless we are that handler).
    if (raising_ && !thread_->IsCurrent()) {
      raiseDone_.wait_for(lock, kRaiseWait, [this] { return !raising_; });
    }
  }
  PostCommand([generation, uri = std::move(uri)](PlayerCore& core) { core.LoadOnEngine(generation, uri); });
}

void PlayerCore::Play() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    wantPlaying_ = true;
    if (ended_) {
      // Playing again after the end starts over, as an internal seek.
      ended_ = false;
      internalSeek_ = TimeSpan(0);
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
    if (closed_) return;
    wantPlaying_ = false;
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
    rateDirty_ = true;
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
    if (pendingSeek_) return *pendingSeek_;
    if (seekInFlightTarget_) return *seekInFlightTarget_;
    if (phase_ != Phase::Opened) return lastPosition_;
    if (ended_ && !live_) return duration_;
  }
  const auto position = QueryPosition();
  std::lock_guard<std::mutex> lock(mutex_);
  // Sinks may count past the end by the audio still queued, or by an
  // adaptive stream's segments running longer than its playlist says.
  if (position) lastPosition_ = live_ ? *position : std::min(*position, duration_);
  return lastPosition_;
}

void PlayerCore::Seek(TimeSpan position) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    ++owedSeeks_;
    pendingSeek_ = std::max(position, TimeSpan(0));
  }
  PostCommand([](PlayerCore& core) { core.PumpSeeksOnEngine(); });
}

TimeSpan PlayerCore::Duration() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return duration_;
}

DisplaySize PlayerCore::NaturalSize() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return naturalSize_;
}

std::vector<MediaTimeRange> PlayerCore::BufferedRanges() const {
  GObjectPtr<GstElement> downloadQueue;
  TimeSpan duration{0};
  gint64 totalBytes = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (phase_ != Phase::Opened || live_) return {};
    if (!network_) return {MediaTimeRange{TimeSpan(0), duration_}};
    downloadQueue = RetainObject(downloadQueue_.get());
    duration = duration_;
    totalBytes = totalBytes_;
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
  if (!pipeline) return;
  VideoSink::Frame frame = pipeline->Video().NewestFrame();
  // Nothing decoded yet: the surface keeps what it holds.
  if (!frame.sample) return;
  GstCaps* caps = gst_sample_get_caps(frame.sample.get());
  GstBuffer* buffer = gst_sample_get_buffer(frame.sample.get());
  if (!caps || !buffer) throw hresult_error(kFail, "frame without caps");
  bool converted = false;
  {
    std::lock_guard<std::mutex> lock(copyMutex_);
    // Caps change rarely; parse them once per caps object, not per frame.
    if (caps != frameCaps_.get()) {
      if (!gst_video_info_from_caps(&frameInfo_, caps)) {
        frameCaps_.reset();
        throw hresult_error(kFail, "frame caps are not raw video");
      }
      frameCaps_ = RetainMini(caps);
    }
    GstVideoFrame mapped;
    if (!gst_video_frame_map(&mapped, &frameInfo_, buffer, GST_MAP_READ)) {
      throw hresult_error(kFail, "frame cannot be mapped");
    }
    converted = converter_->Convert(mapped, pixels, frame.orientation);
    gst_video_frame_unmap(&mapped);
  }
  pipeline->Video().MarkCopied(frame.serial);
  if (!converted) throw hresult_error(kFail, "frame format cannot be converted");
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
  std::lock_guard<std::mutex> lock(copyMutex_);
  return rasterizer_->Render(cues, pixels);
}

void PlayerCore::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    closed_ = true;
    item_.reset();
  }
  // The teardown task holds the core, so it runs even if the caller lets go.
  thread_->Post([self = shared_from_this()] { self->TeardownOnEngine(); });
  thread_->Stop();
  if (!thread_->WaitStopped(kCloseWait)) DebugLine("The media engine thread did not stop in time");
}

int32_t PlayerCore::SelectedIndex(TrackKind kind, uint64_t generation) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (generation != generation_) return -1;
  switch (kind) {
    case TrackKind::Audio:
      return selectedAudio_;
    case TrackKind::Video:
      return selectedVideo_;
    case TrackKind::Text:
      return selectedText_;
  }
  return -1;
}

void PlayerCore::Select(TrackKind kind, uint64_t generation, int32_t index) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || generation != generation_ || phase_ != Phase::Opened) return;
    const size_t size = kind == TrackKind::Audio ? tracks_.audio.size() : tracks_.video.size();
    // An index outside the list changes nothing (it must not stop playback).
    if (index < 0 || static_cast<size_t>(index) >= size) {
      DebugLine("Track index " + std::to_string(index) + " is outside the list; selection kept");
      return;
    }
    int32_t& selected = kind == TrackKind::Audio ? selectedAudio_ : selectedVideo_;
    selected = index;
    if (kind == TrackKind::Video && !variantBandwidths_.empty()) {
      const uint32_t bandwidth = variantBandwidths_[static_cast<size_t>(index)];
      PostCommand([bandwidth, generation](PlayerCore& core) {
        if (core.pipelineEpoch_.load() == generation && core.pipeline_) core.pipeline_->Variants().Pin(bandwidth);
      });
      return;
    }
  }
  PostCommand([kind, index, generation](PlayerCore& core) {
    if (core.pipelineEpoch_.load() != generation) return;
    core.SwitchStreamOnEngine(kind, index);
  });
}

TimedMetadataTrackPresentationMode PlayerCore::TextMode(uint64_t generation, uint32_t index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (generation != generation_ || index >= textModes_.size()) return TimedMetadataTrackPresentationMode::Disabled;
  return textModes_[index];
}

void PlayerCore::SetTextMode(uint64_t generation, uint32_t index, TimedMetadataTrackPresentationMode mode) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || generation != generation_ || index >= textModes_.size()) return;
    textModes_[index] = mode;
  }
  PostCommand([generation](PlayerCore& core) {
    if (core.pipelineEpoch_.load() == generation) core.ApplyTextPresentationOnEngine();
  });
}

}  // namespace corvane::platform::gst
