#include "platform/gst/support/video_orientation.h"

#include <cstring>

namespace corvane::platform::gst {

VideoOrientation OrientationFromTag(const char* value) {
  if (value == nullptr) return VideoOrientation::kIdentity;
  static constexpr struct {
    const char* tag;
    VideoOrientation orientation;
  } kTags[] = {
      {"rotate-90", VideoOrientation::kRotate90},
      {"rotate-180", VideoOrientation::kRotate180},
      {"rotate-270", VideoOrientation::kRotate270},
      {"flip-rotate-0", VideoOrientation::kFlip},
      {"flip-rotate-90", VideoOrientation::kFlipRotate90},
      {"flip-rotate-180", VideoOrientation::kFlipRotate180},
      {"flip-rotate-270", VideoOrientation::kFlipRotate270},
  };
  for (const auto& entry : kTags) {
    if (std::strcmp(value, entry.tag) == 0) return entry.orientation;
  }
  return VideoOrientation::kIdentity;
}

uint32_t ClockwiseDegrees(VideoOrientation orientation) {
  switch (orientation) {
    case VideoOrientation::kRotate90:
    case VideoOrientation::kFlipRotate90:
      return 90;
    case VideoOrientation::kRotate180:
    case VideoOrientation::kFlipRotate180:
      return 180;
    case VideoOrientation::kRotate270:
    case VideoOrientation::kFlipRotate270:
      return 270;
    default:
      return 0;
  }
}

bool SwapsAxes(VideoOrientation orientation) {
  const uint32_t degrees = ClockwiseDegrees(orientation);
  return degrees == 90 || degrees == 270;
}

bool IsMirrored(VideoOrientation orientation) {
  return orientation == VideoOrientation::kFlip || orientation == VideoOrientation::kFlipRotate90 ||
         orientation == VideoOrientation::kFlipRotate180 || orientation == VideoOrientation::kFlipRotate270;
}

}  // namespace corvane::platform::gst
