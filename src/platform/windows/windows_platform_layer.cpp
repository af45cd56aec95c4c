// The platform layer on Windows: a COM single-threaded apartment on the
// platform thread, the dispatcher queue by the best tier the system offers
// (queue_tier.h), the user's languages from GlobalizationPreferences, the
// shared Direct3D 11 device, and the media engine over MediaPlayer.
#include <objbase.h>

#include <memory>

#include "platform/debug_log.h"
#include "platform/platform_layer.h"
#include "platform/process_paths.h"
#include "platform/windows/capability_probe.h"
#include "platform/windows/direct3d11_device.h"
#include "platform/windows/media/windows_media_player.h"
#include "platform/windows/message_window_queue.h"
#include "platform/windows/queue_tier.h"
#include "platform/windows/user_languages.h"
#include "platform/windows/winrt_dispatcher_queue.h"

namespace corvane::platform {
namespace {

using windows::ControllerAnswer;
using windows::QueueTier;
using windows::ThreadQueueAnswer;

// Makes each tier's queue on the platform thread when asked, and keeps
// what the successful attempt made.
class SystemQueueTiers final : public windows::QueueTierAttempts {
 public:
  ThreadQueueAnswer FindThreadQueue() override { return windows::FindThreadDispatcherQueue(&queue_); }
  ControllerAnswer CreateOwnController() override {
    return windows::CreateDispatcherQueueControllerForThread(&controller_, &queue_);
  }
  bool CreateMessageWindow() override {
    window_ = windows::CreateMessageWindowQueue();
    return window_ != nullptr;
  }

  std::shared_ptr<DispatcherQueue> QueueFor(QueueTier tier) {
    switch (tier) {
      case QueueTier::ThreadQueue:
        return windows::WrapDispatcherQueue(std::move(queue_), nullptr);
      case QueueTier::OwnController:
        return windows::WrapDispatcherQueue(std::move(queue_), std::move(controller_));
      case QueueTier::MessageWindow:
        return std::move(window_);
      case QueueTier::Inline:
        break;
    }
    return nullptr;
  }

 private:
  winrt::ComRef<winrt::IDispatcherQueue> queue_;
  winrt::ComRef<winrt::IDispatcherQueueController> controller_;
  std::shared_ptr<DispatcherQueue> window_;
};

class WindowsPlatformLayer final : public PlatformLayer {
 public:
  // Platform thread. The plugin keeps the answer and balances an
  // initialisation of its own (S_OK or S_FALSE) with one uninitialisation.
  hresult InitializeApartment() override { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void UninitializeApartment() override { CoUninitialize(); }

  // Platform thread, after the apartment is set up. The apartment is the
  // plugin's to initialise and balance, so the dispatcher queue attempts
  // make none of their own.
  std::shared_ptr<DispatcherQueue> QueueForCurrentThread() override {
    SystemQueueTiers tiers;
    const QueueTier tier = windows::ChooseQueueTier(IsModernWindows(), tiers, [](const char* line) { DebugLog(line); });
    return tiers.QueueFor(tier);
  }

  std::vector<std::string> UserLanguages() override { return windows::UserLanguagesFromGlobalizationPreferences(); }
  std::string ExecutablePath() override { return platform::ExecutablePath(); }
  std::string WorkingDirectory() override { return platform::WorkingDirectory(); }
  bool UsesWindowsPaths() const override { return true; }

 protected:
  bool ProbeCapabilities() override { return windows::ProbeModernWindows(); }
  // Without a Direct3D 11 device (no usable adapter; Wine without a
  // display) the plugin still registers and its players drop their frames.
  std::shared_ptr<SurfaceDevice> CreateSurfaceDevice() override { return windows::CreateDirect3D11Device(); }
  std::shared_ptr<MediaEngine> CreateMediaEngine() override {
    return windows::CreateWindowsMediaEngine(winrt::SystemRuntimeActivation());
  }
};

}  // namespace

PlatformLayer& SystemPlatformLayer() {
  // Lives until the module unloads, after the last plugin registration has
  // gone and its players have closed, so no engine thread asks it anything
  // any more.
  static WindowsPlatformLayer layer;
  return layer;
}

}  // namespace corvane::platform
