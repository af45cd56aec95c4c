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
    : options_(options), textures_(options.frame_interval, options.descriptor_hold, options.copy_displayed_frames), messenger_(new FlutterDesktopMessenger) {
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
    destruction_handlers_.clear();
  } else if (std::find(destruction_handlers_.begin(), destruction_handlers_.end(), handler) ==
             destruction_handlers_.end()) {
    destruction_handlers_.push_back(handler);
  }
}

void EngineCore::SendToDart(const char* channel, const uint8_t* message, size_t size,
                            FlutterDesktopBinaryReply reply, void* user_data) {
  std::vector<uint8_t> bytes;
  if (message != nullptr && size > 0) bytes.assign(message, message + size);
  std::function<void(std::vector<uint8_t>)> on_dart_reply;
  if (reply != nullptr) {
    on_dart_reply = [this, reply, user_data](std::vector<uint8_t> answer) {
      platform_.Post([this, reply, user_data, answer = std::move(answer)] {
        if (!plugin_calls_allowed_) return;
        reply(answer.empty() ? nullptr : answer.data(), answer.size(), user_data);
      });
    };
  }
  router_.SendToDart(channel, std::move(bytes), std::move(on_dart_reply));
}

std::string EngineCore::LoadPlugin(const std::string& path) {
  std::string error;
  std::unique_ptr<PluginLibrary> library = PluginLibrary::Open(path, &error);
  if (!library) return error;
  const RegisterWithRegistrarFunction entry_point = library->entry_point();
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    libraries_.push_back(std::move(library));
  }
  if (!RegisterPlugin(entry_point)) return "the engine has shut down";
  return {};
}

bool EngineCore::RegisterPlugin(const PluginEntryPoint& entry_point) {
  // Shared, not on this stack: after a timeout the task may still run.
  auto registered = std::make_shared<std::atomic<bool>>(false);
  const bool ran = platform_.RunSync(
      [this, entry_point, registered] {
        if (!plugin_calls_allowed_) return;
        entry_point(registrar());
        *registered = true;
      },
      kShutdownTaskTimeout);
  return ran && *registered;
}

void EngineCore::SendToPlugin(const std::string& channel, std::vector<uint8_t> message, ReplyCallback on_reply) {
  auto slot = std::make_shared<ReplySlot>(dart_, std::move(on_reply));
  // When the task is dropped (shutdown) the slot goes with it and resolves
  // as unanswered.
  platform_.Post([this, channel, message = std::move(message), slot = std::move(slot)]() mutable {
    if (!plugin_calls_allowed_) return;
    router_.DeliverToPlugin(messenger_, channel, message, std::move(slot));
  });
}

bool EngineCore::Shutdown() {
  if (IsEngineThread()) {
    std::fprintf(stderr, "corvane embedder: the engine cannot be shut down from one of its own threads\n");
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (shutdown_started_) return true;
    shutdown_started_ = true;
  }
  const bool ran = platform_.RunSync(
      [this] {
        // The registrar goes first, so the plugin's destructors still find a
        // working messenger and texture registrar.
        std::vector<FlutterDesktopOnPluginRegistrarDestroyed> handlers;
        handlers.swap(destruction_handlers_);
        for (FlutterDesktopOnPluginRegistrarDestroyed handler : handlers) handler(registrar());
        plugin_calls_allowed_ = false;
        {
          std::lock_guard<std::recursive_mutex> lock(messenger_->engine_lock);
          messenger_->engine = nullptr;
        }
        router_.ClearPluginCallbacks();
      },
      kShutdownTaskTimeout);
  if (!ran) {
    std::fprintf(stderr, "corvane embedder: the registrar's destruction did not finish; shutting down anyway\n");
    plugin_calls_allowed_ = false;
    std::lock_guard<std::recursive_mutex> lock(messenger_->engine_lock);
    messenger_->engine = nullptr;
  }
  textures_.Stop();
  platform_.Stop();
  router_.DropPendingAnswers();
  dart_.Stop();
  return true;
}

bool EngineCore::IsRunning() const {
  std::lock_guard<std::mutex> lock(state_mutex_);
  return !shutdown_started_;
}

}  // namespace corvane::embedder::internal
