#include "platform/gst/player_core.h"

#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gst/adaptive_variants.h"
#include "platform/gst/audio_output.h"
#include "platform/gst/debug_log.h"
#include "platform/gst/support/error_mapping.h"
#include "platform/gst/support/frame_converter.h"
#include "platform/gst/stream_facts.h"
#include "platform/gst/text_sink.h"
#include "platform/gst/track_lists.h"
#include "platform/surface_device.h"
#include "render/subtitle_rasterizer.h"

namespace corvane::platform::gst {
namespace {

// playbin's GstPlayFlags (the enum is not in a public header).
constexpr guint kFlagVideo = 1u << 0;
constexpr guint kFlagAudio = 1u << 1;
constexpr guint kFlagText = 1u << 2;
constexpr guint kFlagSoftVolume = 1u << 4;
constexpr guint kFlagNativeVideo = 1u << 6;
constexpr guint kFlagDownload = 1u << 7;

// A seek that the pipeline never confirms still completes after this.
constexpr auto kSeekWatchdog = std::chrono::seconds(5);
// Close waits this long for the engine thread at most.
constexpr auto kCloseWait = std::chrono::seconds(3);
// Replacing a source waits this long for a running handler of the old one.
constexpr auto kRaiseWait = std::chrono::seconds(2);
// Buffered ranges are checked every this many position ticks.
constexpr unsigned kRangeTickDivider = 4;

TimeSpan FromNanoseconds(gint64 ns) { return TimeSpan(ns / 100); }
gint64 ToNanoseconds(TimeSpan time) { return time.count() * 100; }

// The first element made by `factory` anywhere inside `bin`.
GObjectPtr<GstElement> FindElementByFactory(GstBin* bin, const char* factory) {
  GObjectPtr<GstElement> found;
  GstIterator* raw = gst_bin_iterate_recurse(bin);
  GValue item = G_VALUE_INIT;
  bool done = false;
  while (!done && !found) {
    switch (gst_iterator_next(raw, &item)) {
      case GST_ITERATOR_OK: {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* made = gst_element_get_factory(element);
        if (made && g_strcmp0(GST_OBJECT_NAME(made), factory) == 0) found = RetainObject(element);
        g_value_reset(&item);
        break;
      }
      case GST_ITERATOR_RESYNC:
        gst_iterator_resync(raw);
        break;
      default:
        done = true;
        break;
    }
  }
  g_value_unset(&item);
  gst_iterator_free(raw);
  return found;
}

// With an HLS master playlist of several variants, the variants are the
// video tracks (the one stream playbin shows is whichever plays). Returns
// their bandwidths, empty when the media is not such a stream.
std::vector<uint32_t> VariantsAsVideoTracks(const std::vector<HlsVariant>& variants, StreamFacts& facts) {
  if (variants.size() < 2) return {};
  const VideoTrack playing = facts.video.empty() ? VideoTrack{} : facts.video.front();
  std::vector<VideoTrack> tracks;
  std::vector<uint32_t> bandwidths;
  int32_t current = -1;
  for (const HlsVariant& variant : variants) {
    VideoTrack track = playing;
    track.encoding.subtype = playing.encoding.subtype.empty() ? VideoCodecFromHlsCodecs(variant.codecs)
                                                              : playing.encoding.subtype;
    track.encoding.bitrate = variant.bandwidth;
    track.encoding.width = variant.width;
    track.encoding.height = variant.height;
    if (current < 0 && variant.width == playing.encoding.width && variant.height == playing.encoding.height) {
      current = static_cast<int32_t>(tracks.size());
    }
    tracks.push_back(std::move(track));
    bandwidths.push_back(variant.bandwidth);
  }
  facts.video = std::move(tracks);
  facts.currentVideo = current;
  return bandwidths;
}

bool IsNetworkUri(const std::string& uri) {
  return g_str_has_prefix(uri.c_str(), "http://") || g_str_has_prefix(uri.c_str(), "https://");
}

void RunHandlers(const std::vector<std::function<hresult()>>& handlers) {
  for (const auto& handler : handlers) {
    const hresult result = ToHresult([&] { (void)handler(); });
    if (Failed(result)) DebugLine("A notification handler failed");
  }
}

}  // namespace

std::shared_ptr<PlayerCore> PlayerCore::Create(const EngineOptions& options) {
  auto core = std::make_shared<PlayerCore>(options);
  core->Build();
  return core;
}

PlayerCore::PlayerCore(const EngineOptions& options)
    : options_(options),
      thread_(std::make_shared<TaskThread>("corvane-engine")),
      converter_(std::make_unique<FrameConverter>()),
      rasterizer_(std::make_unique<render::SubtitleRasterizer>()) {
  for (auto& list : handlers_) list = std::make_shared<const HandlerList>();
  failedHandlers_ = std::make_shared<const std::vector<FailedHandler>>();
}

void PlayerCore::Build() {
  playbin_ = AdoptFloating(gst_element_factory_make("playbin", "corvane-playbin"));
  if (!playbin_) throw hresult_error(kFail, "GStreamer element missing: playbin");

  // The sinks call back with a raw pointer: they are stopped (pipeline at
  // NULL) before the core goes, and a task they post holds a weak one.
  VideoSink::Callbacks videoCallbacks;
  videoCallbacks.onFrameReadyStreaming = [this] {
    PostFromStreaming([](PlayerCore& core, uint64_t epoch) { core.AnnounceFrameOnEngine(epoch); });
  };
  videoCallbacks.onDisplaySizeStreaming = [this](DisplaySize size) {
    PostFromStreaming([size](PlayerCore& core, uint64_t epoch) { core.AnnounceSizeOnEngine(epoch, size); });
  };
  videoSink_ = std::make_unique<VideoSink>(std::move(videoCallbacks),
                                           VideoSink::Options{options_.syncVideo, options_.deliverEveryFrame});
  textSink_ = std::make_unique<TextSink>([this] {
    PostFromStreaming([](PlayerCore& core, uint64_t epoch) {
      if (epoch == core.pipelineEpoch_.load()) core.EvaluateCuesOnEngine();
    });
  });

  auto audioSink = MakeAudioOutput();
  // Pitch stays right at rates other than 1.
  auto tempo = AdoptFloating(gst_element_factory_make("scaletempo", "corvane-tempo"));
  if (!tempo) DebugLine("scaletempo is missing: audio pitch follows the playback rate");

  const guint flags =
      kFlagVideo | kFlagAudio | kFlagText | kFlagSoftVolume | kFlagNativeVideo;
  g_object_set(playbin_.get(), "video-sink", videoSink_->Bin(), "text-sink", textSink_->Element(), "flags", flags,
               nullptr);
  if (audioSink) g_object_set(playbin_.get(), "audio-sink", audioSink.get(), nullptr);
  if (tempo) g_object_set(playbin_.get(), "audio-filter", tempo.get(), nullptr);

  variants_ = std::make_unique<AdaptiveVariantWatch>(playbin_.get());

  auto bus = AdoptObject(gst_element_get_bus(playbin_.get()));
  gst_bus_set_sync_handler(bus.get(), &PlayerCore::OnBusMessageStreaming, this, nullptr);
}

PlayerCore::~PlayerCore() {
  if (!tornDown_.load() && playbin_) {
    gst_element_set_state(playbin_.get(), GST_STATE_NULL);
    auto bus = AdoptObject(gst_element_get_bus(playbin_.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    tornDown_ = true;
  }
  thread_->Stop();
}

// ---------------------------------------------------------------------------
// Commands and reads (any thread)

template <typename Fn>
void PlayerCore::PostCommand(Fn&& command) {
  thread_->Post([weak = weak_from_this(), command = std::forward<Fn>(command)]() mutable {
    if (auto core = weak.lock()) command(*core);
  });
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
    if (closed_) throw hresult_error(kObjectClosed, "the player is closed");
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
    lastPosition_ = TimeSpan(0);
    tracks_ = {};
    selectedAudio_ = selectedVideo_ = selectedText_ = -1;
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
  PostCommand([volume](PlayerCore& core) { g_object_set(core.playbin_.get(), "volume", volume, nullptr); });
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
  gint64 position = 0;
  if (playbin_ && gst_element_query_position(playbin_.get(), GST_FORMAT_TIME, &position) && position >= 0) {
    return FromNanoseconds(position);
  }
  return std::nullopt;
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
  if (position) lastPosition_ = *position;
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
  VideoSink::Frame frame = videoSink_->NewestFrame();
  // Nothing decoded yet: the surface keeps what it holds.
  if (!frame.sample) return;
  GstCaps* caps = gst_sample_get_caps(frame.sample.get());
  GstBuffer* buffer = gst_sample_get_buffer(frame.sample.get());
  GstVideoInfo info;
  if (!caps || !buffer || !gst_video_info_from_caps(&info, caps)) throw hresult_error(kFail, "frame without caps");
  GstVideoFrame mapped;
  if (!gst_video_frame_map(&mapped, &info, buffer, GST_MAP_READ)) throw hresult_error(kFail, "frame cannot be mapped");
  bool converted = false;
  {
    std::lock_guard<std::mutex> lock(copyMutex_);
    converted = converter_->Convert(mapped, pixels);
  }
  gst_video_frame_unmap(&mapped);
  videoSink_->MarkCopied(frame.serial);
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
    presenting = selectedText_ >= 0 && static_cast<size_t>(selectedText_) < textModes_.size() &&
                 textModes_[selectedText_] == TimedMetadataTrackPresentationMode::PlatformPresented;
  }
  std::vector<render::SubtitleCue> cues;
  if (presenting) {
    const auto position = QueryPosition();
    if (position) cues = textSink_->ActiveCues(static_cast<GstClockTime>(ToNanoseconds(*position)));
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
        if (core.pipelineEpoch_.load() == generation) core.variants_->Pin(bandwidth);
      });
      return;
    }
  }
  PostCommand([kind, index, generation](PlayerCore& core) {
    if (core.pipelineEpoch_.load() == generation) core.ApplyTrackSelectionOnEngine(kind, index);
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

void PlayerCore::Subscribe(PlayerEvent event, std::function<hresult()> handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& list = handlers_[static_cast<size_t>(event)];
  auto copy = std::make_shared<HandlerList>(*list);
  copy->push_back(std::move(handler));
  list = std::move(copy);
}

void PlayerCore::SubscribeFailed(FailedHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto copy = std::make_shared<std::vector<FailedHandler>>(*failedHandlers_);
  copy->push_back(std::move(handler));
  failedHandlers_ = std::move(copy);
}

// ---------------------------------------------------------------------------
// Raising notifications (engine thread)

std::shared_ptr<const PlayerCore::HandlerList> PlayerCore::BeginRaise(PlayerEvent event, uint64_t generation) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_ || generation != generation_) return nullptr;
  raising_ = true;
  return handlers_[static_cast<size_t>(event)];
}

