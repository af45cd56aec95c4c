// Video frames built in memory for converter tests: a buffer of the given
// format and colorimetry, mapped for writing, with helpers to paint it.
#ifndef CORVANE_TESTS_ENGINE_SUPPORT_VIDEO_FRAMES_H_
#define CORVANE_TESTS_ENGINE_SUPPORT_VIDEO_FRAMES_H_

#include <gst/video/video.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gst/gst_handles.h"

namespace corvane::testing {

class TestFrame {
 public:
  // `colorimetry` as in caps ("bt601", "bt709", "1:4:0:0" ...), null for the
  // format's default. `paddingRight` widens every row (odd strides); the
  // padding bytes hold 0xEE so that reading them shows.
  TestFrame(GstVideoFormat format, int width, int height, const char* colorimetry = nullptr,
            unsigned paddingRight = 0) {
    gst_video_info_set_format(&info_, format, width, height);
    if (colorimetry != nullptr) gst_video_colorimetry_from_string(&info_.colorimetry, colorimetry);
    if (paddingRight != 0) {
      GstVideoAlignment alignment;
      gst_video_alignment_reset(&alignment);
      alignment.padding_right = paddingRight;
      gst_video_info_align(&info_, &alignment);
    }
    buffer_.reset(gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info_), nullptr));  // Adopt
    gst_buffer_memset(buffer_.get(), 0, 0xEE, GST_VIDEO_INFO_SIZE(&info_));
    mapped_ = gst_video_frame_map(&frame_, &info_, buffer_.get(), GST_MAP_READWRITE);
  }
  ~TestFrame() {
    if (mapped_) gst_video_frame_unmap(&frame_);
  }
  TestFrame(const TestFrame&) = delete;
  TestFrame& operator=(const TestFrame&) = delete;

  bool mapped() const { return mapped_; }
  GstVideoFrame& frame() { return frame_; }
  GstVideoInfo& info() { return info_; }

  // Sets one sample of a component (at component resolution). 16-bit
  // formats take the sample value before the format's shift (0..1023 for
  // 10-bit).
  void SetSample(int component, int x, int y, unsigned value) {
    uint8_t* base = static_cast<uint8_t*>(GST_VIDEO_FRAME_COMP_DATA(&frame_, component));
    // GStreamer 1.22 gives V of the 16-bit semi-planar formats (P010) a
    // one-byte offset; the sample really sits right after U's two bytes.
    if (component == GST_VIDEO_COMP_V && GST_VIDEO_FRAME_COMP_DEPTH(&frame_, component) > 8 &&
        GST_VIDEO_FRAME_COMP_PLANE(&frame_, GST_VIDEO_COMP_U) == GST_VIDEO_FRAME_COMP_PLANE(&frame_, component)) {
      base = static_cast<uint8_t*>(GST_VIDEO_FRAME_COMP_DATA(&frame_, GST_VIDEO_COMP_U)) + 2;
    }
    uint8_t* row = base + static_cast<size_t>(y) * GST_VIDEO_FRAME_COMP_STRIDE(&frame_, component);
    uint8_t* sample = row + x * GST_VIDEO_FRAME_COMP_PSTRIDE(&frame_, component);
    if (GST_VIDEO_FRAME_COMP_DEPTH(&frame_, component) > 8) {
      const uint16_t stored = static_cast<uint16_t>(value << GST_VIDEO_FORMAT_INFO_SHIFT(frame_.info.finfo, component));
      std::memcpy(sample, &stored, sizeof stored);  // little-endian formats only
    } else {
      *sample = static_cast<uint8_t>(value);
    }
  }

  // Paints the rectangle [x0, x1) x [y0, y1), in luma pixels, one YUV colour.
  void FillYuv(int x0, int y0, int x1, int y1, unsigned y, unsigned u, unsigned v) {
    const unsigned values[3] = {y, u, v};
    for (int component = 0; component < 3; ++component) {
      const int wSub = GST_VIDEO_FORMAT_INFO_W_SUB(frame_.info.finfo, component);
      const int hSub = GST_VIDEO_FORMAT_INFO_H_SUB(frame_.info.finfo, component);
      const int cx0 = GST_VIDEO_SUB_SCALE(wSub, x0), cx1 = GST_VIDEO_SUB_SCALE(wSub, x1);
      const int cy0 = GST_VIDEO_SUB_SCALE(hSub, y0), cy1 = GST_VIDEO_SUB_SCALE(hSub, y1);
      for (int cy = cy0; cy < cy1; ++cy) {
        for (int cx = cx0; cx < cx1; ++cx) SetSample(component, cx, cy, values[component]);
      }
    }
  }
  void FillYuv(unsigned y, unsigned u, unsigned v) {
    FillYuv(0, 0, GST_VIDEO_INFO_WIDTH(&info_), GST_VIDEO_INFO_HEIGHT(&info_), y, u, v);
  }

  // Paints every pixel of a packed RGB format with the given bytes, in
  // memory order.
  void FillPacked(const std::vector<uint8_t>& pixel) {
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame_, 0);
    auto* data = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame_, 0));
    for (int y = 0; y < GST_VIDEO_INFO_HEIGHT(&info_); ++y) {
      for (int x = 0; x < GST_VIDEO_INFO_WIDTH(&info_); ++x) {
        std::memcpy(data + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * pixel.size(), pixel.data(),
                    pixel.size());
      }
    }
  }

 private:
  GstVideoInfo info_{};
  platform::gst::MiniPtr<GstBuffer> buffer_;
  GstVideoFrame frame_{};
  bool mapped_ = false;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_ENGINE_SUPPORT_VIDEO_FRAMES_H_
