// The Linux media engine: players built on GStreamer's playbin.
#ifndef CORVANE_PLATFORM_GST_GST_MEDIA_ENGINE_H_
#define CORVANE_PLATFORM_GST_GST_MEDIA_ENGINE_H_

#include <memory>

#include "platform/media_engine.h"

namespace corvane::platform {

// Initialises GStreamer once per process (thread-safe). Raises hresult_error
// when GStreamer cannot be initialised.
std::shared_ptr<MediaEngine> CreateGstMediaEngine();

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_GST_GST_MEDIA_ENGINE_H_