void PlayerCore::EndRaise() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    raising_ = false;
  }
  raiseDone_.notify_all();
}

void PlayerCore::Raise(PlayerEvent event, uint64_t generation) {
  auto handlers = BeginRaise(event, generation);
  if (!handlers) return;
  RunHandlers(*handlers);
  EndRaise();
}

void PlayerCore::RaiseFailed(const MediaPlayerFailedEventArgs& args, uint64_t generation) {
  std::shared_ptr<const std::vector<FailedHandler>> handlers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || generation != generation_) return;
    raising_ = true;
    handlers = failedHandlers_;
  }
  for (const auto& handler : *handlers) {
    const hresult result = ToHresult([&] { (void)handler(args); });
    if (Failed(result)) DebugLine("A notification handler failed");
  }
  EndRaise();
}

// ---------------------------------------------------------------------------
// Streaming threads

GstBusSyncReply PlayerCore::OnBusMessageStreaming(GstBus*, GstMessage* message, gpointer self) {
  auto* core = static_cast<PlayerCore*>(self);
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
      // The first error explains the failure; later ones are its echoes.
      GError* rawError = nullptr;
      gchar* rawDebug = nullptr;
      gst_message_parse_error(message, &rawError, &rawDebug);
      ErrorPtr error(rawError);    // Adopt
      GCharPtr debug(rawDebug);    // Adopt
      std::lock_guard<std::mutex> lock(core->errorMutex_);
      if (!core->firstError_.set && error) {
        core->firstError_.set = true;
        core->firstError_.domain = error->domain;
        core->firstError_.code = error->code;
        core->firstError_.message = error->message ? error->message : "";
        core->firstError_.debug = debug ? debug.get() : "";
      }
      break;
    }
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_ASYNC_DONE:
    case GST_MESSAGE_BUFFERING:
    case GST_MESSAGE_DURATION_CHANGED:
    case GST_MESSAGE_WARNING:
      break;
    default:
      return GST_BUS_DROP;
  }
  auto held = RetainShared(message);
  core->PostFromStreaming([held](PlayerCore& engine, uint64_t epoch) { engine.HandleMessageOnEngine(epoch, held.get()); });
  return GST_BUS_DROP;
}

