// Finds the subtitle cues still on screen at a seek target, for Matroska.
//
// After a seek, GStreamer 1.22's Matroska demuxer restarts every stream at
// the video keyframe before the target. A cue that began before that
// keyframe and is still showing at the target is never read again, so
// nothing would appear until the next cue: after a seek, a start position
// or a subtitle switch. The lookback reads the chosen subtitle stream again
// in a small pipeline of its own (source and demuxer only; its pad probes
// take what they need and drop everything, so no sink and no decoder runs),
// from some seconds before the target up to it, and hands over the cues that
// reach past the target.
//
// Local files only: reading a network source twice costs a second download,
// and stopping an HTTP source while its answer arrives is not safe in
// GStreamer 1.22's libsoup source.
//
// Threads: made and destroyed on the engine thread; the found callback runs
// once, on a streaming thread of the lookback's pipeline, and must not
// destroy the lookback.
#ifndef CORVANE_PLATFORM_GST_CUE_LOOKBACK_H_
#define CORVANE_PLATFORM_GST_CUE_LOOKBACK_H_

#include <gst/gst.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gst/gst_handles.h"
#include "platform/gst/text_sink.h"

namespace corvane::platform::gst {

class CueLookback {
 public:
  using FoundCallback = std::function<void(std::vector<TimedCue>)>;

  // How far before the target cues are looked for: longer than nearly any
  // single cue lasts.
  static constexpr GstClockTime kReach = 10 * GST_SECOND;

  // Starts reading stream `streamId` of the Matroska file at `uri` (a file
  // URI). Null when the pipeline cannot be made or started.
  static std::unique_ptr<CueLookback> Start(const std::string& uri, const std::string& streamId,
                                            GstClockTime target, FoundCallback found);
  // Made through Start only.
  class Key {
    friend class CueLookback;
    Key() = default;
  };
  CueLookback(Key, std::string streamId, GstClockTime target, FoundCallback found);
  ~CueLookback();
  CueLookback(const CueLookback&) = delete;
  CueLookback& operator=(const CueLookback&) = delete;

 private:
  static void OnPadAddedStreaming(GstElement* demuxer, GstPad* pad, gpointer self);
  static GstPadProbeReturn OnDataStreaming(GstPad* pad, GstPadProbeInfo* info, gpointer self);
  void TakeChosen(GstPad* pad, GstPadProbeInfo* info);
  void Finish();

  const std::string streamId_;
  const GstClockTime target_;
  FoundCallback found_;
  GObjectPtr<GstElement> pipeline_;

  // Streaming threads: the demuxer's one thread in practice, but Finish
  // may come from any pad.
  std::mutex mutex_;
  std::vector<TimedCue> cues_;  // guarded by mutex_
  bool finished_ = false;       // guarded by mutex_
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_CUE_LOOKBACK_H_
