// The engine of our fake libflutter_linux_gtk.so, as tests and the stand-in
// app drive it: a main thread (a GLib main loop on a context of its own,
// pushed as thread-default, standing in for GTK's), a raster thread that
// calls each marked pixel-buffer texture's copy_pixels at the display rate,
// a Dart side for the channels, and a shutdown as an app's closing window
// disposes its engine.
//
// It checks the embedding's rules as the plugin's binding must keep them,
// and records every breach (also printed to standard error at once):
// - a message sent towards Dart off the main thread, or after shutdown;
// - a response after shutdown, a second response to one message, a message
//   whose last response handle reference went unanswered;
// - a handler installed or removed during or after shutdown (the
//   messenger is being disposed);
// - texture registration, marking or unregistration off the main thread; a
//   mark of a texture that is not registered (after its unregistration);
// - copy_pixels returning TRUE without a buffer, or a buffer that changed
//   or went away before the next copy_pixels of its texture (the raster
//   thread keeps checking it until then).
//
// Every member may be called from any thread that is not the engine's own,
// unless said otherwise.
#ifndef FAKE_FLUTTER_LINUX_ENGINE_H_
#define FAKE_FLUTTER_LINUX_ENGINE_H_

#include <flutter_linux/flutter_linux.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fake_flutter_linux {

namespace internal {
class EngineCore;
}

// One copy_pixels of a texture, as Flutter uploads it: RGBA, rows packed.
struct Frame {
  std::vector<uint8_t> rgba;
  uint32_t width = 0;
  uint32_t height = 0;
  uint64_t serial = 0;  // counts the texture's copies from 1

  // The pixel at (x, y): R, G, B, A.
  const uint8_t* At(uint32_t x, uint32_t y) const { return rgba.data() + (size_t{y} * width + x) * 4; }
};

class Engine {
 public:
  explicit Engine(std::chrono::milliseconds frameInterval = std::chrono::milliseconds(16));
  // Shuts down if still running, lets the main loop run what is queued,
  // then stops the threads.
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // What a generated registrant takes (a real app passes its FlView).
  // Use on the main thread.
  FlPluginRegistry* registry() const;
  // Runs `task` on the main thread and waits for it.
  void RunOnMainThread(const std::function<void()>& task);

  // Dart side. The message reaches the channel's handler on the main thread
  // (no handler: the empty answer). `onReply` runs once, on the thread that
  // answers, with the answer's bytes (empty: the null answer), or nullopt
  // when the message is never answered.
  using ReplyHandler = std::function<void(std::optional<std::vector<uint8_t>> reply)>;
  void SendToPlatform(const std::string& channel, std::vector<uint8_t> message, ReplyHandler onReply);
  // Receives what the plugin sends on `channel` (empty: the null message),
  // on the main thread.
  void SetDartHandler(const std::string& channel, std::function<void(std::vector<uint8_t> message)> handler);

  // Textures, by the id fl_texture_get_id gives.
  std::vector<int64_t> RegisteredTextures() const;
  std::optional<Frame> LatestFrame(int64_t id) const;
  // The first copy of `id`, from now on or already there, that `accept`
  // takes; nullopt after `timeout`.
  std::optional<Frame> WaitForFrame(int64_t id, const std::function<bool(const Frame&)>& accept,
                                    std::chrono::milliseconds timeout) const;

  // On the main thread, as disposing the engine does: the messenger drops
  // every handler (their destroy notifications run), then the texture
  // registrar drops the textures still registered and the raster thread
  // stops. Later calls do nothing.
  void Shutdown();
  // How many textures were still registered when the registrar shut down.
  size_t TexturesLeftAtShutdown() const;

  // Every breach of the rules above, in words, in order.
  std::vector<std::string> Violations() const;

 private:
  std::shared_ptr<internal::EngineCore> core_;
};

}  // namespace fake_flutter_linux

#endif  // FAKE_FLUTTER_LINUX_ENGINE_H_
