// The subtitle end of the pipeline: it receives the text cues of the
// selected text stream (so playbin neither overlays nor burns text into the
// video) and keeps those that may still be on screen.
//
// It is a bin around a fakesink whose pad probe takes each cue and drops
// it, with the gaps, before the sink sees them. A sink that prerolled on a
// sparse text stream would block that stream's thread while paused, and
// GStreamer 1.22's text input-selector then deadlocks a flushing seek made
// after switching text streams. Never prerolling, the sink only passes
// EOS, so the pipeline still ends.
//
// Which cues are active is a question of the playback position, so the
// store answers it for a given position: a cue is active from its start
// until its start plus duration; a cue without a duration lasts until the
// next cue or a gap. Cues arrive ahead of their time, as the demuxer reads
// them. Bitmap subtitle streams are accepted too, so that selecting one
// does not stop playback, but they add no cue.
//
// The sink takes ASS and SSA events and Matroska's WebVTT cues as the
// container stored them, so that playbin plugs no parser: GStreamer 1.22's
// parser drops every style, and it has none for WebVTT in Matroska, whose
// tracks would otherwise be dropped. The subtitle-markup converters turn
// each into styled markup.
//
// What a buffer holds is told by the caps before it, or, once the engine
// chose a stream, by that stream's caps: the flush that restreams a switched
// text selector drops the new stream's caps, so the sink would otherwise
// take text cues for bitmaps or bitmaps for text.
//
// Threads: the pad probe runs on streaming threads; the queries may be
// called from any thread.
#ifndef CORVANE_PLATFORM_GST_TEXT_SINK_H_
#define CORVANE_PLATFORM_GST_TEXT_SINK_H_

#include <gst/gst.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/gst/detachable_callback.h"
#include "platform/gst/gst_handles.h"
#include "platform/gst/support/media_info.h"
#include "platform/gst/support/subtitle_markup.h"
#include "platform/gst/subtitle_rasterizer.h"

namespace corvane::platform::gst {

// Cue times are stream times in nanoseconds, comparable with the pipeline's
// position query.
struct TimedCue {
  uint64_t id = 0;
  GstClockTime start = 0;
  GstClockTime end = GST_CLOCK_TIME_NONE;  // NONE: until the next cue or gap
  SubtitleCue cue;
};

// The cue bookkeeping, apart from GStreamer's elements so it can be tested
// with plain values. Not thread-safe by itself.
class CueStore {
 public:
  void Add(GstClockTime start, GstClockTime duration, SubtitleCue cue);
  // A gap at `time`: open-ended cues end there.
  void Gap(GstClockTime time);
  void Clear();
  // Ids of the cues shown at `position`, in arrival order.
  std::vector<uint64_t> ActiveIds(GstClockTime position) const;
  std::vector<SubtitleCue> ActiveCues(GstClockTime position) const;
  // The first start or end after `position`; NONE when there is none.
  GstClockTime NextChange(GstClockTime position) const;

 private:
  bool IsActive(const TimedCue& cue, GstClockTime position) const;
  std::deque<TimedCue> cues_;
  uint64_t nextId_ = 1;
};

// How the buffers of a stream become cues: the payload its caps announce,
// and for ASS and SSA the script header they carry.
struct CueFormat {
  SubtitlePayload payload = SubtitlePayload::kNone;
  std::shared_ptr<const AssScript> script;
};
CueFormat CueFormatFromCaps(const GstCaps* caps);
// The cue a buffer's UTF-8 text shows under `format`.
SubtitleCue CueFromText(const CueFormat& format, std::string text);
// The cue of a buffer of a stream in `format`; none for bitmaps and for
// bytes that are not UTF-8 text.
std::optional<SubtitleCue> CueFromBuffer(const CueFormat& format, GstBuffer* buffer);

class TextSink {
 public:
  // Streaming thread: the stored cues changed (a cue arrived or a flush
  // dropped them).
  using ChangedCallback = std::function<void()>;

  // Raises hresult_error when an element is missing.
  explicit TextSink(ChangedCallback onChangedStreaming);
  ~TextSink();
  TextSink(const TextSink&) = delete;
  TextSink& operator=(const TextSink&) = delete;

  GstElement* Element() const { return bin_.get(); }

  std::vector<uint64_t> ActiveIds(GstClockTime position) const;
  std::vector<SubtitleCue> ActiveCues(GstClockTime position) const;
  GstClockTime NextChange(GstClockTime position) const;
  // Drops every cue and takes cues of any stream (a new source).
  void Clear();
  // Drops every cue and from now on reads buffers as `caps` say (the
  // chosen stream's; null: as the caps before them say).
  void Choose(GstCaps* caps);
  // Counts the flushes and choices that drop the cues: cues found for a
  // seek are added only while it stands (AddFound).
  uint64_t Epoch() const;
  // Adds `cues` (stream times) unless the cues were dropped since `epoch`.
  void AddFound(uint64_t epoch, std::vector<TimedCue> cues);
  // Cuts the change callback off for good (see DetachableCallback).
  void DetachCallback() { onChanged_.Detach(); }

 private:
  static GstPadProbeReturn OnDataStreaming(GstPad* pad, GstPadProbeInfo* info, gpointer self);
  GstPadProbeReturn TakeEvent(GstEvent* event);
  void TakeBuffer(GstBuffer* buffer);

  DetachableCallback<> onChanged_;
  GObjectPtr<GstElement> bin_;
  GObjectPtr<GstPad> sinkPad_;
  gulong probeId_ = 0;

  // Streaming thread only (the probe's pad is served by one thread).
  CueFormat streamFormat_;
  GstSegment segment_;

  mutable std::mutex mutex_;
  CueStore store_;                        // guarded by mutex_
  uint64_t epoch_ = 0;                    // guarded by mutex_
  // The chosen stream's format, which wins over the caps seen.
  bool chosenKnown_ = false;              // guarded by mutex_
  CueFormat chosenFormat_;                // guarded by mutex_
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_TEXT_SINK_H_
