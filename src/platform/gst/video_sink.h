// The video end of the pipeline: an appsink that takes the decoder's own
// frames and keeps the newest one for the player to copy on demand.
//
// The bin is "deinterlace ! videoconvert ! appsink" with its pad ghosted as
// "sink". The deinterlacer only works on interlaced streams. The
// appsink accepts the raw formats FrameConverter reads directly, so for
// every common decoder output videoconvert negotiates passthrough and no
// frame is converted twice; it only works for the rare formats outside
// that list.
//
// Threads: the appsink callbacks and the pad probe run on GStreamer
// streaming threads; everything else may be called from any thread.
#ifndef CORVANE_PLATFORM_GST_VIDEO_SINK_H_
#define CORVANE_PLATFORM_GST_VIDEO_SINK_H_

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/gst/detachable_callback.h"
#include "platform/gst/gst_handles.h"
#include "platform/gst/support/video_orientation.h"

namespace corvane::platform::gst {

struct DisplaySize {
  uint32_t width = 0;   // pixel aspect ratio applied
  uint32_t height = 0;
  bool operator==(const DisplaySize& other) const { return width == other.width && height == other.height; }
  bool operator!=(const DisplaySize& other) const { return !(*this == other); }
};

// Pure: the display size of raw video caps (width scaled by the pixel aspect
// ratio, height kept), with width and height traded when `orientation`
// turns the picture a quarter. {0, 0} for caps that are not raw video.
DisplaySize DisplaySizeFromCaps(const GstCaps* caps, VideoOrientation orientation = VideoOrientation::kIdentity);

class VideoSink {
 public:
  struct Callbacks {
    // Streaming thread: a frame arrived while no earlier arrival was waiting
    // to be announced (see AcknowledgeFrame).
    std::function<void()> onFrameReadyStreaming;
    // Streaming thread: the display size changed, with the first frame that
    // has the new size (before its onFrameReadyStreaming).
    std::function<void(DisplaySize)> onDisplaySizeStreaming;
  };
  struct Options {
    // false: frames are taken as fast as they decode (benchmarks).
    bool sync = true;
    // true: the streaming thread waits (boundedly) until the previous frame
    // was copied before it delivers the next, so no frame is skipped.
    bool deliverEveryFrame = false;
  };

  // Raises hresult_error when an element is missing.
  VideoSink(Callbacks callbacks, Options options);
  ~VideoSink();
  VideoSink(const VideoSink&) = delete;
  VideoSink& operator=(const VideoSink&) = delete;

  GstElement* Bin() const { return bin_.get(); }

  struct Frame {
    MiniPtr<GstSample> sample;  // null when there is no frame
    uint64_t serial = 0;        // counts arrivals
    // How the picture is turned to be upright (the stream's orientation tag).
    VideoOrientation orientation = VideoOrientation::kIdentity;
  };
  // The newest frame, which stays in the slot.
  Frame NewestFrame() const;
  // The copy of frame `serial` is done (lets deliverEveryFrame go on).
  void MarkCopied(uint64_t serial);
  // Called when the arrival was announced: the next frame announces again.
  void AcknowledgeFrame();
  // Drops the frame (flush, stop, new source) and forgets the size.
  void Clear();
  DisplaySize CurrentDisplaySize() const;
  // Cuts the callbacks off for good (see DetachableCallback).
  void DetachCallbacks();

 private:
  static GstFlowReturn OnNewSampleStreaming(GstAppSink* sink, gpointer self);
  static GstFlowReturn OnNewPrerollStreaming(GstAppSink* sink, gpointer self);
  static GstPadProbeReturn OnPadProbeStreaming(GstPad* pad, GstPadProbeInfo* info, gpointer self);
  void Store(MiniPtr<GstSample> sample);
  // Streaming thread: records what a caps, tag or stream-start event says
  // about the picture's size and orientation.
  void OnStreamFactsStreaming(GstEvent* event);
  VideoOrientation OrientationLocked() const;

  DetachableCallback<> onFrameReady_;
  DetachableCallback<DisplaySize> onDisplaySize_;
  const Options options_;
  GObjectPtr<GstElement> bin_;
  GObjectPtr<GstElement> appsink_;

  mutable std::mutex mutex_;
  std::condition_variable copied_;
  MiniPtr<GstSample> newest_;        // guarded by mutex_
  uint64_t serial_ = 0;              // guarded by mutex_
  uint64_t copiedSerial_ = 0;        // guarded by mutex_
  bool announcePending_ = false;     // guarded by mutex_
  bool flushing_ = false;            // guarded by mutex_
  // The size of the frames stored: caps and orientation applied once a
  // frame follows them (factsChanged_).
  DisplaySize size_;                 // guarded by mutex_
  bool factsChanged_ = false;        // guarded by mutex_
  MiniPtr<GstCaps> caps_;            // guarded by mutex_; the negotiated caps
  // The orientation tags seen: the stream's own (forgotten at each new
  // stream) wins over the global one.
  std::optional<VideoOrientation> streamOrientation_;  // guarded by mutex_
  std::optional<VideoOrientation> globalOrientation_;  // guarded by mutex_
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_VIDEO_SINK_H_
