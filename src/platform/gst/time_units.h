// The engine's 100-nanosecond ticks and GStreamer's nanoseconds.
#ifndef CORVANE_PLATFORM_GST_TIME_UNITS_H_
#define CORVANE_PLATFORM_GST_TIME_UNITS_H_

#include <gst/gst.h>

#include "platform/media_engine.h"

namespace corvane::platform::gst {

inline TimeSpan FromNanoseconds(gint64 nanoseconds) { return TimeSpan(nanoseconds / 100); }
inline gint64 ToNanoseconds(TimeSpan time) { return time.count() * 100; }

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_TIME_UNITS_H_
