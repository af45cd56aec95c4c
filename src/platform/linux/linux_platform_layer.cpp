// The platform layer on Linux: no apartments, the thread-default GLib main
// context as the dispatcher queue, memfd textures and the GStreamer engine.
#include "platform/linux/linux_platform_layer.h"

#include <memory>

#include "platform/debug_log.h"
#include "platform/gst/gst_media_engine.h"
#include "platform/linux/main_context_queue.h"
#include "platform/platform_layer.h"
#include "platform/process_paths.h"
#include "platform/linux/user_languages.h"

namespace corvane::platform {
namespace {

class GLibPlatformLayer final : public PlatformLayer {
 public:
  explicit GLibPlatformLayer(PixelOrder textureOrder) : textureOrder_(textureOrder) {}

  hresult InitializeApartment() override { return kOk; }
  void UninitializeApartment() override {}

  std::shared_ptr<DispatcherQueue> QueueForCurrentThread() override {
    DebugLog("CorvanePlugin: Using existing DispatcherQueue for current thread\n");
    return CreateQueueForThreadDefaultContext();
  }

  std::vector<std::string> UserLanguages() override { return UserLanguagesFromEnvironment(); }
  std::string ExecutablePath() override { return platform::ExecutablePath(); }
  std::string WorkingDirectory() override { return platform::WorkingDirectory(); }
  bool UsesWindowsPaths() const override { return false; }

 protected:
  // Every facility the player uses exists on Linux.
  bool ProbeCapabilities() override { return true; }
  std::shared_ptr<SurfaceDevice> CreateSurfaceDevice() override { return CreateSharedMemoryDevice(textureOrder_); }
  std::shared_ptr<MediaEngine> CreateMediaEngine() override { return CreateGstMediaEngine(); }

 private:
  const PixelOrder textureOrder_;
};

}  // namespace

PlatformLayer& LinuxPlatformLayer(PixelOrder textureOrder) {
  // Never destroyed: engine threads may still ask them for the probe's
  // answer while the process exits.
  static auto* bgra = new GLibPlatformLayer(PixelOrder::kBgra);
  static auto* rgba = new GLibPlatformLayer(PixelOrder::kRgba);
  return textureOrder == PixelOrder::kRgba ? *rgba : *bgra;
}

PlatformLayer& SystemPlatformLayer() { return LinuxPlatformLayer(PixelOrder::kBgra); }

}  // namespace corvane::platform
