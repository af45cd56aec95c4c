// What belongs to one source, as values replaced whole when the source
// changes, so that nothing of one source leaks into the next:
//  - WantedSource: the source last set, as callers read and command it
//    (phase, facts, tracks and selections, the seeks owed), kept under the
//    player's lock;
//  - PipelineRun: the engine thread's work on one pipeline (stream
//    switches in progress, what was last reported, buffering).
#ifndef CORVANE_PLATFORM_GST_SOURCE_STATE_H_
#define CORVANE_PLATFORM_GST_SOURCE_STATE_H_

#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/engine_core/notification_gate.h"
#include "platform/engine_core/seek_ledger.h"
#include "platform/gst/cue_lookback.h"
#include "platform/gst/gst_handles.h"
#include "platform/gst/stream_switches.h"
#include "platform/gst/video_sink.h"
#include "platform/media_engine.h"

namespace corvane::platform::gst {

enum class SourcePhase { kIdle, kOpening, kOpened, kFailed };

struct WantedSource {
  SourceNumber number = 0;
  std::shared_ptr<MediaPlaybackItem> item;
  SourcePhase phase = SourcePhase::kIdle;
  bool remote = false;  // read over the network: ranges are what has arrived
  bool wantPlaying = false;
  bool ended = false;

  // Facts, once opened.
  TimeSpan duration{0};
  bool live = false;
  bool seekable = false;
  DisplaySize naturalSize;
  GObjectPtr<GstElement> downloadQueue;      // the network source's queue2, if any
  gint64 totalBytes = 0;                     // the source's length, 0 when unknown
  std::vector<uint32_t> variantBandwidths;  // HLS variants shown as video tracks

  // Tracks and what is selected, once opened.
  std::vector<AudioTrack> audioTracks;
  std::vector<VideoTrack> videoTracks;
  std::vector<TimedMetadataTrack> textTracks;
  int32_t selectedAudio = -1;
  int32_t selectedVideo = -1;
  int32_t selectedText = -1;  // the stream playbin decodes
  std::vector<TimedMetadataTrackPresentationMode> textModes;
  // A text stream was chosen and not yet handed to playbin: the cues held
  // are still the old stream's, so none is shown until the switch.
  bool textSwitchPending = false;

  SeekLedger seeks;
  // The last position read from the pipeline (reads update it).
  mutable TimeSpan lastPosition{0};
};

struct PipelineRun {
  std::string uri;
  bool lookBackForCues = false;  // a local Matroska file: seeks look back for cues
  // Prerolled where it opened, with nothing played, sought or switched
  // since: a seek to that very position has nothing to do.
  bool untouchedSinceOpening = false;
  // The text track whose cues are being presented, -1 for none: when
  // presentation starts (or moves to another track) the cue already
  // showing is looked for.
  int32_t presentedText = -1;
  std::unique_ptr<CueLookback> cueLookback;
  StreamSwitches switches;
  bool buffering = false;
  bool bufferingRaised = false;
  std::vector<MediaTimeRange> reportedRanges;
  std::vector<uint64_t> reportedCues;
  DisplaySize reportedSize;
  bool sizeReported = false;
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_SOURCE_STATE_H_
