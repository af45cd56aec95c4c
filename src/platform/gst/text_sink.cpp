#include "platform/gst/text_sink.h"

#include <algorithm>

#include "platform/hresult.h"

namespace corvane::platform::gst {
namespace {

// Cues kept at most; old ones go first. Screens rarely show more than two,
// and the demuxer reads a few seconds ahead.
constexpr size_t kMaxCues = 64;

// What the sink takes: parsed text, the raw forms the converters read, and
// the bitmap forms (which draw nothing). Anything else is parsed into text
// by playbin first.
constexpr char kAcceptedCaps[] =
    "text/x-raw; application/x-ass; application/x-ssa; application/x-subtitle-unknown; "
    "subpicture/x-dvd; subpicture/x-dvb; subpicture/x-pgs";

std::string CodecDataText(const GstCaps* caps) {
  const GstStructure* structure = caps && !gst_caps_is_empty(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
  const GValue* value = structure ? gst_structure_get_value(structure, "codec_data") : nullptr;
  if (value == nullptr || !GST_VALUE_HOLDS_BUFFER(value)) return "";
  GstBuffer* buffer = gst_value_get_buffer(value);
  std::string text(gst_buffer_get_size(buffer), '\0');
  text.resize(gst_buffer_extract(buffer, 0, text.data(), text.size()));
  return text;
}

}  // namespace

CueFormat CueFormatFromCaps(const GstCaps* caps) {
  CueFormat format;
  format.payload = SubtitlePayloadFromCaps(caps);
  if (format.payload == SubtitlePayload::kAss || format.payload == SubtitlePayload::kSsa) {
    format.script = std::make_shared<const AssScript>(ParseAssScript(CodecDataText(caps)));
  }
  return format;
}

std::optional<SubtitleCue> CueFromBuffer(const CueFormat& format, GstBuffer* buffer) {
  if (format.payload == SubtitlePayload::kNone) return std::nullopt;  // bitmap subtitles draw nothing
  GstMapInfo map;
  if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return std::nullopt;
  std::string text(reinterpret_cast<const char*>(map.data), map.size);
  gst_buffer_unmap(buffer, &map);
  while (!text.empty() && (text.back() == '\0' || text.back() == '\n' || text.back() == '\r')) text.pop_back();
  // Text cues are UTF-8 without inner NULs (g_utf8_validate rejects those).
  // Anything else is no cue: after a switch to a bitmap stream its data can
  // still arrive under the previous stream's text caps (GStreamer 1.22's
  // selector drops the new stream's caps when a flush follows the switch),
  // and those bytes must never reach the markup parser.
  if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return std::nullopt;
  return CueFromText(format, std::move(text));
}

SubtitleCue CueFromText(const CueFormat& format, std::string text) {
  switch (format.payload) {
    case SubtitlePayload::kPangoMarkup:
      return SubRipToCue(text);
    case SubtitlePayload::kAss:
    case SubtitlePayload::kSsa:
      return format.script ? AssBlockToCue(*format.script, text) : AssBlockToCue(AssScript{}, text);
    case SubtitlePayload::kWebVtt:
      return WebVttToCue(text);
    default:
      return SubtitleCue{std::move(text), false, {}};
  }
}

void CueStore::Add(GstClockTime start, GstClockTime duration, SubtitleCue cue) {
  const GstClockTime end = GST_CLOCK_TIME_IS_VALID(duration) ? start + duration : GST_CLOCK_TIME_NONE;
  for (const TimedCue& known : cues_) {
    if (known.cue.text != cue.text) continue;
    // The preroll cue comes again as the first rendered one; a cue found by
    // looking back comes again clipped to the seek target.
    if (known.start == start) return;
    const bool overlaps = (end == GST_CLOCK_TIME_NONE || known.start < end) &&
                          (known.end == GST_CLOCK_TIME_NONE || start < known.end);
    if (overlaps && known.end != GST_CLOCK_TIME_NONE && end != GST_CLOCK_TIME_NONE) return;
  }
  for (TimedCue& known : cues_) {
    if (known.end == GST_CLOCK_TIME_NONE && known.start < start) known.end = start;
  }
  TimedCue timed;
  timed.id = nextId_++;
  timed.start = start;
  timed.end = end;
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

std::vector<SubtitleCue> CueStore::ActiveCues(GstClockTime position) const {
  std::vector<SubtitleCue> active;
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
  gst_segment_init(&segment_, GST_FORMAT_TIME);
  bin_ = AdoptFloating(gst_bin_new("corvane-text-sink"));
  auto filter = AdoptFloating(gst_element_factory_make("capsfilter", "accepted"));
  auto sink = AdoptFloating(gst_element_factory_make("fakesink", "cues"));
  if (!filter) throw hresult_error(kFail, "GStreamer element missing: capsfilter");
  if (!sink) throw hresult_error(kFail, "GStreamer element missing: fakesink");
  const auto accepted = AdoptMini(gst_caps_from_string(kAcceptedCaps));
  g_object_set(filter.get(), "caps", accepted.get(), nullptr);
  // async=false: the pipeline's preroll does not wait for a text stream.
  g_object_set(sink.get(), "sync", FALSE, "async", FALSE, "enable-last-sample", FALSE, nullptr);
  // The element is no longer floating, so the bin takes a reference of its
  // own (gst_object_set_parent sinks, which adds one to a non-floating
  // object); adding one here as well would keep it alive forever.
  gst_bin_add(GST_BIN(bin_.get()), filter.get());
  gst_bin_add(GST_BIN(bin_.get()), sink.get());
  gst_element_link(filter.get(), sink.get());
  sinkPad_ = AdoptObject(gst_element_get_static_pad(sink.get(), "sink"));
  auto filterPad = AdoptObject(gst_element_get_static_pad(filter.get(), "sink"));
  gst_element_add_pad(bin_.get(), gst_ghost_pad_new("sink", filterPad.get()));
  probeId_ = gst_pad_add_probe(
      sinkPad_.get(),
      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                   GST_PAD_PROBE_TYPE_EVENT_FLUSH),
      &TextSink::OnDataStreaming, this, nullptr);
}

TextSink::~TextSink() {
  // The owner stops the pipeline first; this only detaches us for safety.
  if (probeId_) gst_pad_remove_probe(sinkPad_.get(), probeId_);
}

GstPadProbeReturn TextSink::OnDataStreaming(GstPad*, GstPadProbeInfo* info, gpointer self) {
  auto* sink = static_cast<TextSink*>(self);
  if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
    sink->TakeBuffer(GST_PAD_PROBE_INFO_BUFFER(info));
    return GST_PAD_PROBE_DROP;
  }
  return sink->TakeEvent(GST_PAD_PROBE_INFO_EVENT(info));
}

GstPadProbeReturn TextSink::TakeEvent(GstEvent* event) {
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: {
      GstCaps* caps = nullptr;
      gst_event_parse_caps(event, &caps);
      streamFormat_ = CueFormatFromCaps(caps);
      return GST_PAD_PROBE_OK;
    }
    case GST_EVENT_SEGMENT: {
      const GstSegment* segment = nullptr;
      gst_event_parse_segment(event, &segment);
      if (segment) gst_segment_copy_into(segment, &segment_);
      return GST_PAD_PROBE_OK;
    }
    // A flush voids what came before it. Its stop counts too: switching
    // text streams, playbin flushes the text output itself, and cues of the
    // chosen stream can pass between that flush's start and a seek's stop.
    case GST_EVENT_FLUSH_START:
    case GST_EVENT_FLUSH_STOP: {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        store_.Clear();
        ++epoch_;
      }
      onChanged_();
      return GST_PAD_PROBE_OK;
    }
    case GST_EVENT_GAP: {
      GstClockTime time = GST_CLOCK_TIME_NONE;
      gst_event_parse_gap(event, &time, nullptr);
      if (GST_CLOCK_TIME_IS_VALID(time) && segment_.format == GST_FORMAT_TIME) {
        const guint64 streamTime = gst_segment_to_stream_time(&segment_, GST_FORMAT_TIME, time);
        std::lock_guard<std::mutex> lock(mutex_);
        store_.Gap(GST_CLOCK_TIME_IS_VALID(streamTime) ? streamTime : time);
      }
      onChanged_();
      return GST_PAD_PROBE_DROP;  // a gap would preroll the sink
    }
    default:
      return GST_PAD_PROBE_OK;
  }
}

