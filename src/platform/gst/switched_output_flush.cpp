#include "platform/gst/switched_output_flush.h"

#include "platform/engine_core/engine_watchdog.h"
#include "platform/gst/sink_bin_pads.h"

namespace corvane::platform::gst {

void SwitchedOutputFlush::NoteSwitch(GstElement* playbin) {
  output_ = SinkBinInput(playbin, padName_);
}

void SwitchedOutputFlush::FlushBeforeSeek() {
  flushed_ = RetainObject(output_.get());
  if (until_ == Until::kFirstSeek) output_ = nullptr;
  // Flush-start is not serialised: it needs no stream lock and wakes a
  // thread waiting anywhere in the output.
  WatchedCall call("an output flush before a seek");
  if (flushed_ && !gst_pad_send_event(flushed_.get(), gst_event_new_flush_start())) {
    flushed_ = nullptr;  // nothing to end should the seek be refused
  }
}

void SwitchedOutputFlush::EndFlushOfRefusedSeek() {
  WatchedCall call("the end of an output flush");
  if (flushed_) gst_pad_send_event(flushed_.get(), gst_event_new_flush_stop(TRUE));
  flushed_ = nullptr;
}

void SwitchedOutputFlush::Forget() {
  output_ = nullptr;
  flushed_ = nullptr;
}

}  // namespace corvane::platform::gst
