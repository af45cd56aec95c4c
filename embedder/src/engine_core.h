// The engine behind the public Engine and behind the embedding's C
// functions. Its handle structs are what the plugin holds.
#ifndef CORVANE_EMBEDDER_ENGINE_CORE_H_
#define CORVANE_EMBEDDER_ENGINE_CORE_H_

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "embedder/engine.h"
#include "host/flutter_desktop.h"
#include "message_router.h"
#include "platform_thread.h"
#include "plugin_library.h"
#include "task_thread.h"
#include "texture_registry.h"

namespace corvane::embedder::internal {
class EngineCore;
}

// Reference-counted; outlives its engine while the plugin holds references.
// `engine` is cleared, under `engineLock`, when the engine shuts down, so
// a holder of the lock sees a live engine or none.
struct FlutterDesktopMessenger {
  std::atomic<int> references{1};
  std::recursive_mutex engineLock;
  corvane::embedder::internal::EngineCore* engine = nullptr;
};

// Owned by their engine and valid until it is destroyed.
struct FlutterDesktopPluginRegistrar {
  corvane::embedder::internal::EngineCore* engine = nullptr;
};
struct FlutterDesktopTextureRegistrar {
  corvane::embedder::internal::EngineCore* engine = nullptr;
};
struct FlutterDesktopView {
  corvane::embedder::internal::EngineCore* engine = nullptr;
};

namespace corvane::embedder::internal {

// Writes the misuse report for `function`, called off the platform thread.
void ReportWrongThread(const char* function);

class EngineCore {
 public:
  explicit EngineCore(const EngineOptions& options);
  ~EngineCore();
  EngineCore(const EngineCore&) = delete;
  EngineCore& operator=(const EngineCore&) = delete;

  // Handles as the plugin sees them.
  FlutterDesktopPluginRegistrarRef registrar() { return &registrar_; }
  FlutterDesktopMessengerRef messenger() { return messenger_; }
  FlutterDesktopTextureRegistrarRef texture_registrar() { return &textureRegistrar_; }
  FlutterDesktopViewRef view() { return options_.withView ? &view_ : nullptr; }

  // True on the platform thread; otherwise reports `function` and is false.
  bool CheckPlatformThread(const char* function) const;
  bool IsEngineThread() const;

  // Plugin side, platform thread. Null forgets every handler.
  void SetDestructionHandler(FlutterDesktopOnPluginRegistrarDestroyed handler);
  MessageRouter& router() { return router_; }
  TextureRegistry& textures() { return textures_; }
  // Sends a plugin message to Dart; `reply` (may be null) is called once on
  // the platform thread with Dart's reply, unless the engine shuts down
  // first.
  void SendToDart(const char* channel, const uint8_t* message, size_t size, FlutterDesktopBinaryReply reply,
                  void* userData);

  // Engine API.
  std::string LoadPlugin(const std::string& path);
  bool RegisterPlugin(const PluginEntryPoint& entryPoint);
  PlatformThread& platform() { return platform_; }
  void SendToPlugin(const std::string& channel, std::vector<uint8_t> message, ReplyCallback onReply);
  bool Shutdown();
  bool IsRunning() const;

 private:
  // Declared first so that they are closed last, after every thread that
  // could run their code has been joined.
  std::vector<std::unique_ptr<PluginLibrary>> libraries_;  // guarded by stateMutex_
  const EngineOptions options_;
  TaskThread dart_;
  MessageRouter router_{dart_};
  TextureRegistry textures_;
  PlatformThread platform_;

  // Our reference, released at destruction. The messenger is a C handle
  // with a manual count: FlutterDesktopMessengerRelease deletes it.
  FlutterDesktopMessenger* messenger_;
  FlutterDesktopPluginRegistrar registrar_{this};
  FlutterDesktopTextureRegistrar textureRegistrar_{this};
  FlutterDesktopView view_{this};

  // Platform thread only. Every plugin library carries its own registrar
  // manager and installs its own handler on the one registrar; each
  // distinct handler is kept, so that no library's plugins outlive it.
  std::vector<FlutterDesktopOnPluginRegistrarDestroyed> destructionHandlers_;

  // Cleared on the platform thread once the registrar is destroyed: from
  // then on nothing calls into the plugin.
  std::atomic<bool> pluginCallsAllowed_{true};

  mutable std::mutex stateMutex_;
  bool shutdownStarted_ = false;  // guarded by stateMutex_
};

}  // namespace corvane::embedder::internal

#endif  // CORVANE_EMBEDDER_ENGINE_CORE_H_
