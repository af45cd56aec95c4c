#include "platform/gst/text_sink.h"

#include <algorithm>
#include <cstring>

#include "platform/hresult.h"

namespace corvane::platform::gst {
namespace {

// Text in the formats SubtitleRasterizer draws; subpictures are accepted and
// ignored so a selected bitmap stream still links.
constexpr const char* kTextCaps =
    "text/x-raw, format=(string){ utf8, pango-markup }; subpicture/x-pgs; subpicture/x-dvd; subpicture/x-dvb";

// Cues kept at most; old ones go first. Screens rarely show more than two.
constexpr size_t kMaxCues = 64;

}  // namespace

void CueStore::Add(GstClockTime start, GstClockTime duration, render::SubtitleCue cue) {
  for (const TimedCue& known : cues_) {
    // The preroll cue comes again as the first rendered one.
    if (known.start == start && known.cue.text == cue.text) return;
  }
  for (TimedCue& known : cues_) {
    if (known.end == GST_CLOCK_TIME_NONE && known.start < start) known.end = start;
  }
  TimedCue timed;
  timed.id = nextId_++;
  timed.start = start;
  timed.end = GST_CLOCK_TIME_IS_VALID(duration) ? start + duration : GST_CLOCK_TIME_NONE;
  timed.cue = std::move(cue);
  cues_.push_back(std::move(timed));
  while (cues_.size() > kMaxCues) cues_.pop_front();
}

void CueStore::Gap(GstClockTime time) {
  for (TimedCue& known : cues_) {
    if (known.end == GST_CLOCK_TIME_NONE && known.start <= time) known.end = time;
  }
}

void CueStore::Clear() { cues_.clear(); }

bool CueStore::IsActive(const TimedCue& cue, GstClockTime position) const {
  return cue.start <= position && (cue.end == GST_CLOCK_TIME_NONE || position < cue.end);
}

std::vector<uint64_t> CueStore::ActiveIds(GstClockTime position) const {
  std::vector<uint64_t> ids;
  for (const TimedCue& cue : cues_) {
    if (IsActive(cue, position)) ids.push_back(cue.id);
  }
  return ids;
}

std::vector<render::SubtitleCue> CueStore::ActiveCues(GstClockTime position) const {
  std::vector<render::SubtitleCue> active;
  for (const TimedCue& cue : cues_) {
    if (IsActive(cue, position)) active.push_back(cue.cue);
  }
  return active;
}

GstClockTime CueStore::NextChange(GstClockTime position) const {
  GstClockTime next = GST_CLOCK_TIME_NONE;
  for (const TimedCue& cue : cues_) {
    if (cue.start > position) next = std::min(next, cue.start);
    if (cue.end != GST_CLOCK_TIME_NONE && cue.end > position) next = std::min(next, cue.end);
  }
  return next;
}

TextSink::TextSink(ChangedCallback onChangedStreaming) : onChanged_(std::move(onChangedStreaming)) {
  appsink_ = AdoptFloating(gst_element_factory_make("appsink", "corvane-text-sink"));
  if (!appsink_) throw hresult_error(kFail, "GStreamer element missing: appsink");
  auto caps = AdoptMini(gst_caps_from_string(kTextCaps));
  // async=false: a sparse text stream must not hold up the pipeline's
  // preroll; sync=true: cues reach us at their time while playing.
  g_object_set(appsink_.get(), "caps", caps.get(), "sync", TRUE, "async", FALSE, "max-buffers", 4u, "drop", FALSE,
               "enable-last-sample", FALSE, nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = &TextSink::OnNewSampleStreaming;
  callbacks.new_preroll = &TextSink::OnNewPrerollStreaming;
  gst_app_sink_set_callbacks(GST_APP_SINK(appsink_.get()), &callbacks, this, nullptr);

  auto pad = AdoptObject(gst_element_get_static_pad(appsink_.get(), "sink"));
  gst_pad_add_probe(pad.get(),
                    static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                    &TextSink::OnEventStreaming, this, nullptr);
}

TextSink::~TextSink() {
  GstAppSinkCallbacks none{};
  gst_app_sink_set_callbacks(GST_APP_SINK(appsink_.get()), &none, nullptr, nullptr);
}

GstFlowReturn TextSink::OnNewSampleStreaming(GstAppSink* sink, gpointer self) {
  auto sample = AdoptMini(gst_app_sink_pull_sample(sink));
  if (sample) static_cast<TextSink*>(self)->Take(sample.get());
  return GST_FLOW_OK;
}

GstFlowReturn TextSink::OnNewPrerollStreaming(GstAppSink* sink, gpointer self) {
  auto sample = AdoptMini(gst_app_sink_pull_preroll(sink));
  if (sample) static_cast<TextSink*>(self)->Take(sample.get());
  return GST_FLOW_OK;
}

void TextSink::Take(GstSample* sample) {
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  GstCaps* caps = gst_sample_get_caps(sample);
  const GstSegment* segment = gst_sample_get_segment(sample);
  if (!buffer || !caps || !GST_BUFFER_PTS_IS_VALID(buffer)) return;
  const GstStructure* structure = gst_caps_get_structure(caps, 0);
  if (!gst_structure_has_name(structure, "text/x-raw")) return;  // bitmap subtitles draw nothing
  const char* format = gst_structure_get_string(structure, "format");
  const bool markup = format && std::strcmp(format, "pango-markup") == 0;

  GstClockTime start = GST_BUFFER_PTS(buffer);
  if (segment && segment->format == GST_FORMAT_TIME) {
    const guint64 streamTime = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, start);
    if (GST_CLOCK_TIME_IS_VALID(streamTime)) start = streamTime;
  }
  GstMapInfo map;
  if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return;
  std::string text(reinterpret_cast<const char*>(map.data), map.size);
  gst_buffer_unmap(buffer, &map);
  while (!text.empty() && (text.back() == '\0' || text.back() == '\n' || text.back() == '\r')) text.pop_back();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    store_.Add(start, GST_BUFFER_DURATION(buffer), render::SubtitleCue{std::move(text), markup});
  }
  if (onChanged_) onChanged_();
}

GstPadProbeReturn TextSink::OnEventStreaming(GstPad*, GstPadProbeInfo* info, gpointer self) {
  auto* sink = static_cast<TextSink*>(self);
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_FLUSH_START: {
      {
        std::lock_guard<std::mutex> lock(sink->mutex_);
        sink->store_.Clear();
      }
      if (sink->onChanged_) sink->onChanged_();
      break;
    }
    case GST_EVENT_GAP: {
      GstClockTime time = GST_CLOCK_TIME_NONE;
      gst_event_parse_gap(event, &time, nullptr);
      if (GST_CLOCK_TIME_IS_VALID(time)) {
        std::lock_guard<std::mutex> lock(sink->mutex_);
        sink->store_.Gap(time);
      }
      if (sink->onChanged_) sink->onChanged_();
      break;
    }
    default:
      break;
  }
  return GST_PAD_PROBE_OK;
}

std::vector<uint64_t> TextSink::ActiveIds(GstClockTime position) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return store_.ActiveIds(position);
}

std::vector<render::SubtitleCue> TextSink::ActiveCues(GstClockTime position) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return store_.ActiveCues(position);
}

GstClockTime TextSink::NextChange(GstClockTime position) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return store_.NextChange(position);
}

void TextSink::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  store_.Clear();
}

}  // namespace corvane::platform::gst
