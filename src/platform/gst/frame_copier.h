// Copies decoded frames and draws subtitle cues into the player's surfaces.
//
// Any thread (the copy calls come from the handlers of the frame
// notifications); copies are serialised, as the converters keep scratch
// buffers.
#ifndef CORVANE_PLATFORM_GST_FRAME_COPIER_H_
#define CORVANE_PLATFORM_GST_FRAME_COPIER_H_

#include <gst/gst.h>
#include <gst/video/video.h>

#include <memory>
#include <mutex>
#include <vector>

#include "platform/gst/gst_handles.h"
#include "platform/gst/subtitle_rasterizer.h"
#include "platform/surface_device.h"

namespace corvane::platform::gst {

class FrameConverter;
class VideoSink;

class FrameCopier {
 public:
  FrameCopier();
  ~FrameCopier();
  FrameCopier(const FrameCopier&) = delete;
  FrameCopier& operator=(const FrameCopier&) = delete;

  // Converts the sink's newest frame into `pixels`; with nothing decoded
  // yet the surface keeps what it holds. Raises hresult_error when the
  // frame cannot be read or converted.
  void CopyNewest(VideoSink& video, const PixelView& pixels);
  // Draws `cues` (none: a clear surface). Whether anything was drawn.
  bool Draw(const std::vector<SubtitleCue>& cues, const PixelView& pixels);

 private:
  std::mutex mutex_;
  // Guarded by mutex_.
  MiniPtr<GstCaps> frameCaps_;  // the caps frameInfo_ was read from
  GstVideoInfo frameInfo_{};
  std::unique_ptr<FrameConverter> converter_;
  std::unique_ptr<SubtitleRasterizer> rasterizer_;
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_FRAME_COPIER_H_