void PlayerCore::PostFromStreaming(std::function<void(PlayerCore&, uint64_t epoch)> work) {
  const uint64_t epoch = pipelineEpoch_.load();
  thread_->Post([weak = weak_from_this(), epoch, work = std::move(work)] {
    if (auto core = weak.lock()) work(*core, epoch);
  });
}

// ---------------------------------------------------------------------------
// Engine thread

void PlayerCore::LoadOnEngine(uint64_t generation, std::string uri) {
  // Stopping joins the streaming threads of the previous media, so nothing of
  // it is posted after this.
  gst_element_set_state(playbin_.get(), GST_STATE_NULL);
  videoSink_->Clear();
  textSink_->Clear();
  variants_->Reset();
  {
    std::lock_guard<std::mutex> lock(errorMutex_);
    firstError_ = {};
  }
  seekInFlight_ = false;
  buffering_ = false;
  bufferingRaised_ = false;
  reportedRanges_.clear();
  reportedCues_.clear();
  sizeReported_ = false;
  reportedSize_ = {};
  double volume = 1.0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || generation != generation_) return;  // a later source follows
    volume = volume_;
  }
  pipelineEpoch_ = generation;
  if (uri.empty()) {
    PumpSeeksOnEngine();  // positions set with no media complete at once
    return;
  }

  g_object_set(playbin_.get(), "uri", uri.c_str(), "volume", volume, nullptr);
  const GstStateChangeReturn result = gst_element_set_state(playbin_.get(), GST_STATE_PAUSED);
  if (result == GST_STATE_CHANGE_NO_PREROLL) {
    // A live source: it delivers nothing until playing, and has no duration.
    FinishOpeningOnEngine();
  } else if (result == GST_STATE_CHANGE_FAILURE) {
    // The error message was posted during the state change and is queued
    // ahead of this check; if there was none, fail without a reason.
    PostCommand([generation](PlayerCore& core) {
      bool opening = false;
      {
        std::lock_guard<std::mutex> lock(core.mutex_);
        opening = generation == core.generation_ && core.phase_ == Phase::Opening;
      }
      if (opening && core.pipelineEpoch_.load() == generation) {
        MediaPlayerFailedEventArgs args;
        args.errorMessage = "the media cannot be opened";
        core.FailOnEngine(std::move(args));
      }
    });
  }
  ScheduleTickOnEngine();
}

