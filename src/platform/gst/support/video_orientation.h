// How a decoded picture must be turned to be shown upright: the stream's
// image-orientation tag (a phone video's display matrix arrives as one).
//
// Pure; any thread.
#ifndef CORVANE_PLATFORM_GST_SUPPORT_VIDEO_ORIENTATION_H_
#define CORVANE_PLATFORM_GST_SUPPORT_VIDEO_ORIENTATION_H_

#include <cstdint>

namespace corvane::platform::gst {

// Clockwise rotation, then, for the flipped ones, a mirror left to right
// (the order of GStreamer's "flip-rotate-*" tag values).
enum class VideoOrientation : uint8_t {
  kIdentity,
  kRotate90,
  kRotate180,
  kRotate270,
  kFlip,
  kFlipRotate90,
  kFlipRotate180,
  kFlipRotate270,
};

// The orientation a GST_TAG_IMAGE_ORIENTATION value names ("rotate-90",
// "flip-rotate-270", ...); identity for null or anything else.
VideoOrientation OrientationFromTag(const char* value);

// Whether width and height trade places once turned (90 and 270 degrees).
bool SwapsAxes(VideoOrientation orientation);
uint32_t ClockwiseDegrees(VideoOrientation orientation);
bool IsMirrored(VideoOrientation orientation);

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_SUPPORT_VIDEO_ORIENTATION_H_
