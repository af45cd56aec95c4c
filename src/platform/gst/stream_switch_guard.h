// Keeps an audio or video stream switch from feeding the output buffers in
// a format other than its caps say.
//
// playbin switches streams in an input-selector, which sends the newly
// chosen stream's caps downstream with that stream's next buffer. Two things
// can break this when the streams' formats differ (a planar audio decoder
// against an interleaved one, another channel count, another picture size):
//  - a flush (a seek) reaching the selector after the switch and before that
//    buffer cancels the sending, so the new stream's buffers all meet the
//    old stream's caps;
//  - each selector input has its own streaming thread, and the selector
//    pushes without holding its lock, so a buffer of the old stream that
//    passed the check can reach the output after the new stream's caps.
// Audio converters then map buffers with the wrong layout, fail
// ("gst_audio_buffer_map" criticals, "failed to map input buffer") and stop
// the stream: the audio stalls and no later seek completes. Video frames
// cannot be mapped, or show another picture's bytes.
//
// The guard watches the input of playbin's sink bin, where caps and buffers
// are serialised by the pad's stream lock. A buffer that does not fit the
// caps before it gets the chosen selector input's caps sent ahead of it when
// it fits those. Otherwise an audio buffer is dropped (it belongs to the
// stream just left); a video buffer goes on, since a decoder may pad its
// frames and only one that exactly fits the chosen stream is known to be
// its. The chosen input is noted at each switch, on the engine thread: the
// streaming thread must not ask the selector, whose lock may be held by a
// thread waiting for this pad's stream lock.
#ifndef CORVANE_PLATFORM_GST_STREAM_SWITCH_GUARD_H_
#define CORVANE_PLATFORM_GST_STREAM_SWITCH_GUARD_H_

#include <gst/gst.h>

#include <memory>

#include "platform/gst/gst_handles.h"

namespace corvane::platform::gst {

// Engine thread only.
class StreamSwitchGuard {
 public:
  enum class Kind { kAudio, kVideo };
  explicit StreamSwitchGuard(Kind kind) : kind_(kind) {}

  // Watches the input of `playbin`'s sink bin for this kind if it has one
  // and it is not watched yet (playbin may give a new source a new input).
  // Call before a switch.
  void Watch(GstElement* playbin);
  // Lets go of the watched input (its pipeline is gone).
  void Forget() {
    watched_ = nullptr;
    state_ = nullptr;
  }
  // Notes the selector input playbin has just been told to play (after the
  // switch, on the engine thread).
  void NoteChosenInput();
  // Whether the output's caps are still another stream's than the chosen
  // input's (its first buffer overtaken by the stream left).
  bool OutputLagsChosenStream() const;

  struct ProbeState;

 private:
  const Kind kind_;
  GObjectPtr<GstPad> watched_;
  std::shared_ptr<ProbeState> state_;  // shared with the probe of watched_
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_STREAM_SWITCH_GUARD_H_