void PlayerCore::HandleMessageOnEngine(uint64_t epoch, GstMessage* message) {
  if (epoch != pipelineEpoch_.load() || tornDown_.load()) return;
  Phase phase;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || epoch != generation_) return;
    phase = phase_;
  }
  if (phase == Phase::Failed || phase == Phase::Idle) return;
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
      FirstError first;
      {
        std::lock_guard<std::mutex> lock(errorMutex_);
        first = firstError_;
      }
      MediaPlayerFailedEventArgs args;
      ErrorPtr error(first.set ? g_error_new_literal(first.domain, first.code, first.message.c_str()) : nullptr);
      args.error = MapGstError(error.get(), first.debug);
      args.errorMessage = first.message;
      DebugLine("Media failed: " + first.message + " (" + first.debug + ")");
      FailOnEngine(std::move(args));
      break;
    }
    case GST_MESSAGE_WARNING: {
      GError* rawError = nullptr;
      gst_message_parse_warning(message, &rawError, nullptr);
      ErrorPtr warning(rawError);  // Adopt
      if (warning) DebugLine(std::string("GStreamer warning: ") + warning->message);
      break;
    }
    case GST_MESSAGE_EOS: {
      if (phase != Phase::Opened) break;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (ended_) break;
        ended_ = true;
      }
      Raise(PlayerEvent::PositionChanged, epoch);
      Raise(PlayerEvent::MediaEnded, epoch);
      break;
    }
    case GST_MESSAGE_ASYNC_DONE:
      if (GST_MESSAGE_SRC(message) == GST_OBJECT_CAST(playbin_.get())) HandleAsyncDoneOnEngine();
      break;
    case GST_MESSAGE_BUFFERING: {
      gint percent = 100;
      gst_message_parse_buffering(message, &percent);
      HandleBufferingOnEngine(percent);
      break;
    }
    case GST_MESSAGE_DURATION_CHANGED: {
      gint64 duration = 0;
      if (phase == Phase::Opened && gst_element_query_duration(playbin_.get(), GST_FORMAT_TIME, &duration) &&
          duration > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!live_) duration_ = FromNanoseconds(duration);
      }
      break;
    }
    default:
      break;
  }
}

