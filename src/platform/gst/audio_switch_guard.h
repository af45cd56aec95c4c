// Keeps an audio track switch from feeding the audio output buffers in a
// format other than its caps say.
//
// playbin switches audio tracks in an input-selector, which sends the newly
// chosen stream's caps downstream with that stream's next buffer. Two things
// can break this when the tracks' formats differ (a planar decoder with an
// audio meta against an interleaved one, another channel count):
//  - a flush (a seek) reaching the selector after the switch and before that
//    buffer cancels the sending, so the new stream's buffers all meet the
//    old stream's caps;
//  - each selector input has its own streaming thread, and the selector
//    pushes without holding its lock, so a buffer of the old stream that
//    passed the check can reach the output after the new stream's caps.
// The output's converters then map buffers with the wrong layout, fail
// ("gst_audio_buffer_map" criticals, "failed to map input buffer") and stop
// the stream: the audio stalls and no later seek completes.
//
// The guard watches the audio input of playbin's sink bin, where caps and
// buffers are serialised by the pad's stream lock. A buffer that does not
// fit the caps before it gets the chosen selector input's caps sent ahead
// of it when it fits those, and is dropped otherwise (it belongs to the
// stream just left). The chosen input is noted at each switch, on the engine
// thread: the streaming thread must not ask the selector, whose lock may be
// held by a thread waiting for this pad's stream lock.
//
// A switch can also leave the stream just left blocked downstream: its
// streaming thread may be pushing a buffer that passed the selector before
// the switch into the output's queue, which is full while the output waits
// to preroll. The selector forwards a flush only from its active input, so
// the next seek's flush never reaches that queue, and the demuxer waits
// forever for the blocked thread to let go of its pad. So the first flushing
// seek after a switch flushes the output itself beforehand; the seek's
// flush-stop, coming through the chosen input, ends that flush.
#ifndef CORVANE_PLATFORM_GST_AUDIO_SWITCH_GUARD_H_
#define CORVANE_PLATFORM_GST_AUDIO_SWITCH_GUARD_H_

#include <gst/gst.h>

#include <memory>

#include "platform/gst/gst_handles.h"

namespace corvane::platform::gst {

// Engine thread only.
class AudioSwitchGuard {
 public:
  // Watches the audio input of `playbin` if it has one and it is not watched
  // yet (playbin may give a new source a new input). Call before a switch.
  void Watch(GstElement* playbin);
  // Notes the selector input playbin has just been told to play (after the
  // switch, on the engine thread).
  void NoteChosenInput();
  // Call just before a flushing seek: after a switch, flushes the audio
  // output so the stream left cannot block the seek. True when it did.
  bool FlushOutputBeforeSeek();
  // The seek after FlushOutputBeforeSeek was refused: ends the flush.
  void EndFlushOfRefusedSeek();
  // A new source: no switch is pending on the output any more.
  void Forget();

  struct ProbeState;

 private:
  GObjectPtr<GstPad> watched_;
  std::shared_ptr<ProbeState> state_;  // shared with the probe of watched_
  bool switchedSinceFlush_ = false;
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_AUDIO_SWITCH_GUARD_H_
