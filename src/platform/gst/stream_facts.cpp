#include "platform/gst/stream_facts.h"

#include <cstring>

#include "platform/gst/support/media_info.h"

namespace corvane::platform::gst {
namespace {

// Far more than any decoding chain playbin builds.
constexpr int kMaxUpstreamSteps = 32;

bool IsDecodedCaps(const GstCaps* caps) {
  if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) return true;
  const GstStructure* structure = gst_caps_get_structure(caps, 0);
  return gst_structure_has_name(structure, "audio/x-raw") || gst_structure_has_name(structure, "video/x-raw");
}

GObjectPtr<GstPad> FirstSinkPad(GstElement* element) {
  GObjectPtr<GstPad> pad;
  GST_OBJECT_LOCK(element);
  if (element->sinkpads) pad = RetainObject(GST_PAD(element->sinkpads->data));
  GST_OBJECT_UNLOCK(element);
  return pad;
}

// The sink pad feeding `source` inside its element: the linked one for
// elements with a pad pair per stream (multiqueue, whose first sink pad
// would belong to another stream), else the first.
GObjectPtr<GstPad> SinkPadFeeding(GstPad* source, GstElement* element) {
  GObjectPtr<GstPad> linked;
  GstIterator* links = gst_pad_iterate_internal_links(source);
  if (links) {
    GValue item = G_VALUE_INIT;
    if (gst_iterator_next(links, &item) == GST_ITERATOR_OK) linked = RetainObject(GST_PAD(g_value_get_object(&item)));
    g_value_unset(&item);
    gst_iterator_free(links);
  }
  return linked ? std::move(linked) : FirstSinkPad(element);
}

bool IsDemuxer(GstElement* element) {
  GstElementFactory* factory = gst_element_get_factory(element);
  const gchar* klass = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
  return klass && std::strstr(klass, "Demux") != nullptr;
}

// Walks up the chain that feeds `pad`, through ghost pads and the element
// of each step, and returns the first pad for which `stopAt` holds, else the
// output of the demuxer met on the way (beyond it lies the container); null
// when neither is found.
template <typename StopAt>
GObjectPtr<GstPad> WalkUpstream(GstPad* pad, StopAt stopAt) {
  auto current = RetainObject(pad);
  for (int step = 0; step < kMaxUpstreamSteps && current; ++step) {
    if (stopAt(current.get())) return current;
    auto source = AdoptObject(gst_pad_get_peer(current.get()));
    // Ghost pads of bins (uridecodebin, decodebin) lead to the real pad.
    while (source && GST_IS_GHOST_PAD(source.get())) {
      auto target = AdoptObject(gst_ghost_pad_get_target(GST_GHOST_PAD(source.get())));
      if (!target) break;
      source = std::move(target);
    }
    if (!source) return nullptr;
    auto element = AdoptObject(gst_pad_get_parent_element(source.get()));
    if (!element) return nullptr;
    if (IsDemuxer(element.get())) return source;
    current = SinkPadFeeding(source.get(), element.get());
  }
  return nullptr;
}

struct RawStream {
  MiniPtr<GstCaps> caps;
  MiniPtr<GstTagList> tags;
};

RawStream ReadStream(GstElement* playbin, const char* padSignal, const char* tagSignal, gint index,
                     bool encodedCaps) {
  RawStream stream;
  GstTagList* rawTags = nullptr;
  g_signal_emit_by_name(playbin, tagSignal, index, &rawTags);
  stream.tags = AdoptMini(rawTags);
  GstPad* rawPad = nullptr;
  g_signal_emit_by_name(playbin, padSignal, index, &rawPad);
  auto pad = AdoptObject(rawPad);
  if (!pad) return stream;
  if (encodedCaps) stream.caps = EncodedCapsUpstream(pad.get());
  if (!stream.caps) stream.caps = AdoptMini(gst_pad_get_current_caps(pad.get()));
  // The selector's input has a stream's tags only once they passed the
  // queues before it, which for a stream whose data comes later in the file
  // can be after the pipeline prerolled; the demuxer holds them from the
  // start.
  if (auto upstream = DemuxerTagsUpstream(pad.get())) {
    stream.tags = stream.tags ? AdoptMini(gst_tag_list_merge(stream.tags.get(), upstream.get(), GST_TAG_MERGE_KEEP))
                              : std::move(upstream);
  }
  return stream;
}

}  // namespace

MiniPtr<GstCaps> EncodedCapsUpstream(GstPad* pad) {
  // A demuxer's output is the stream as stored, even when it is raw (PCM
  // beside video).
  auto found = WalkUpstream(pad, [](GstPad* current) {
    auto caps = AdoptMini(gst_pad_get_current_caps(current));
    return caps && !IsDecodedCaps(caps.get());
  });
  return found ? AdoptMini(gst_pad_get_current_caps(found.get())) : nullptr;
}

MiniPtr<GstTagList> DemuxerTagsUpstream(GstPad* pad) {
  auto output = WalkUpstream(pad, [](GstPad*) { return false; });
  if (!output) return nullptr;
  MiniPtr<GstTagList> merged;
  for (guint index = 0;; ++index) {
    auto event = AdoptMini(gst_pad_get_sticky_event(output.get(), GST_EVENT_TAG, index));
    if (!event) break;
    GstTagList* tags = nullptr;
    gst_event_parse_tag(event.get(), &tags);
    if (tags == nullptr) continue;
    merged = merged ? AdoptMini(gst_tag_list_merge(merged.get(), tags, GST_TAG_MERGE_KEEP))
                    : AdoptMini(gst_tag_list_copy(tags));
  }
  return merged;
}

StreamFacts ReadStreamFacts(GstElement* playbin) {
  StreamFacts facts;
  gint audioCount = 0, videoCount = 0, textCount = 0;
  g_object_get(playbin, "n-audio", &audioCount, "n-video", &videoCount, "n-text", &textCount, "current-audio",
               &facts.currentAudio, "current-video", &facts.currentVideo, "current-text", &facts.currentText, nullptr);
  for (gint i = 0; i < audioCount; ++i) {
    auto stream = ReadStream(playbin, "get-audio-pad", "get-audio-tags", i, true);
    facts.audio.push_back(AudioTrackFromStream(stream.caps.get(), stream.tags.get()));
  }
  for (gint i = 0; i < videoCount; ++i) {
    auto stream = ReadStream(playbin, "get-video-pad", "get-video-tags", i, true);
    facts.video.push_back(VideoTrackFromStream(stream.caps.get(), stream.tags.get()));
  }
  // Text reaches the selector as it left the demuxer (or its parser).
  for (gint i = 0; i < textCount; ++i) {
    auto stream = ReadStream(playbin, "get-text-pad", "get-text-tags", i, false);
    facts.text.push_back(TextTrackFromStream(stream.caps.get(), stream.tags.get()));
  }
  return facts;
}

}  // namespace corvane::platform::gst