void PlayerCore::FinishOpeningOnEngine() {
  gint64 durationNs = 0;
  const bool haveDuration =
      gst_element_query_duration(playbin_.get(), GST_FORMAT_TIME, &durationNs) && durationNs > 0;
  gboolean seekable = FALSE;
  {
    auto query = AdoptMini(gst_query_new_seeking(GST_FORMAT_TIME));
    if (gst_element_query(playbin_.get(), query.get())) {
      gst_query_parse_seeking(query.get(), nullptr, &seekable, nullptr, nullptr);
    }
  }
  StreamFacts tracks = ReadStreamFacts(playbin_.get());
  const std::vector<uint32_t> variantBandwidths = VariantsAsVideoTracks(variants_->Variants(), tracks);
  auto downloadQueue = FindElementByFactory(GST_BIN(playbin_.get()), "queue2");
  gint64 totalBytes = 0;
  if (downloadQueue) gst_element_query_duration(downloadQueue.get(), GST_FORMAT_BYTES, &totalBytes);
  const DisplaySize size = videoSink_->CurrentDisplaySize();

  const uint64_t generation = pipelineEpoch_.load();
  std::shared_ptr<MediaPlaybackItem> item;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || generation != generation_ || phase_ != Phase::Opening) return;
    phase_ = Phase::Opened;
    // A source whose length is unknown once open is live, whatever the
    // demuxer says about seeking (an HTTP stream without length or ranges).
    live_ = !haveDuration;
    duration_ = live_ ? kLiveDuration : FromNanoseconds(durationNs);
    seekable_ = seekable && !live_;
    naturalSize_ = size;
    downloadQueue_ = std::move(downloadQueue);
    variantBandwidths_ = variantBandwidths;
    totalBytes_ = totalBytes;
    tracks_ = Tracks{tracks.audio, tracks.video, tracks.text};
    selectedAudio_ = tracks.currentAudio;
    selectedVideo_ = tracks.currentVideo;
    selectedText_ = tracks.currentText;
    textModes_.assign(tracks.text.size(), TimedMetadataTrackPresentationMode::Disabled);
    if (rate_ != 1.0) rateDirty_ = true;
    item = item_;
  }
  if (item) {
    auto weak = weak_from_this();
    item->AttachTracks(std::make_shared<LiveAudioTrackList>(weak, generation, std::move(tracks.audio)),
                       std::make_shared<LiveVideoTrackList>(weak, generation, std::move(tracks.video)),
                       std::make_shared<LiveTextTrackList>(weak, generation, std::move(tracks.text)));
  }
  if (size.width > 0 && size.height > 0) {
    sizeReported_ = true;
    reportedSize_ = size;
    Raise(PlayerEvent::NaturalVideoSizeChanged, generation);
  }
  Raise(PlayerEvent::MediaOpened, generation);
  PumpSeeksOnEngine();
  ApplyPlayStateOnEngine();
  AnnounceFrameOnEngine(generation);
}

void PlayerCore::FailOnEngine(MediaPlayerFailedEventArgs args) {
  gst_element_set_state(playbin_.get(), GST_STATE_NULL);
  videoSink_->Clear();
  textSink_->Clear();
  const uint64_t generation = pipelineEpoch_.load();
  int owed = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation != generation_) return;
    phase_ = Phase::Failed;
    owed = owedSeeks_;
    owedSeeks_ = 0;
    pendingSeek_.reset();
    seekInFlightTarget_.reset();
  }
  seekInFlight_ = false;
  RaiseFailed(args, generation);
  CompleteSeeksOnEngine(owed);
}

