#include "platform/platform_layer.h"

#include "platform/debug_log.h"

namespace corvane::platform {

bool PlatformLayer::IsModernWindows() {
  std::call_once(probed_, [this] {
    modern_ = ProbeCapabilities();
    DebugLog(modern_ ? "CorvanePlugin: Full API support available\n"
                     : "CorvanePlugin: Using fallback mode for older Windows\n");
  });
  return modern_;
}

std::shared_ptr<SurfaceDevice> PlatformLayer::AcquireSharedDevice() {
  std::shared_ptr<SurfaceDevice> device;
  bool made = false;
  {
    std::lock_guard<std::mutex> lock(sharedMutex_);
    device = device_.lock();
    if (!device) {
      made = Succeeded(ToHresult([&] { device = CreateSurfaceDevice(); })) && device;
      if (made) device_ = device;
    }
  }
  // Logged outside the lock: the log has a lock of its own.
  if (!device) {
    DebugLog("CorvanePlugin: Failed to create D3D11 device\n");
    return nullptr;
  }
  if (made) DebugLog("CorvanePlugin: D3D11 device created successfully\n");
  return device;
}

std::shared_ptr<MediaEngine> PlatformLayer::AcquireMediaEngine() {
  std::lock_guard<std::mutex> lock(sharedMutex_);
  if (auto engine = engine_.lock()) return engine;
  auto engine = CreateMediaEngine();
  if (!engine) throw hresult_error(kFail, "no media engine");
  engine_ = engine;
  return engine;
}

}  // namespace corvane::platform
