// Keeps a stream switch from deadlocking the next seek.
//
// After playbin switches streams in an input-selector, the stream just left
// can stay blocked downstream: its streaming thread may be pushing a buffer
// that passed the selector before the switch into the output, which takes
// no more while it waits to preroll (paused, or right after a seek). The
// selector forwards a flush only from its active input, so the next seek's
// flush never reaches that output, and the demuxer waits forever for the
// blocked thread to let go of its pad. So the first flushing seek after a
// switch flushes the output itself beforehand; the seek's flush-stop,
// coming through the chosen input, ends that flush.
//
// Text goes through the sink bin's stream synchroniser, where a thread of a
// switched text stream can also wait on and on (paused or not) and hold the
// seek up the same way, also at later seeks. So after a text switch every
// seek flushes the text output first.
#ifndef CORVANE_PLATFORM_GST_SWITCHED_OUTPUT_FLUSH_H_
#define CORVANE_PLATFORM_GST_SWITCHED_OUTPUT_FLUSH_H_

#include <gst/gst.h>

#include "platform/gst/gst_handles.h"

namespace corvane::platform::gst {

// Engine thread only.
class SwitchedOutputFlush {
 public:
  enum class Until { kFirstSeek, kNewSource };
  // `playsinkPad`: the input of playbin's sink bin for this kind of stream,
  // "audio_sink", "video_sink" or "text_sink"; `until`: how long after a
  // switch seeks flush the output first.
  SwitchedOutputFlush(const char* playsinkPad, Until until) : padName_(playsinkPad), until_(until) {}

  // Playbin has just been told to switch streams of this kind.
  void NoteSwitch(GstElement* playbin);
  // Call just before a flushing seek: after a switch, flushes the output so
  // the stream left cannot block the seek.
  void FlushBeforeSeek();
  // The seek after FlushBeforeSeek was refused: ends the flush it made, if
  // any.
  void EndFlushOfRefusedSeek();
  // A new source: no switch is pending on the output any more.
  void Forget();

 private:
  const char* const padName_;
  const Until until_;
  GObjectPtr<GstPad> output_;   // set by NoteSwitch, until the next seek or source
  GObjectPtr<GstPad> flushed_;  // flushed for the latest seek
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_SWITCHED_OUTPUT_FLUSH_H_