void PlayerCore::HandleAsyncDoneOnEngine() {
  Phase phase;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    phase = phase_;
  }
  if (phase == Phase::Opening) {
    FinishOpeningOnEngine();
    return;
  }
  if (!seekInFlight_) return;
  seekInFlight_ = false;
  int completed = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    seekInFlightTarget_.reset();
    // A later position supersedes this seek: its completion comes with that one.
    if (inFlightIsUser_ && !pendingSeek_) {
      completed = owedSeeks_;
      owedSeeks_ = 0;
    }
  }
  CompleteSeeksOnEngine(completed);
  EvaluateCuesOnEngine();
  PumpSeeksOnEngine();
}

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
  int completeNow = 0;
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
    } else if (rateDirty_) {
      currentPosition = true;
    } else {
      return;
    }
    rateDirty_ = false;
    rate = rate_;
  }
  if (completeNow > 0) {
    CompleteSeeksOnEngine(completeNow);
    return;
  }
  if (currentPosition) target = QueryPosition().value_or(TimeSpan(0));
  const gboolean sent = gst_element_seek(playbin_.get(), rate, GST_FORMAT_TIME,
                                         static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                         GST_SEEK_TYPE_SET, ToNanoseconds(target), GST_SEEK_TYPE_NONE, -1);
  if (!sent) {
    DebugLine("Seek refused by the pipeline");
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
  const uint64_t serial = ++seekSerial_;
  thread_->PostDelayed(kSeekWatchdog, [weak = weak_from_this(), serial] {
    if (auto core = weak.lock()) core->SeekWatchdogOnEngine(serial);
  });
}

void PlayerCore::SeekWatchdogOnEngine(uint64_t serial) {
  if (!seekInFlight_ || serial != seekSerial_) return;
  DebugLine("A seek was not confirmed in time; completing it");
  HandleAsyncDoneOnEngine();
}

void PlayerCore::HandleBufferingOnEngine(int percent) {
  Phase phase;
  uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    phase = phase_;
    generation = generation_;
  }
  if (percent < 100 && !buffering_) {
    buffering_ = true;
    if (phase == Phase::Opened) {
      ApplyPlayStateOnEngine();
      bufferingRaised_ = true;
      Raise(PlayerEvent::BufferingStarted, generation);
    }
  } else if (percent >= 100 && buffering_) {
    buffering_ = false;
    ApplyPlayStateOnEngine();
    if (bufferingRaised_) {
      bufferingRaised_ = false;
      Raise(PlayerEvent::BufferingEnded, generation);
    }
  }
}

void PlayerCore::ApplyPlayStateOnEngine() {
  bool playing = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || phase_ != Phase::Opened || pipelineEpoch_.load() != generation_) return;
    playing = wantPlaying_ && (!buffering_ || live_);
  }
  gst_element_set_state(playbin_.get(), playing ? GST_STATE_PLAYING : GST_STATE_PAUSED);
}

void PlayerCore::ScheduleTickOnEngine() {
  if (tickScheduled_) return;
  tickScheduled_ = true;
  const uint64_t epoch = pipelineEpoch_.load();
  thread_->PostDelayed(options_.positionInterval, [weak = weak_from_this(), epoch] {
    if (auto core = weak.lock()) core->TickOnEngine(epoch);
  });
}

void PlayerCore::TickOnEngine(uint64_t epoch) {
  tickScheduled_ = false;
  if (epoch != pipelineEpoch_.load() || tornDown_.load()) return;
  bool report = false;
  Phase phase;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || epoch != generation_) return;
    phase = phase_;
    report = phase_ == Phase::Opened && wantPlaying_ && !ended_ && !buffering_;
  }
  if (phase != Phase::Opening && phase != Phase::Opened) return;
  if (report && !seekInFlight_) Raise(PlayerEvent::PositionChanged, epoch);
  if (phase == Phase::Opened) {
    EvaluateCuesOnEngine();
    if (++tickCount_ % kRangeTickDivider == 0) CheckBufferedRangesOnEngine();
  }
  ScheduleTickOnEngine();
}

