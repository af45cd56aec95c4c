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
  std::lock_guard<std::mutex> lock(sharedMutex_);
  if (auto device = device_.lock()) return device;
  std::shared_ptr<SurfaceDevice> device;
  if (Failed(ToHresult([&] { device = CreateSurfaceDevice(); })) || !device) {
    DebugLog("CorvanePlugin: Failed to create D3D11 device\n");
    return nullptr;
  }
  DebugLog("CorvanePlugin: D3D11 device created successfully\n");
  device_ = device;
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
