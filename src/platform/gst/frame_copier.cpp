#include "platform/gst/frame_copier.h"

#include "platform/gst/support/frame_converter.h"
#include "platform/gst/video_sink.h"
#include "platform/hresult.h"

namespace corvane::platform::gst {

FrameCopier::FrameCopier()
    : converter_(std::make_unique<FrameConverter>()), rasterizer_(std::make_unique<SubtitleRasterizer>()) {}

FrameCopier::~FrameCopier() = default;

void FrameCopier::CopyNewest(VideoSink& video, const PixelView& pixels) {
  VideoSink::Frame frame = video.NewestFrame();
  if (!frame.sample) return;
  GstCaps* caps = gst_sample_get_caps(frame.sample.get());
  GstBuffer* buffer = gst_sample_get_buffer(frame.sample.get());
  if (!caps || !buffer) throw hresult_error(kFail, "frame without caps");
  bool converted = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Caps change rarely; parse them once per caps object, not per frame.
    if (caps != frameCaps_.get()) {
      if (!gst_video_info_from_caps(&frameInfo_, caps)) {
        frameCaps_.reset();
        throw hresult_error(kFail, "frame caps are not raw video");
      }
      frameCaps_ = RetainMini(caps);
    }
    GstVideoFrame mapped;
    if (!gst_video_frame_map(&mapped, &frameInfo_, buffer, GST_MAP_READ)) {
      throw hresult_error(kFail, "frame cannot be mapped");
    }
    converted = converter_->Convert(mapped, pixels, frame.orientation);
    gst_video_frame_unmap(&mapped);
  }
  video.MarkCopied(frame.serial);
  if (!converted) throw hresult_error(kFail, "frame format cannot be converted");
}

bool FrameCopier::Draw(const std::vector<SubtitleCue>& cues, const PixelView& pixels) {
  std::lock_guard<std::mutex> lock(mutex_);
  return rasterizer_->Render(cues, pixels);
}

}  // namespace corvane::platform::gst
