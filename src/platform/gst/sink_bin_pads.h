// Finding the pads around playbin's sink bin, where streams chosen in
// playbin's input-selectors enter their outputs.
#ifndef CORVANE_PLATFORM_GST_SINK_BIN_PADS_H_
#define CORVANE_PLATFORM_GST_SINK_BIN_PADS_H_

#include <gst/gst.h>

#include "platform/gst/gst_handles.h"

namespace corvane::platform::gst {

// The sink bin's input of that name ("audio_sink", "video_sink"), if any.
GObjectPtr<GstPad> SinkBinInput(GstElement* playbin, const char* name);

// The selector input that feeds `sinkBinInput` now, if a selector does.
// Takes the selector's lock: not from a streaming thread.
GObjectPtr<GstPad> ChosenSelectorInput(GstPad* sinkBinInput);

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_SINK_BIN_PADS_H_
