// Stops pipelines that were still settling when their player let go of
// them (see Pipeline::IsSettling), on a thread of their own, so that the
// player opens its next source, or closes, without waiting.
//
// Any thread. The pipeline must be detached first: it only settles, is
// stopped and is released here, and never calls back into a player.
#ifndef CORVANE_PLATFORM_GST_PIPELINE_RETIREMENT_H_
#define CORVANE_PLATFORM_GST_PIPELINE_RETIREMENT_H_

#include <memory>

#include "platform/gst/pipeline.h"

namespace corvane::platform::gst {

void RetirePipeline(std::shared_ptr<Pipeline> pipeline);

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_PIPELINE_RETIREMENT_H_
