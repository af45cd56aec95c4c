#include "platform/gst/cue_lookback.h"

#include <algorithm>

namespace corvane::platform::gst {
namespace {

// Once any stream has passed the target by this much, no cue that starts
// before the target is still to come: the demuxer interleaves by time.
constexpr GstClockTime kPastTarget = GST_SECOND;

// `timestamp` of a buffer on `pad` as a stream time, by the pad's segment.
GstClockTime StreamTimeOn(GstPad* pad, GstClockTime timestamp) {
  auto event = AdoptMini(gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0));
  const GstSegment* segment = nullptr;
  if (event) gst_event_parse_segment(event.get(), &segment);
  if (segment == nullptr || segment->format != GST_FORMAT_TIME) return timestamp;
  const guint64 streamTime = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, timestamp);
  return GST_CLOCK_TIME_IS_VALID(streamTime) ? streamTime : timestamp;
}

}  // namespace

CueLookback::CueLookback(Key, std::string streamId, GstClockTime target, FoundCallback found)
    : streamId_(std::move(streamId)), target_(target), found_(std::move(found)) {}

std::unique_ptr<CueLookback> CueLookback::Start(const std::string& uri, const std::string& streamId,
                                                GstClockTime target, FoundCallback found) {
  if (uri.rfind("file://", 0) != 0 || streamId.empty()) return nullptr;
  auto lookback = std::make_unique<CueLookback>(Key(), streamId, target, std::move(found));
  auto pipeline = AdoptFloating(gst_pipeline_new("corvane-cue-lookback"));
  auto source = AdoptFloating(gst_element_make_from_uri(GST_URI_SRC, uri.c_str(), nullptr, nullptr));
  auto demuxer = AdoptFloating(gst_element_factory_make("matroskademux", nullptr));
  if (!pipeline || !source || !demuxer) return nullptr;
  gst_bin_add_many(GST_BIN(pipeline.get()), source.get(), demuxer.get(), nullptr);
  if (!gst_element_link(source.get(), demuxer.get())) return nullptr;
  g_signal_connect(demuxer.get(), "pad-added", G_CALLBACK(&CueLookback::OnPadAddedStreaming), lookback.get());
  lookback->pipeline_ = std::move(pipeline);
  if (gst_element_set_state(lookback->pipeline_.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) return nullptr;
  // Sent before the demuxer has read the file's header, the seek waits for
  // it and then starts the streams at the keyframe before the reach.
  const GstClockTime from = target > kReach ? target - kReach : 0;
  gst_element_send_event(demuxer.get(),
                         gst_event_new_seek(1.0, GST_FORMAT_TIME,
                                            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT |
                                                                      GST_SEEK_FLAG_SNAP_BEFORE),
                                            GST_SEEK_TYPE_SET, static_cast<gint64>(from), GST_SEEK_TYPE_NONE, -1));
  if (gst_element_set_state(lookback->pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return nullptr;
  return lookback;
}

CueLookback::~CueLookback() {
  // Joins the demuxer's thread: no probe runs after this.
  if (pipeline_) gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
}

void CueLookback::OnPadAddedStreaming(GstElement*, GstPad* pad, gpointer self) {
  gst_pad_add_probe(pad,
                    static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                    &CueLookback::OnDataStreaming, self, nullptr);
}

GstPadProbeReturn CueLookback::OnDataStreaming(GstPad* pad, GstPadProbeInfo* info, gpointer self) {
  auto* lookback = static_cast<CueLookback*>(self);
  GCharPtr streamId(gst_pad_get_stream_id(pad));  // Adopt
  if (streamId && lookback->streamId_ == streamId.get()) {
    lookback->TakeChosen(pad, info);
  } else if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (GST_BUFFER_PTS_IS_VALID(buffer) && StreamTimeOn(pad, GST_BUFFER_PTS(buffer)) > lookback->target_ + kPastTarget) {
      lookback->Finish();
    }
  }
  // Nothing goes further: the pads are not linked, and a dropped buffer
  // counts as pushed, so the demuxer reads on.
  return GST_PAD_PROBE_DROP;
}

void CueLookback::TakeChosen(GstPad* pad, GstPadProbeInfo* info) {
  if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS) Finish();
    return;
  }
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  if (!GST_BUFFER_PTS_IS_VALID(buffer)) return;
  const GstClockTime start = StreamTimeOn(pad, GST_BUFFER_PTS(buffer));
  if (start > target_) {
    Finish();
    return;
  }
  // The demuxer sets a pad's caps before it announces the pad, so they are
  // read from the pad rather than from the events seen.
  auto caps = AdoptMini(gst_pad_get_current_caps(pad));
  auto cue = CueFromBuffer(CueFormatFromCaps(caps.get()), buffer);
  if (!cue) return;
  TimedCue timed;
  timed.start = start;
  timed.end = GST_BUFFER_DURATION_IS_VALID(buffer) ? start + GST_BUFFER_DURATION(buffer) : GST_CLOCK_TIME_NONE;
  timed.cue = std::move(*cue);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!finished_) cues_.push_back(std::move(timed));
}

void CueLookback::Finish() {
  std::vector<TimedCue> showing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (finished_) return;
    finished_ = true;
    for (size_t i = 0; i < cues_.size(); ++i) {
      TimedCue& cue = cues_[i];
      // A cue without a duration lasts until the next one.
      const GstClockTime end = cue.end != GST_CLOCK_TIME_NONE ? cue.end
                               : i + 1 < cues_.size()          ? cues_[i + 1].start
                                                               : GST_CLOCK_TIME_NONE;
      if (end == GST_CLOCK_TIME_NONE || end > target_) showing.push_back(std::move(cue));
    }
    cues_.clear();
  }
  found_(std::move(showing));
}

}  // namespace corvane::platform::gst
