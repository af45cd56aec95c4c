// Chooses the element that plays a player's audio.
//
// CORVANE_AUDIO_SINK, when set, is a bin description ("fakesink sync=true",
// "pulsesink device=x") used as is. When it is unset or cannot be built (a
// debug line says why), the system's automatic output is used; when that
// cannot open any device either, a synchronised fakesink keeps playback
// going silently on the system clock.
#ifndef CORVANE_PLATFORM_GST_AUDIO_OUTPUT_H_
#define CORVANE_PLATFORM_GST_AUDIO_OUTPUT_H_

#include <gst/gst.h>

#include "platform/gst/gst_handles.h"

namespace corvane::platform::gst {

// Never null (a fakesink at worst, unless GStreamer's core is broken).
GObjectPtr<GstElement> MakeAudioOutput();

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_AUDIO_OUTPUT_H_
