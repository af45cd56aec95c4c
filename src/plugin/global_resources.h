// The resources a plugin registration sets up on its platform thread and
// releases when the plugin goes: the thread's apartment, its dispatcher
// queue, and a share of the process-wide device and media engine.
//
// Two engines in one process each register the plugin, each on its own
// platform thread: each registration has its own queue and balances its own
// apartment initialisation, and the device and engine are shared by
// reference count, so one plugin's destruction never releases what another
// still uses. Platform thread of the registration only.
#ifndef CORVANE_PLUGIN_GLOBAL_RESOURCES_H_
#define CORVANE_PLUGIN_GLOBAL_RESOURCES_H_

#include <memory>

#include "platform/dispatcher_queue.h"
#include "platform/media_engine.h"
#include "platform/platform_layer.h"
#include "platform/surface_device.h"

namespace corvane::plugin {

class GlobalResources {
 public:
  // Sets everything up; failures are logged and leave that resource out.
  explicit GlobalResources(platform::PlatformLayer& platform);
  // Drops every task still queued, then releases in reverse.
  ~GlobalResources();
  GlobalResources(const GlobalResources&) = delete;
  GlobalResources& operator=(const GlobalResources&) = delete;

  const std::shared_ptr<platform::DispatcherQueue>& Queue() const { return queue_; }  // null: inline
  const std::shared_ptr<platform::SurfaceDevice>& Device() const { return device_; }  // null: no frames
  bool Modern() const { return modern_; }
  // Made at the first request. Raises hresult_error when there is none.
  std::shared_ptr<platform::MediaEngine> Engine();

 private:
  platform::PlatformLayer& platform_;
  bool comInitialized_ = false;  // this registration initialised the apartment
  bool modern_ = false;
  std::shared_ptr<platform::DispatcherQueue> queue_;
  std::shared_ptr<platform::SurfaceDevice> device_;
  std::shared_ptr<platform::MediaEngine> engine_;
};

}  // namespace corvane::plugin

#endif  // CORVANE_PLUGIN_GLOBAL_RESOURCES_H_