void TextSink::TakeBuffer(GstBuffer* buffer) {
  CueFormat format = streamFormat_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (chosenKnown_) format = chosenFormat_;
  }
  if (format.payload == SubtitlePayload::kNone || !buffer || !GST_BUFFER_PTS_IS_VALID(buffer)) return;
  GstClockTime start = GST_BUFFER_PTS(buffer);
  GstClockTime duration = GST_BUFFER_DURATION(buffer);
  if (segment_.format == GST_FORMAT_TIME) {
    // Outside the segment (before a seek target, say) the cue may still
    // reach into it; clip it the way a sink would.
    guint64 clippedStart = 0, clippedStop = 0;
    const guint64 stop = GST_CLOCK_TIME_IS_VALID(duration) ? start + duration : GST_CLOCK_TIME_NONE;
    if (!gst_segment_clip(&segment_, GST_FORMAT_TIME, start, stop, &clippedStart, &clippedStop)) return;
    const guint64 streamStart = gst_segment_to_stream_time(&segment_, GST_FORMAT_TIME, clippedStart);
    if (GST_CLOCK_TIME_IS_VALID(streamStart)) {
      if (GST_CLOCK_TIME_IS_VALID(clippedStop)) {
        const guint64 streamStop = gst_segment_to_stream_time(&segment_, GST_FORMAT_TIME, clippedStop);
        duration = GST_CLOCK_TIME_IS_VALID(streamStop) && streamStop >= streamStart ? streamStop - streamStart
                                                                                    : GST_CLOCK_TIME_NONE;
      }
      start = streamStart;
    }
  }
  auto cue = CueFromBuffer(format, buffer);
  if (!cue) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    store_.Add(start, duration, std::move(*cue));
  }
  onChanged_();
}

uint64_t TextSink::Epoch() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return epoch_;
}

void TextSink::AddFound(uint64_t epoch, std::vector<TimedCue> cues) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (epoch != epoch_) return;
    for (TimedCue& cue : cues) {
      const GstClockTime duration = cue.end == GST_CLOCK_TIME_NONE ? GST_CLOCK_TIME_NONE : cue.end - cue.start;
      store_.Add(cue.start, duration, std::move(cue.cue));
    }
  }
  onChanged_();
}

std::vector<uint64_t> TextSink::ActiveIds(GstClockTime position) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return store_.ActiveIds(position);
}

std::vector<SubtitleCue> TextSink::ActiveCues(GstClockTime position) const {
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
  ++epoch_;
  chosenKnown_ = false;
}

void TextSink::Choose(GstCaps* caps) {
  std::lock_guard<std::mutex> lock(mutex_);
  store_.Clear();
  ++epoch_;
  chosenKnown_ = caps != nullptr;
  chosenFormat_ = caps ? CueFormatFromCaps(caps) : CueFormat{};
}

}  // namespace corvane::platform::gst
