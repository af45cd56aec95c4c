#include "plugin/global_resources.h"

#include "platform/debug_log.h"

namespace corvane::plugin {

using platform::DebugLog;

GlobalResources::GlobalResources(platform::PlatformLayer& platform) : platform_(platform) {
  DebugLog("CorvanePlugin: Initializing global resources\n");
  const platform::hresult apartment = platform_.InitializeApartment();
  // Only an initialisation of our own is undone at clean-up: a thread that
  // already runs another model (kChangedMode) was not initialised by us.
  if (platform::Succeeded(apartment)) comInitialized_ = true;
  if (platform::Succeeded(apartment) || apartment == platform::kChangedMode) {
    DebugLog("CorvanePlugin: COM initialized in initGlobal\n");
  }
  modern_ = platform_.IsModernWindows();
  if (!modern_) DebugLog("CorvanePlugin: Skipping DispatcherQueue creation on pre-1803 Windows\n");
  // Older systems get a queue too: without one, engine callbacks would run
  // on engine threads and send events off the platform thread. The layer
  // offers what the system has (on Windows before 1803, a message window).
  queue_ = platform_.QueueForCurrentThread();
  if (!queue_) DebugLog("CorvanePlugin: Running without DispatcherQueueController\n");
  device_ = platform_.AcquireSharedDevice();
}

GlobalResources::~GlobalResources() {
  DebugLog("CorvanePlugin: Cleaning up global resources\n");
  engine_.reset();
  device_.reset();
  if (queue_) {
    if (platform::Failed(platform::ToHresult([&] { queue_->Shutdown(); }))) {
      DebugLog("CorvanePlugin: Exception during dispatcher queue cleanup\n");
    }
    queue_.reset();
  }
  if (comInitialized_) {
    platform_.UninitializeApartment();
    comInitialized_ = false;
    DebugLog("CorvanePlugin: COM uninitialized\n");
  }
  DebugLog("CorvanePlugin: Global cleanup completed\n");
}

std::shared_ptr<platform::MediaEngine> GlobalResources::Engine() {
  if (!engine_) engine_ = platform_.AcquireMediaEngine();
  return engine_;
}

}  // namespace corvane::plugin