void PlayerCore::EvaluateCuesOnEngine() {
  const uint64_t epoch = pipelineEpoch_.load();
  bool presenting = false;
  bool playing = false;
  double rate = 1.0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || epoch != generation_ || phase_ != Phase::Opened) return;
    presenting = selectedText_ >= 0 && static_cast<size_t>(selectedText_) < textModes_.size() &&
                 textModes_[selectedText_] == TimedMetadataTrackPresentationMode::PlatformPresented;
    playing = wantPlaying_ && !ended_;
    rate = rate_;
  }
  std::vector<uint64_t> active;
  GstClockTime position = GST_CLOCK_TIME_NONE;
  if (presenting) {
    gint64 now = 0;
    if (gst_element_query_position(playbin_.get(), GST_FORMAT_TIME, &now) && now >= 0) {
      position = static_cast<GstClockTime>(now);
      active = textSink_->ActiveIds(position);
    }
  }
  if (active != reportedCues_) {
    reportedCues_ = std::move(active);
    Raise(PlayerEvent::SubtitleFrameChanged, epoch);
  }
  // Wake up at the next cue boundary; a later evaluation replaces the timer.
  if (presenting && playing && GST_CLOCK_TIME_IS_VALID(position)) {
    const GstClockTime next = textSink_->NextChange(position);
    if (GST_CLOCK_TIME_IS_VALID(next)) {
      const auto wait = std::chrono::nanoseconds(static_cast<int64_t>((next - position) / rate)) +
                        std::chrono::milliseconds(2);
      const uint64_t serial = ++cueTimerSerial_;
      thread_->PostDelayed(wait, [weak = weak_from_this(), epoch, serial] {
        auto core = weak.lock();
        if (core && core->pipelineEpoch_.load() == epoch && core->cueTimerSerial_ == serial) {
          core->EvaluateCuesOnEngine();
        }
      });
    }
  }
}

void PlayerCore::CheckBufferedRangesOnEngine() {
  const uint64_t epoch = pipelineEpoch_.load();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!network_) return;
  }
  auto ranges = BufferedRanges();
  const bool same = ranges.size() == reportedRanges_.size() &&
                    std::equal(ranges.begin(), ranges.end(), reportedRanges_.begin(),
                               [](const MediaTimeRange& a, const MediaTimeRange& b) {
                                 return a.start == b.start && a.end == b.end;
                               });
  if (same) return;
  reportedRanges_ = std::move(ranges);
  Raise(PlayerEvent::BufferedRangesChanged, epoch);
}

void PlayerCore::AnnounceFrameOnEngine(uint64_t epoch) {
  // Acknowledge first: a frame arriving from now on is announced again.
  videoSink_->AcknowledgeFrame();
  if (epoch != pipelineEpoch_.load()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || epoch != generation_ || phase_ != Phase::Opened || !frameServer_) return;
  }
  if (!videoSink_->NewestFrame().sample) return;
  Raise(PlayerEvent::VideoFrameAvailable, epoch);
}

void PlayerCore::AnnounceSizeOnEngine(uint64_t epoch, DisplaySize size) {
  if (epoch != pipelineEpoch_.load() || size.width == 0 || size.height == 0) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || epoch != generation_ || phase_ != Phase::Opened) return;
    naturalSize_ = size;
  }
  if (sizeReported_ && size == reportedSize_) return;
  sizeReported_ = true;
  reportedSize_ = size;
  Raise(PlayerEvent::NaturalVideoSizeChanged, epoch);
}

void PlayerCore::ApplyTrackSelectionOnEngine(TrackKind kind, int32_t index) {
  const char* property = kind == TrackKind::Audio ? "current-audio" : kind == TrackKind::Video ? "current-video"
                                                                                                : "current-text";
  g_object_set(playbin_.get(), property, index, nullptr);
}

void PlayerCore::ApplyTextPresentationOnEngine() {
  int32_t presented = -1;
  int32_t current = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < textModes_.size(); ++i) {
      if (textModes_[i] == TimedMetadataTrackPresentationMode::PlatformPresented) {
        presented = static_cast<int32_t>(i);
        break;
      }
    }
    current = selectedText_;
    if (presented >= 0) selectedText_ = presented;
  }
  if (presented >= 0 && presented != current) {
    // The cues of the stream shown so far no longer apply.
    textSink_->Clear();
    ApplyTrackSelectionOnEngine(TrackKind::Text, presented);
  }
  EvaluateCuesOnEngine();
}

void PlayerCore::TeardownOnEngine() {
  if (tornDown_.load()) return;
  gst_element_set_state(playbin_.get(), GST_STATE_NULL);
  auto bus = AdoptObject(gst_element_get_bus(playbin_.get()));
  gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
  gst_bus_set_flushing(bus.get(), TRUE);
  videoSink_->Clear();
  textSink_->Clear();
  tornDown_ = true;
}

}  // namespace corvane::platform::gst
