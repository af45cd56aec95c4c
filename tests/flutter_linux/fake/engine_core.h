// The fake engine's state, shared by the public Engine and the GObjects the
// plugin holds (which may outlive the Engine by a main-loop iteration).
#ifndef FAKE_FLUTTER_LINUX_ENGINE_CORE_H_
#define FAKE_FLUTTER_LINUX_ENGINE_CORE_H_

#include <flutter_linux/flutter_linux.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fake_flutter_linux/engine.h"

namespace fake_flutter_linux::internal {

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using ObjectPtr = std::unique_ptr<T, ObjectUnref>;
template <typename T>
ObjectPtr<T> Retain(T* object) {
  return ObjectPtr<T>(static_cast<T*>(g_object_ref(object)));
}

// What FakeMessenger, FakeTextureRegistrar and the response handles call.
class EngineCore : public std::enable_shared_from_this<EngineCore> {
 public:
  explicit EngineCore(std::chrono::milliseconds frameInterval);
  ~EngineCore();

  void Start();  // the main and raster threads
  void Stop();   // after Shutdown: drains the main loop and joins

  // Main thread.
  bool IsMainThread() const { return std::this_thread::get_id() == mainThread_; }
  void Post(std::function<void()> task);
  FlPluginRegistry* registry() const { return registry_.get(); }
  // The messenger handlers are called with; set once by the registry.
  void SetMessenger(FlBinaryMessenger* messenger) { messenger_ = messenger; }

  void Violation(const std::string& what);
  std::vector<std::string> Violations() const;
  bool IsShutDown() const { return shutDown_.load(); }
  void Shutdown();  // main thread

  // Messenger (main thread unless said otherwise).
  void SetHandler(const gchar* channel, FlBinaryMessengerMessageHandler handler, gpointer userData,
                  GDestroyNotify destroy);
  void DeliverToPlatform(const std::string& channel, std::vector<uint8_t> message, Engine::ReplyHandler onReply);
  void SendToDart(const gchar* channel, GBytes* message, GAsyncReadyCallback callback);
  void SetDartHandler(const std::string& channel, std::function<void(std::vector<uint8_t>)> handler);
  // Any thread: records a breach when the engine has shut down.
  bool CheckAlive(const char* what);

  // Texture registrar (main thread).
  gboolean RegisterTexture(FlTexture* texture);
  gboolean MarkTexture(FlTexture* texture);
  gboolean UnregisterTexture(FlTexture* texture);
  size_t TexturesLeftAtShutdown() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texturesLeft_;
  }

  // Dart side of the textures.
  std::vector<int64_t> RegisteredTextures() const;
  std::optional<Frame> LatestFrame(int64_t id) const;
  std::optional<Frame> WaitForFrame(int64_t id, const std::function<bool(const Frame&)>& accept,
                                    std::chrono::milliseconds timeout) const;

 private:
  struct Handler {
    FlBinaryMessengerMessageHandler function = nullptr;
    gpointer userData = nullptr;
    GDestroyNotify destroy = nullptr;
  };
  struct Texture {
    ObjectPtr<FlTexture> object;
    bool marked = true;  // a new texture is copied once unmarked
  };
  // What the raster thread last got from one texture's copy_pixels.
  struct HandedOut {
    ObjectPtr<FlTexture> object;
    const uint8_t* buffer = nullptr;
    size_t size = 0;
    uint64_t checksum = 0;
  };

  void RunMainLoop();
  void RunRaster();
  void RasterTick(std::map<FlTexture*, HandedOut>& handedOut);
  void CopyTexture(int64_t id, FlTexture* texture, HandedOut& handedOut);

  const std::chrono::milliseconds frameInterval_;
  GMainContext* context_ = nullptr;  // owned
  GMainLoop* loop_ = nullptr;        // owned
  std::thread main_;
  std::thread::id mainThread_;
  std::thread raster_;
  ObjectPtr<FlPluginRegistry> registry_;  // main thread; goes when it stops
  FlBinaryMessenger* messenger_ = nullptr;  // the registry's

  std::atomic<bool> shutDown_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;  // frames, raster stop
  // Guarded by mutex_:
  std::vector<std::string> violations_;
  std::map<std::string, Handler> handlers_;
  std::map<std::string, std::function<void(std::vector<uint8_t>)>> dartHandlers_;
  std::map<int64_t, Texture> textures_;
  std::map<int64_t, Frame> frames_;
  int64_t nextTextureId_ = 7;  // not an address, so a binding that casts pointers shows
  bool rasterStop_ = false;
  size_t texturesLeft_ = 0;
};

// The GObjects of fl_objects.cpp, made for one engine.
ObjectPtr<FlPluginRegistry> NewRegistry(const std::shared_ptr<EngineCore>& core);
ObjectPtr<FlBinaryMessengerResponseHandle> NewResponseHandle(const std::shared_ptr<EngineCore>& core,
                                                             Engine::ReplyHandler onReply);

}  // namespace fake_flutter_linux::internal

#endif  // FAKE_FLUTTER_LINUX_ENGINE_CORE_H_
