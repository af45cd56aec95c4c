// Knobs of the GStreamer engine that the product leaves at their defaults
// and benchmarks turn.
#ifndef CORVANE_PLATFORM_GST_GST_ENGINE_OPTIONS_H_
#define CORVANE_PLATFORM_GST_GST_ENGINE_OPTIONS_H_

#include <chrono>
#include <memory>

#include "platform/media_engine.h"

namespace corvane::platform::gst {

struct EngineOptions {
  // false: video is taken as fast as it decodes, not at its time.
  bool syncVideo = true;
  // true: each decoded frame waits (boundedly) for the previous one to be
  // copied, so a copying handler sees every frame.
  bool deliverEveryFrame = false;
  // How often PositionChanged is raised while playing.
  std::chrono::milliseconds positionInterval{125};
};

// CreateGstMediaEngine with non-default options.
std::shared_ptr<MediaEngine> CreateGstMediaEngine(const EngineOptions& options);

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_GST_ENGINE_OPTIONS_H_
