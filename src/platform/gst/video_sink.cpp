#include "platform/gst/video_sink.h"

#include <gst/video/video.h>

#include <chrono>

#include "platform/hresult.h"

namespace corvane::platform::gst {
namespace {

// The formats FrameConverter reads straight from the decoder's buffers.
constexpr const char* kDirectCaps =
    "video/x-raw, format=(string){ I420, YV12, NV12, NV21, Y42B, Y444, I420_10LE, I422_10LE, Y444_10LE, P010_10LE, "
    "BGRA, BGRx, RGBA, RGBx, ARGB, xRGB, ABGR, xBGR, RGB, BGR }";

// How long a streaming thread waits for a copy in deliverEveryFrame mode.
constexpr auto kCopyWait = std::chrono::seconds(1);

GObjectPtr<GstElement> MakeElement(const char* factory, const char* name) {
  auto element = AdoptFloating(gst_element_factory_make(factory, name));
  if (!element) throw hresult_error(kFail, std::string("GStreamer element missing: ") + factory);
  return element;
}

}  // namespace

DisplaySize DisplaySizeFromCaps(const GstCaps* caps, VideoOrientation orientation) {
  GstVideoInfo info;
  if (!caps || !gst_video_info_from_caps(&info, caps)) return {};
  uint64_t width = static_cast<uint64_t>(GST_VIDEO_INFO_WIDTH(&info));
  const int parN = GST_VIDEO_INFO_PAR_N(&info);
  const int parD = GST_VIDEO_INFO_PAR_D(&info);
  if (parN > 0 && parD > 0 && parN != parD) {
    width = gst_util_uint64_scale_int_round(width, parN, parD);
  }
  const auto height = static_cast<uint32_t>(GST_VIDEO_INFO_HEIGHT(&info));
  if (SwapsAxes(orientation)) return {height, static_cast<uint32_t>(width)};
  return {static_cast<uint32_t>(width), height};
}

VideoSink::VideoSink(Callbacks callbacks, Options options)
    : onFrameReady_(std::move(callbacks.onFrameReadyStreaming)),
      onDisplaySize_(std::move(callbacks.onDisplaySizeStreaming)),
      options_(options) {
  bin_ = AdoptFloating(gst_bin_new("corvane-video-sink"));
  // Interlaced streams are deinterlaced (each field becomes a frame, so 25i
  // plays as 50p); progressive ones pass through untouched, whatever their
  // format.
  auto deinterlace = MakeElement("deinterlace", "deinterlace");
  auto convert = MakeElement("videoconvert", "convert");
  appsink_ = MakeElement("appsink", "frames");

  auto caps = AdoptMini(gst_caps_from_string(kDirectCaps));
  g_object_set(appsink_.get(), "caps", caps.get(), "sync", options_.sync ? TRUE : FALSE, "max-buffers", 1u,
               "drop", FALSE, "enable-last-sample", FALSE, "qos", options_.sync ? TRUE : FALSE, nullptr);
  // Neither element is floating any more, so the bin takes references of
  // its own (see TextSink); ours stay valid for its life.
  gst_bin_add_many(GST_BIN(bin_.get()), deinterlace.get(), convert.get(), appsink_.get(), nullptr);
  if (!gst_element_link_many(deinterlace.get(), convert.get(), appsink_.get(), nullptr)) {
    throw hresult_error(kFail, "cannot link video sink");
  }

  auto binSink = AdoptObject(gst_element_get_static_pad(deinterlace.get(), "sink"));
  // The ghost pad is named "sink": playbin's video-sink contract.
  gst_element_add_pad(bin_.get(), gst_ghost_pad_new("sink", binSink.get()));

  GstAppSinkCallbacks appCallbacks{};
  appCallbacks.new_sample = &VideoSink::OnNewSampleStreaming;
  appCallbacks.new_preroll = &VideoSink::OnNewPrerollStreaming;
  gst_app_sink_set_callbacks(GST_APP_SINK(appsink_.get()), &appCallbacks, this, nullptr);

  auto appsinkPad = AdoptObject(gst_element_get_static_pad(appsink_.get(), "sink"));
  gst_pad_add_probe(appsinkPad.get(),
                    static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_EVENT_BOTH | GST_PAD_PROBE_TYPE_EVENT_FLUSH |
                                                 GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM),
                    &VideoSink::OnPadProbeStreaming, this, nullptr);
}

VideoSink::~VideoSink() {
  // The owner stops the pipeline first; this only detaches us for safety.
  GstAppSinkCallbacks none{};
  gst_app_sink_set_callbacks(GST_APP_SINK(appsink_.get()), &none, nullptr, nullptr);
  Clear();
}

GstFlowReturn VideoSink::OnNewSampleStreaming(GstAppSink* sink, gpointer self) {
  auto sample = AdoptMini(gst_app_sink_pull_sample(sink));
  if (sample) static_cast<VideoSink*>(self)->Store(std::move(sample));
  return GST_FLOW_OK;
}

