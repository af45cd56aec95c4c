// The subtitle end of the pipeline: an appsink that receives the text cues
// of the selected text stream (so playbin neither overlays nor burns text
// into the video) and keeps those that may still be on screen.
//
// Which cues are active is a question of the playback position, so the
// store answers it for a given position: a cue is active from its start
// until its start plus duration; a cue without a duration lasts until the
// next cue or a gap. Bitmap subtitle streams are accepted too, so that
// selecting one does not stop playback, but they add no cue.
//
// Threads: the appsink callbacks and pad probe run on streaming threads;
// the queries may be called from any thread.
#ifndef CORVANE_PLATFORM_GST_TEXT_SINK_H_
#define CORVANE_PLATFORM_GST_TEXT_SINK_H_

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gst/gst_handles.h"
#include "render/subtitle_rasterizer.h"

namespace corvane::platform::gst {

// Cue times are stream times in nanoseconds, comparable with the pipeline's
// position query.
struct TimedCue {
  uint64_t id = 0;
  GstClockTime start = 0;
  GstClockTime end = GST_CLOCK_TIME_NONE;  // NONE: until the next cue or gap
  render::SubtitleCue cue;
};

// The cue bookkeeping, apart from GStreamer's elements so it can be tested
// with plain values. Not thread-safe by itself.
class CueStore {
 public:
  void Add(GstClockTime start, GstClockTime duration, render::SubtitleCue cue);
  // A gap at `time`: open-ended cues end there.
  void Gap(GstClockTime time);
  void Clear();
  // Ids of the cues shown at `position`, in arrival order.
  std::vector<uint64_t> ActiveIds(GstClockTime position) const;
  std::vector<render::SubtitleCue> ActiveCues(GstClockTime position) const;
  // The first start or end after `position`; NONE when there is none.
  GstClockTime NextChange(GstClockTime position) const;

 private:
  bool IsActive(const TimedCue& cue, GstClockTime position) const;
  std::deque<TimedCue> cues_;
  uint64_t nextId_ = 1;
};

class TextSink {
 public:
  // Streaming thread: the stored cues changed (a cue arrived or a flush
  // dropped them).
  using ChangedCallback = std::function<void()>;

  // Raises hresult_error when appsink is missing.
  explicit TextSink(ChangedCallback onChangedStreaming);
  ~TextSink();
  TextSink(const TextSink&) = delete;
  TextSink& operator=(const TextSink&) = delete;

  GstElement* Element() const { return appsink_.get(); }

  std::vector<uint64_t> ActiveIds(GstClockTime position) const;
  std::vector<render::SubtitleCue> ActiveCues(GstClockTime position) const;
  GstClockTime NextChange(GstClockTime position) const;
  void Clear();

 private:
  static GstFlowReturn OnNewSampleStreaming(GstAppSink* sink, gpointer self);
  static GstFlowReturn OnNewPrerollStreaming(GstAppSink* sink, gpointer self);
  static GstPadProbeReturn OnEventStreaming(GstPad* pad, GstPadProbeInfo* info, gpointer self);
  void Take(GstSample* sample);

  const ChangedCallback onChanged_;
  GObjectPtr<GstElement> appsink_;

  mutable std::mutex mutex_;
  CueStore store_;                        // guarded by mutex_
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_TEXT_SINK_H_
