#include "engine_core.h"

#include <algorithm>
#include <cstdio>

namespace corvane::embedder::internal {
namespace {

// A plugin's destruction handler may wait briefly for its players' engines;
// this only bounds a plugin that hangs.
constexpr std::chrono::seconds kShutdownTaskTimeout{30};

}  // namespace

void ReportWrongThread(const char* function) {
  std::fprintf(stderr, "corvane embedder: %s must be called on the platform thread\n", function);
}

EngineCore::EngineCore(const EngineOptions& options)
    : options_(options),
      textures_(options.frameInterval, options.descriptorHold, options.copyDisplayedFrames),
      messenger_(new FlutterDesktopMessenger) {
  messenger_->engine = this;
}

EngineCore::~EngineCore() {
  Shutdown();
  FlutterDesktopMessengerRelease(messenger_);
}

bool EngineCore::CheckPlatformThread(const char* function) const {
  if (platform_.IsCurrent()) return true;
  ReportWrongThread(function);
  return false;
}

bool EngineCore::IsEngineThread() const {
  return platform_.IsCurrent() || dart_.IsCurrent() || textures_.IsRasterThread();
}

void EngineCore::SetDestructionHandler(FlutterDesktopOnPluginRegistrarDestroyed handler) {
  if (handler == nullptr) {
    destructionHandlers_.clear();
  } else if (std::find(destructionHandlers_.begin(), destructionHandlers_.end(), handler) ==
             destructionHandlers_.end()) {
    destructionHandlers_.push_back(handler);
  }
}

void EngineCore::SendToDart(const char* channel, const uint8_t* message, size_t size, FlutterDesktopBinaryReply reply,
                            void* userData) {
  std::vector<uint8_t> bytes;
  if (message != nullptr && size > 0) bytes.assign(message, message + size);
  std::function<void(std::vector<uint8_t>)> onDartReply;
  if (reply != nullptr) {
    onDartReply = [this, reply, userData](std::vector<uint8_t> answer) {
      platform_.Post([this, reply, userData, answer = std::move(answer)] {
        if (!pluginCallsAllowed_) return;
        reply(answer.empty() ? nullptr : answer.data(), answer.size(), userData);
      });
    };
  }
  router_.SendToDart(channel, std::move(bytes), std::move(onDartReply));
}

std::string EngineCore::LoadPlugin(const std::string& path) {
  std::string error;
  std::unique_ptr<PluginLibrary> library = PluginLibrary::Open(path, &error);
  if (!library) return error;
  const RegisterWithRegistrarFunction entryPoint = library->EntryPoint();
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    libraries_.push_back(std::move(library));
  }
  if (!RegisterPlugin(entryPoint)) return "the engine has shut down";
  return {};
}

bool EngineCore::RegisterPlugin(const PluginEntryPoint& entryPoint) {
  // Shared, not on this stack: after a timeout the task may still run.
  auto registered = std::make_shared<std::atomic<bool>>(false);
  const bool ran = platform_.RunSync(
      [this, entryPoint, registered] {
        if (!pluginCallsAllowed_) return;
        entryPoint(registrar());
        *registered = true;
      },
      kShutdownTaskTimeout);
  return ran && *registered;
}

void EngineCore::SendToPlugin(const std::string& channel, std::vector<uint8_t> message, ReplyCallback onReply) {
  auto slot = std::make_shared<ReplySlot>(dart_, std::move(onReply));
  // When the task is dropped (shutdown) the slot goes with it and resolves
  // as unanswered.
  platform_.Post([this, channel, message = std::move(message), slot = std::move(slot)]() mutable {
    if (!pluginCallsAllowed_) return;
    router_.DeliverToPlugin(messenger_, channel, message, std::move(slot));
  });
}

bool EngineCore::Shutdown() {
  if (IsEngineThread()) {
    std::fprintf(stderr, "corvane embedder: the engine cannot be shut down from one of its own threads\n");
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (shutdownStarted_) return true;
    shutdownStarted_ = true;
  }
  const bool ran = platform_.RunSync(
      [this] {
        // The registrar goes first, so the plugin's destructors still find a
        // working messenger and texture registrar.
        std::vector<FlutterDesktopOnPluginRegistrarDestroyed> handlers;
        handlers.swap(destructionHandlers_);
        for (FlutterDesktopOnPluginRegistrarDestroyed handler : handlers) handler(registrar());
        pluginCallsAllowed_ = false;
        {
          std::lock_guard<std::recursive_mutex> lock(messenger_->engineLock);
          messenger_->engine = nullptr;
        }
        router_.ClearPluginCallbacks();
      },
      kShutdownTaskTimeout);
  if (!ran) {
    std::fprintf(stderr, "corvane embedder: the registrar's destruction did not finish; shutting down anyway\n");
    pluginCallsAllowed_ = false;
    std::lock_guard<std::recursive_mutex> lock(messenger_->engineLock);
    messenger_->engine = nullptr;
  }
  textures_.Stop();
  platform_.Stop();
  router_.DropPendingAnswers();
  dart_.Stop();
  return true;
}

bool EngineCore::IsRunning() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return !shutdownStarted_;
}

}  // namespace corvane::embedder::internal