GstFlowReturn VideoSink::OnNewPrerollStreaming(GstAppSink* sink, gpointer self) {
  auto sample = AdoptMini(gst_app_sink_pull_preroll(sink));
  if (sample) static_cast<VideoSink*>(self)->Store(std::move(sample));
  return GST_FLOW_OK;
}

GstPadProbeReturn VideoSink::OnPadProbeStreaming(GstPad*, GstPadProbeInfo* info, gpointer self) {
  auto* sink = static_cast<VideoSink*>(self);
  if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM) {
    GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
    if (GST_QUERY_TYPE(query) == GST_QUERY_ALLOCATION) {
      // Telling the decoder we read GstVideoMeta lets it hand over its own
      // padded buffers instead of copying each frame into a tight layout.
      gst_query_add_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr);
      return GST_PAD_PROBE_HANDLED;
    }
    return GST_PAD_PROBE_OK;
  }
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_FLUSH_START: {
      {
        std::lock_guard<std::mutex> lock(sink->mutex_);
        sink->flushing_ = true;
        sink->newest_.reset();
      }
      sink->copied_.notify_all();
      break;
    }
    case GST_EVENT_FLUSH_STOP: {
      std::lock_guard<std::mutex> lock(sink->mutex_);
      sink->flushing_ = false;
      break;
    }
    case GST_EVENT_CAPS:
    case GST_EVENT_TAG:
    case GST_EVENT_STREAM_START:
      sink->OnStreamFactsStreaming(event);
      break;
    default:
      break;
  }
  return GST_PAD_PROBE_OK;
}

void VideoSink::OnStreamFactsStreaming(GstEvent* event) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    caps_ = RetainMini(caps);
  } else if (GST_EVENT_TYPE(event) == GST_EVENT_STREAM_START) {
    streamOrientation_.reset();
  } else {
    GstTagList* tags = nullptr;
    gst_event_parse_tag(event, &tags);
    gchar* rawValue = nullptr;
    // A tag event without the orientation keeps the last one: decoders and
    // parsers send tags of their own after the demuxer's.
    if (tags == nullptr || !gst_tag_list_get_string(tags, GST_TAG_IMAGE_ORIENTATION, &rawValue)) return;
    const GCharPtr value(rawValue);  // Adopt
    const VideoOrientation orientation = OrientationFromTag(value.get());
    if (gst_tag_list_get_scope(tags) == GST_TAG_SCOPE_GLOBAL) {
      globalOrientation_ = orientation;
    } else {
      streamOrientation_ = orientation;
    }
  }
  // The caps come before the tags, so the size is settled only when a frame
  // follows them: announcing at each event would report a phone video's
  // coded size first, then its turned size.
  factsChanged_ = true;
}

VideoOrientation VideoSink::OrientationLocked() const {
  return streamOrientation_.value_or(globalOrientation_.value_or(VideoOrientation::kIdentity));
}

void VideoSink::Store(MiniPtr<GstSample> sample) {
  bool announce = false;
  bool sizeChanged = false;
  DisplaySize announcedSize;
  MiniPtr<GstSample> previous;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (options_.deliverEveryFrame && newest_) {
      copied_.wait_for(lock, kCopyWait, [this] { return flushing_ || !newest_ || copiedSerial_ >= serial_; });
    }
    if (factsChanged_) {
      factsChanged_ = false;
      const DisplaySize size = DisplaySizeFromCaps(caps_.get(), OrientationLocked());
      sizeChanged = size != size_;
      size_ = size;
      announcedSize = size;
    }
    previous = std::move(newest_);
    newest_ = std::move(sample);
    ++serial_;
    announce = !announcePending_;
    announcePending_ = true;
  }
  // `previous` is released here, outside the lock.
  if (sizeChanged) onDisplaySize_(announcedSize);
  if (announce) onFrameReady_();
}

VideoSink::Frame VideoSink::NewestFrame() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return Frame{RetainMini(newest_.get()), serial_, OrientationLocked()};
}

void VideoSink::MarkCopied(uint64_t serial) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (serial > copiedSerial_) copiedSerial_ = serial;
  }
  copied_.notify_all();
}

void VideoSink::AcknowledgeFrame() {
  std::lock_guard<std::mutex> lock(mutex_);
  announcePending_ = false;
}

void VideoSink::Clear() {
  MiniPtr<GstSample> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped = std::move(newest_);
    size_ = {};
    caps_.reset();
    streamOrientation_.reset();
    globalOrientation_.reset();
    announcePending_ = false;
    copiedSerial_ = serial_;
  }
  copied_.notify_all();
}

void VideoSink::DetachCallbacks() {
  onFrameReady_.Detach();
  onDisplaySize_.Detach();
}

DisplaySize VideoSink::CurrentDisplaySize() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return size_;
}

}  // namespace corvane::platform::gst
