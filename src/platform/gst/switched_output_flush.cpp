#include "platform/gst/switched_output_flush.h"

namespace corvane::platform::gst {

void SwitchedOutputFlush::NoteSwitch(GstElement* playbin) {
  auto playsink = AdoptObject(gst_bin_get_by_name(GST_BIN(playbin), "playsink"));  // Adopt: get_by_name refs
  output_ = playsink ? AdoptObject(gst_element_get_static_pad(playsink.get(), padName_))  // Adopt: get_static_pad refs
                     : nullptr;
}

bool SwitchedOutputFlush::FlushBeforeSeek() {
  flushed_ = std::move(output_);
  if (!flushed_) return false;
  // Flush-start is not serialised: it needs no stream lock and wakes a
  // thread waiting anywhere in the output.
  return gst_pad_send_event(flushed_.get(), gst_event_new_flush_start());
}

void SwitchedOutputFlush::EndFlushOfRefusedSeek() {
  if (flushed_) gst_pad_send_event(flushed_.get(), gst_event_new_flush_stop(TRUE));
  flushed_ = nullptr;
}

void SwitchedOutputFlush::Forget() {
  output_ = nullptr;
  flushed_ = nullptr;
}

}  // namespace corvane::platform::gst
