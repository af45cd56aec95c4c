// Loading a source, finishing its opening, failing it, and the teardown
// (engine thread).
#include "platform/gst/player_core.h"

#include <cstring>

#include "platform/engine_core/engine_watchdog.h"
#include "platform/gst/debug_log.h"
#include "platform/gst/pipeline_retirement.h"
#include "platform/gst/stream_facts.h"
#include "platform/gst/text_sink.h"
#include "platform/gst/time_units.h"
#include "platform/gst/track_lists.h"

namespace corvane::platform::gst {
namespace {

// The first element inside `bin` (at any depth) whose factory `matches`.
template <typename Matches>
GObjectPtr<GstElement> FindElement(GstBin* bin, Matches matches) {
  GObjectPtr<GstElement> found;
  GstIterator* raw = gst_bin_iterate_recurse(bin);
  GValue item = G_VALUE_INIT;
  bool done = false;
  while (!done && !found) {
    switch (gst_iterator_next(raw, &item)) {
      case GST_ITERATOR_OK: {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* made = gst_element_get_factory(element);
        if (made && matches(made)) found = RetainObject(element);
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

GObjectPtr<GstElement> FindElementByFactory(GstBin* bin, const char* factory) {
  return FindElement(bin, [factory](GstElementFactory* made) { return g_strcmp0(GST_OBJECT_NAME(made), factory) == 0; });
}

// HLS and DASH demuxers, whose source is a playlist.
bool HasAdaptiveDemuxer(GstBin* bin) {
  return FindElement(bin, [](GstElementFactory* made) {
           const gchar* klass = gst_element_factory_get_metadata(made, GST_ELEMENT_METADATA_KLASS);
           return klass && std::strstr(klass, "Adaptive") != nullptr;
         }) != nullptr;
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

}  // namespace

void PlayerCore::LoadOnEngine(SourceNumber source, std::string uri) {
  // Stopping joins the streaming threads of the previous media, so nothing of
  // it is posted after this; each source gets a pipeline of its own (see
  // Pipeline), and a run of its own.
  StopPipelineOnEngine();
  run_ = std::make_unique<PipelineRun>();
  run_->uri = uri;
  {
    std::lock_guard<std::mutex> lock(errorMutex_);
    firstError_ = {};
  }
  double volume = 1.0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(source)) return;  // a later source follows
    volume = volume_;
  }
  loaded_ = source;
  if (uri.empty()) {
    PumpSeeksOnEngine();  // positions set with no media complete at once
    return;
  }

  std::shared_ptr<Pipeline> pipeline;
  try {
    pipeline = std::make_shared<Pipeline>(options_, audioOutput_, PipelineCallbacks(), uri, volume);
  } catch (const std::exception& error) {
    DebugLine(std::string("The pipeline cannot be built: ") + error.what());
    MediaPlayerFailedEventArgs args;
    args.errorMessage = error.what();
    FailOnEngine(std::move(args));
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pipeline_ = pipeline;
  }
  GstStateChangeReturn result = GST_STATE_CHANGE_FAILURE;
  {
    WatchedCall call("opening a pipeline");
    result = gst_element_set_state(pipeline->Playbin(), GST_STATE_PAUSED);
  }
  if (result == GST_STATE_CHANGE_NO_PREROLL) {
    // A live source: it delivers nothing until playing, and has no duration.
    FinishOpeningOnEngine();
  } else if (result == GST_STATE_CHANGE_FAILURE) {
    // The error message was posted during the state change and is queued
    // ahead of this check; if there was none, fail without a reason.
    PostCommand([source](PlayerCore& core) {
      bool opening = false;
      {
        std::lock_guard<std::mutex> lock(core.mutex_);
        opening = core.IsWantedLocked(source) && core.wanted_.phase == SourcePhase::kOpening;
      }
      if (opening && core.loaded_.load() == source) {
        MediaPlayerFailedEventArgs args;
        args.errorMessage = "the media cannot be opened";
        core.FailOnEngine(std::move(args));
      }
    });
  }
  ScheduleTickOnEngine();
}

void PlayerCore::FinishOpeningOnEngine() {
  if (!pipeline_) return;
  GstElement* playbin = pipeline_->Playbin();
  gint64 durationNs = 0;
  const bool haveDuration = gst_element_query_duration(playbin, GST_FORMAT_TIME, &durationNs) && durationNs > 0;
  gboolean seekable = FALSE;
  {
    auto query = AdoptMini(gst_query_new_seeking(GST_FORMAT_TIME));
    if (gst_element_query(playbin, query.get())) {
      gst_query_parse_seeking(query.get(), nullptr, &seekable, nullptr, nullptr);
    }
  }
  StreamFacts tracks = ReadStreamFacts(playbin);
  const std::vector<uint32_t> variantBandwidths = VariantsAsVideoTracks(pipeline_->Variants().Variants(), tracks);
  auto downloadQueue = FindElementByFactory(GST_BIN(playbin), "queue2");
  gint64 totalBytes = 0;
  if (downloadQueue) gst_element_query_duration(downloadQueue.get(), GST_FORMAT_BYTES, &totalBytes);
  const DisplaySize size = pipeline_->Video().CurrentDisplaySize();
  // A server that takes no ranges answers a seek with the whole file, and
  // the HTTP source fails for good: such a source plays from the start and
  // does not seek.
  const bool rangesRefused = pipeline_->SourceRefusesRanges() && !HasAdaptiveDemuxer(GST_BIN(playbin));
  run_->lookBackForCues =
      run_->uri.rfind("file://", 0) == 0 && FindElementByFactory(GST_BIN(playbin), "matroskademux");

  const SourceNumber source = loaded_.load();
  std::shared_ptr<MediaPlaybackItem> item;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(source) || wanted_.phase != SourcePhase::kOpening) return;
    wanted_.phase = SourcePhase::kOpened;
    // A source whose length is unknown once open is live, whatever the
    // demuxer says about seeking (an HTTP stream without length or ranges).
    wanted_.live = !haveDuration;
    wanted_.duration = wanted_.live ? kLiveDuration : FromNanoseconds(durationNs);
    wanted_.seekable = seekable && !wanted_.live && !rangesRefused;
    wanted_.naturalSize = size;
    wanted_.downloadQueue = std::move(downloadQueue);
    wanted_.variantBandwidths = variantBandwidths;
    wanted_.totalBytes = totalBytes;
    wanted_.audioTracks = tracks.audio;
    wanted_.videoTracks = tracks.video;
    wanted_.textTracks = tracks.text;
    wanted_.selectedAudio = tracks.currentAudio;
    wanted_.selectedVideo = tracks.currentVideo;
    wanted_.selectedText = tracks.currentText;
    wanted_.textModes.assign(tracks.text.size(), TimedMetadataTrackPresentationMode::Disabled);
    if (rate_ != 1.0) wanted_.seeks.FlushHere();
    item = wanted_.item;
  }
  if (item) {
    auto weak = weak_from_this();
    item->AttachTracks(std::make_shared<LiveAudioTrackList>(weak, source, std::move(tracks.audio)),
                       std::make_shared<LiveVideoTrackList>(weak, source, std::move(tracks.video)),
                       std::make_shared<LiveTextTrackList>(weak, source, std::move(tracks.text)));
  }
  if (size.width > 0 && size.height > 0) {
    run_->sizeReported = true;
    run_->reportedSize = size;
    Raise(PlayerEvent::NaturalVideoSizeChanged, source);
  }
  run_->untouchedSinceOpening = true;
  Raise(PlayerEvent::MediaOpened, source);
  PumpSeeksOnEngine();
  ApplyPlayStateOnEngine();
  AnnounceFrameOnEngine(source);
}

void PlayerCore::FailOnEngine(MediaPlayerFailedEventArgs args) {
  StopPipelineOnEngine();
  const SourceNumber source = loaded_.load();
  int owed = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (source != wanted_.number) return;
    wanted_.phase = SourcePhase::kFailed;
    owed = wanted_.seeks.Failed();
  }
  gate_.RaiseFailed(args, source);
  CompleteSeeksOnEngine(owed);
}

void PlayerCore::TeardownOnEngine() {
  if (tornDown_.load()) return;
  StopPipelineOnEngine();
  tornDown_ = true;
}

void PlayerCore::StopPipelineOnEngine() {
  run_->cueLookback.reset();
  std::shared_ptr<Pipeline> stopping;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping = std::move(pipeline_);
    pipeline_ = nullptr;
  }
  if (!stopping) return;
  // Other threads may still hold it for a read; it answers them stopped.
  if (stopping->HasNetworkSource() && stopping->IsSettling()) {
    stopping->Detach();
    RetirePipeline(std::move(stopping));
  } else {
    stopping->Stop();
  }
}

}  // namespace corvane::platform::gst
