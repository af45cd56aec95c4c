// What playbin knows about the streams of the media it has opened, as the
// track facts of the engine interface.
//
// Engine thread, once the pipeline has prerolled (the pads of every
// stream are linked and carry caps by then).
#ifndef CORVANE_PLATFORM_GST_STREAM_FACTS_H_
#define CORVANE_PLATFORM_GST_STREAM_FACTS_H_

#include <gst/gst.h>

#include <cstdint>
#include <vector>

#include "platform/gst/gst_handles.h"
#include "platform/media_engine.h"

namespace corvane::platform::gst {

struct StreamFacts {
  std::vector<AudioTrack> audio;
  std::vector<VideoTrack> video;
  std::vector<TimedMetadataTrack> text;
  // playbin's current streams, -1 when none.
  int32_t currentAudio = -1;
  int32_t currentVideo = -1;
  int32_t currentText = -1;
};

StreamFacts ReadStreamFacts(GstElement* playbin);

// The caps of the stream as it left the demuxer (codec, channels, coded
// size): walks upstream from `pad` past decoders and converters, along the
// pads of this stream, to the first pad whose caps are not raw, or to the
// demuxer's pad (raw audio stored as such). Null when there is none.
MiniPtr<GstCaps> EncodedCapsUpstream(GstPad* pad);
// The tags the demuxer sent on the stream that feeds `pad` (language,
// title, codec), merged; null when no demuxer feeds it or it sent none.
MiniPtr<GstTagList> DemuxerTagsUpstream(GstPad* pad);

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_STREAM_FACTS_H_
