// A platform layer for tests: each outcome of the probe, the apartment and
// the queue can be chosen, and the device and engine come from the test.
// The queue is the system's own: on Linux one on the thread-default GLib
// context, on Windows the message-only window; either belongs to the
// thread that registers the plugin, the host's platform thread.
#ifndef CORVANE_TESTS_PLUGIN_FAKE_PLATFORM_LAYER_H_
#define CORVANE_TESTS_PLUGIN_FAKE_PLATFORM_LAYER_H_

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform_layer.h"
#include "platform/process_paths.h"
#ifdef _WIN32
#include "platform/windows/message_window_queue.h"
#else
#include "platform/linux/main_context_queue.h"
#include "platform/linux/user_languages.h"
#endif

namespace corvane::testing {

class FakePlatformLayer final : public platform::PlatformLayer {
 public:
  bool modern = true;
  bool withQueue = true;  // false: the inline mode
  int queueRequests = 0;
  platform::hresult apartmentAnswer = platform::kOk;
  std::optional<std::vector<std::string>> languages;  // unset: the environment's
  std::function<std::shared_ptr<platform::SurfaceDevice>()> makeDevice;
  std::function<std::shared_ptr<platform::MediaEngine>()> makeEngine;

  std::atomic<int> apartmentInits{0};
  std::atomic<int> apartmentUninits{0};
  std::atomic<int> devicesMade{0};

  platform::hresult InitializeApartment() override {
    ++apartmentInits;
    return apartmentAnswer;
  }
  void UninitializeApartment() override { ++apartmentUninits; }
  std::shared_ptr<platform::DispatcherQueue> QueueForCurrentThread() override {
    ++queueRequests;
    if (!withQueue) return nullptr;
#ifdef _WIN32
    return platform::windows::CreateMessageWindowQueue();
#else
    return platform::CreateQueueForThreadDefaultContext();
#endif
  }
  // The process's own languages and paths unless a test sets them. On
  // Windows the languages come from the Windows Runtime, which needs an
  // apartment this fake never enters: none are preferred there.
  std::vector<std::string> UserLanguages() override {
    if (languages) return *languages;
#ifdef _WIN32
    return {};
#else
    return platform::UserLanguagesFromEnvironment();
#endif
  }
  std::string ExecutablePath() override { return platform::ExecutablePath(); }
  std::string WorkingDirectory() override { return platform::WorkingDirectory(); }
#ifdef _WIN32
  bool UsesWindowsPaths() const override { return true; }
#else
  bool UsesWindowsPaths() const override { return false; }
#endif

 protected:
  bool ProbeCapabilities() override { return modern; }
  std::shared_ptr<platform::SurfaceDevice> CreateSurfaceDevice() override {
    if (!makeDevice) throw platform::hresult_error(platform::kFail, "no device in this test");
    ++devicesMade;
    return makeDevice();
  }
  std::shared_ptr<platform::MediaEngine> CreateMediaEngine() override {
    if (!makeEngine) throw platform::hresult_error(platform::kFail, "no engine in this test");
    return makeEngine();
  }
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_PLUGIN_FAKE_PLATFORM_LAYER_H_
