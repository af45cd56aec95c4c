// Converts a decoder's own video frame straight into a BGRA or RGBA surface.
//
// The video sink hands over frames in the decoder's format (I420, NV12, ...)
// so that colour conversion, scaling and the copy into the shared surface
// happen in one pass, only for the frames that are actually shown, with
// libyuv. The result is in the surface's byte order (PixelView::order):
// B,G,R,A (libyuv's "ARGB") or R,G,B,A, written in that order by the
// conversion itself; alpha 255, which is premultiplied by definition. Only
// P010 takes a second pass for R,G,B,A.
//
// Supported: I420, YV12, Y42B, Y444, NV12, NV21, I420_10LE, I422_10LE,
// Y444_10LE, P010_10LE, and the packed RGB formats BGRA, BGRx, RGBA, RGBx,
// ARGB, xRGB, ABGR, xBGR, RGB, BGR. The YUV matrix and range follow the
// frame's colorimetry (BT.601, BT.709 or BT.2020; limited or full range);
// an unknown matrix is BT.709 from 720 lines up and BT.601 below, an unknown
// range is limited. Source strides and plane offsets are honoured.
//
// A turned picture (a phone video's rotation) is converted at the frame's
// size, then rotated and mirrored with libyuv: two more passes, for those
// videos only.
//
// Threads: a converter belongs to one caller at a time (the player's video
// copy, under its surface lock). It keeps a scratch buffer for scaling that
// grows to the largest frame seen and is reused, so steady playback
// allocates nothing.
#ifndef CORVANE_PLATFORM_GST_SUPPORT_FRAME_CONVERTER_H_
#define CORVANE_PLATFORM_GST_SUPPORT_FRAME_CONVERTER_H_

#include <gst/video/video.h>

#include <cstdint>
#include <vector>

#include "platform/gst/support/video_orientation.h"
#include "platform/surface_device.h"

namespace corvane::platform::gst {

class FrameConverter {
 public:
  // Converts `frame` (mapped for reading) to dst's byte order at its size, turned by
  // `orientation` first (dst is then the turned picture's size), scaling
  // bilinearly when the sizes differ. False, with dst untouched, when the
  // frame's format is not supported or dst is not a usable view (null data,
  // zero size, stride below width * 4).
  bool Convert(const GstVideoFrame& frame, const PixelView& dst,
               VideoOrientation orientation = VideoOrientation::kIdentity);

 private:
  // Frame-sized staging, in the surface's byte order, for the scaled and the turned paths (a turned
  // picture takes passes in turn between the two).
  std::vector<uint8_t> scratch_;
  std::vector<uint8_t> turned_;
};

// Whether Convert handles frames of this format; lets the sink offer only
// these formats upstream.
bool IsConvertibleFormat(GstVideoFormat format);

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_SUPPORT_FRAME_CONVERTER_H_
