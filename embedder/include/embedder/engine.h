// A stand-in for the Flutter engine on Linux: it loads plugins, delivers
// their channel messages, answers their texture registrations and fetches
// their textures the way the real engine's raster thread would.
//
// Threads of one engine:
//   platform thread  runs a GLib main loop on a context of its own, pushed as
//                    thread-default; plugin entry points, message callbacks
//                    and the registrar's destruction handler run here.
//   raster thread    fetches textures through their callbacks and completes
//                    texture unregistrations.
//   Dart thread      the "other side" of every channel: replies to messages
//                    sent to the plugin and messages the plugin sends arrive
//                    here, in order.
// Every public member of Engine may be called from any thread that is not
// one of these three unless said otherwise.
#ifndef CORVANE_EMBEDDER_ENGINE_H_
#define CORVANE_EMBEDDER_ENGINE_H_

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/flutter_desktop.h"

namespace corvane::embedder {

namespace internal {
class EngineCore;
}

struct EngineOptions {
  // How often the raster thread fetches the textures that were marked since
  // their last fetch (the display's refresh). Zero fetches right after
  // every mark.
  std::chrono::microseconds frameInterval{16667};
  // Whether the registrar reports a view. A headless engine has none.
  bool withView = false;
  // How long the raster thread keeps a surface descriptor before it reads
  // and releases it, as a compositor whose frame is still on the GPU would.
  // For tests of what a plugin does while a descriptor is out.
  std::chrono::microseconds descriptorHold{0};
  // Whether the raster thread copies the pixels of what it fetches at the
  // display rate, for LatestFrame and WaitForFrame (a window shows them).
  // false: it still fetches each marked texture through its callback and
  // releases it, as a compositor that draws on the GPU does, and copies
  // pixels only for FetchTexture (a headless app taking snapshots).
  bool copyDisplayedFrames = true;
};

// What the plugin answered to one message the Dart side sent.
struct PluginReply {
  // False when the message was never answered: the engine shut down first.
  bool answered = false;
  // The reply bytes; empty is the not-implemented answer (or no handler).
  std::vector<uint8_t> bytes;
};
using ReplyCallback = std::function<void(const PluginReply& reply)>;

// Dart's handler for the messages the plugin sends on one channel. Runs on
// the Dart thread; returns the reply bytes for a plugin that asked for one
// (empty: the null reply).
using DartMessageHandler = std::function<std::vector<uint8_t>(const std::vector<uint8_t>& message)>;

// The plugin's registration function, the shape of the exported entry
// point. Called on the platform thread.
using PluginEntryPoint = std::function<void(FlutterDesktopPluginRegistrarRef registrar)>;

// One fetch of a texture by the raster thread.
struct TextureFrame {
  enum class Outcome {
    kPixels,    // the callback returned pixels; they are copied below
    kNull,      // the callback returned null
    kRejected,  // the callback returned something unusable; see `problem`
  };
  int64_t textureId = -1;
  Outcome outcome = Outcome::kNull;
  std::string problem;
  // The visible size of the pixels and the pixels, BGRA, rows tightly packed.
  size_t width = 0;
  size_t height = 0;
  std::vector<uint8_t> bgra;
  // How many frame marks the texture had when this fetch started, and how
  // many fetches it has had, this one included.
  uint64_t marks = 0;
  uint64_t fetchNumber = 0;

  bool HasPixels() const { return outcome == Outcome::kPixels; }
  // The BGRA bytes of one pixel; (0,0,0,0) outside the frame.
  std::array<uint8_t, 4> PixelAt(size_t x, size_t y) const;
};

class Engine {
 public:
  // Starts the engine's threads. Fails only when a thread or the main loop
  // cannot be created, which the returned null says.
  static std::unique_ptr<Engine> Start(const EngineOptions& options = {});
  // Shuts down if that has not happened yet.
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Loads a plugin library and calls its "CorvanePluginCApiRegisterWithRegistrar"
  // on the platform thread. Returns an empty string on success, else why not.
  std::string LoadPlugin(const std::string& libraryPath);
  // Registers an in-process plugin through its entry point, on the platform
  // thread. False once the engine has shut down.
  bool RegisterPlugin(const PluginEntryPoint& entryPoint);

  // Runs `task` on the platform thread and waits for it. Called on the
  // platform thread itself, it runs inline. False when the engine has shut
  // down (the task did not run) or the wait timed out; after a timeout the
  // task may still run later, so what it refers to must outlive it.
  bool RunOnPlatformThread(const std::function<void()>& task,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Queues `task` on the platform thread. False when the engine has shut down.
  bool PostToPlatformThread(std::function<void()> task);

  // Sends `message` to the plugin on `channel`, as Dart does. It is delivered
  // on the platform thread; `onReply` runs exactly once on the Dart thread.
  void SendToPlugin(const std::string& channel, std::vector<uint8_t> message, ReplyCallback onReply);
  // Installs Dart's handler for what the plugin sends on `channel`; an empty
  // handler removes it. Messages on a channel without handler are dropped.
  void SetDartHandler(const std::string& channel, DartMessageHandler handler);
  // The longest time one message delivered to a plugin held the platform
  // thread (the plugin's handler, reply included) since the previous take:
  // what the app's UI would have frozen for.
  std::chrono::microseconds TakeLongestDelivery();

  // Asks the raster thread for a fetch of the texture now and waits for it.
  // Null when the texture is not registered, the engine has shut down, the
  // wait timed out or the caller is the raster thread itself.
  std::shared_ptr<const TextureFrame> FetchTexture(int64_t textureId,
                                                   std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // The result of the texture's latest fetch, without fetching; null if none.
  std::shared_ptr<const TextureFrame> LatestFrame(int64_t textureId) const;
  // Waits until a fetch of the texture brings pixels for which `accept`
  // holds (the latest fetch counts too). Null on timeout or unregistration.
  std::shared_ptr<const TextureFrame> WaitForFrame(int64_t textureId,
                                                   const std::function<bool(const TextureFrame&)>& accept,
                                                   std::chrono::milliseconds timeout);
  // Waits for pixels from a fetch that follows a frame mark made after this
  // call began.
  std::shared_ptr<const TextureFrame> WaitForNewFrame(int64_t textureId, std::chrono::milliseconds timeout);
  // Frame marks counted for the texture; 0 for an unknown texture.
  uint64_t FrameMarks(int64_t textureId) const;
  // Whether the texture is registered and not being unregistered.
  bool IsTextureRegistered(int64_t textureId) const;

  // The engine's registrar handle, as the plugins see it.
  FlutterDesktopPluginRegistrarRef Registrar() const;

  // Shuts the engine down, from any thread but its own ones: the registrar's
  // destruction handler runs on the platform thread, the messenger becomes
  // unavailable, pending texture unregistrations complete, the raster
  // thread stops and the platform thread is joined. Messages still waiting
  // for an answer are reported to Dart as unanswered. Later calls do nothing.
  // False when called from one of the engine's threads (nothing happens).
  bool Shutdown();
  bool IsRunning() const;
  // Whether the caller runs on the platform, raster or Dart thread.
  bool IsEngineThread() const;

  // Use Start().
  explicit Engine(std::unique_ptr<internal::EngineCore> core);

 private:
  std::unique_ptr<internal::EngineCore> core_;
};

}  // namespace corvane::embedder

#endif  // CORVANE_EMBEDDER_ENGINE_H_
