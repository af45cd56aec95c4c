// The audio, video and text streams chosen and not yet handed to playbin,
// and the workarounds a switch needs to take effect cleanly.
//
// A switch waits for the seek in flight, then goes with a flushing seek (at
// the current position unless a position is set): the flush restarts every
// stream from the demuxer, so
// - the newly chosen stream plays its own data and its end: a stream that
//   has already delivered its end (a switch in the last second) would
//   otherwise leave its output, and so the pipeline, without one, and
//   positions would run on past the duration;
// - what is queued for the output from the old stream is dropped instead of
//   played out first;
// - paused, the output prerolls again on the chosen stream: a video switch
//   shows the new stream's picture without playing.
// The player decides when that seek goes (its seek ledger); this class does
// what comes before, with and after it.
//
// Engine thread only; one per pipeline run.
#ifndef CORVANE_PLATFORM_GST_STREAM_SWITCHES_H_
#define CORVANE_PLATFORM_GST_STREAM_SWITCHES_H_

#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/gst/gst_handles.h"
#include "platform/gst/stream_switch_guard.h"
#include "platform/gst/switched_output_flush.h"

namespace corvane::platform::gst {

class Pipeline;

enum class TrackKind { Audio, Video, Text };

class StreamSwitches {
 public:
  // Drops the buffers reaching a selector input while it lives (see
  // PrepareSeek).
  class SeekHold {
   public:
    explicit SeekHold(GObjectPtr<GstPad> input);
    ~SeekHold();
    SeekHold(const SeekHold&) = delete;
    SeekHold& operator=(const SeekHold&) = delete;

   private:
    GObjectPtr<GstPad> input_;
    gulong probeId_ = 0;
  };

  // Records a stream to hand over with the next flushing seek.
  void Choose(TrackKind kind, int32_t index);
  bool AudioOrVideoWaiting() const { return audio_ || video_; }
  bool TextWaiting() const { return text_.has_value(); }

  // Hands a waiting text stream to playbin, just before the flushing seek
  // that restreams it (or without a seek, after the end or on media that
  // cannot seek); its caps go to the text sink, as the seek's flush drops
  // them. True when one was waiting.
  bool HandTextOver(Pipeline& pipeline);
  // Just before a flushing seek, after HandTextOver: flushes the outputs
  // that a switch left, and holds back the audio stream being left until
  // the switch is made (HandOver). Keep the hold until then.
  std::unique_ptr<SeekHold> PrepareSeek(Pipeline& pipeline);
  // Right after the seek's flush (or with no seek at all): hands the chosen
  // audio and video streams to playbin.
  void HandOver(Pipeline& pipeline);
  // The seek was refused: ends the output flushes PrepareSeek made.
  void SeekRefused();
  // Once a seek has completed: whether the video output still shows the
  // stream left, so one more flush is due (a few times at most per switch).
  bool VideoOutputLags();

 private:
  void HandToPlaybin(Pipeline& pipeline, TrackKind kind, int32_t index, StreamSwitchGuard& guard,
                     SwitchedOutputFlush& output);

  std::optional<int32_t> audio_;
  std::optional<int32_t> video_;
  std::optional<int32_t> text_;
  int videoChecksLeft_ = 0;  // restreams left for the latest video switch
  StreamSwitchGuard audioGuard_{StreamSwitchGuard::Kind::kAudio};
  StreamSwitchGuard videoGuard_{StreamSwitchGuard::Kind::kVideo};
  SwitchedOutputFlush audioOutput_{"audio_sink", SwitchedOutputFlush::Until::kFirstSeek};
  SwitchedOutputFlush videoOutput_{"video_sink", SwitchedOutputFlush::Until::kFirstSeek};
  SwitchedOutputFlush textOutput_{"text_sink", SwitchedOutputFlush::Until::kNewSource};
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_STREAM_SWITCHES_H_
