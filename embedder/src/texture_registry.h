// The engine's texture registry and its raster thread.
//
// Ids increase from 1 and are never reused. The raster thread is the only
// caller of texture callbacks: it fetches a texture when Dart asks for it
// and, at the display rate, every texture marked since its last fetch. A
// fetch copies the pixels out and calls the descriptor's release callback
// once, on the raster thread, before the next fetch of any texture: at most
// one descriptor is outstanding at a time.
//
// Unregistration stops fetches of the texture at once; the raster thread
// then completes it between two fetches, so never while a fetch of it is in
// flight and never inside the unregister call. No callback of the texture
// is called after its completion has run.
#ifndef CORVANE_EMBEDDER_TEXTURE_REGISTRY_H_
#define CORVANE_EMBEDDER_TEXTURE_REGISTRY_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "embedder/engine.h"
#include "host/flutter_desktop.h"
#include "pixel_pool.h"
#include "surface_reader.h"

namespace corvane::embedder::internal {

class TextureRegistry {
 public:
  TextureRegistry(std::chrono::microseconds frameInterval, std::chrono::microseconds descriptorHold,
                  bool copyDisplayedFrames);
  ~TextureRegistry();
  TextureRegistry(const TextureRegistry&) = delete;
  TextureRegistry& operator=(const TextureRegistry&) = delete;

  // Platform thread. Reads `info` during the call only. -1, with the reason
  // on stderr, for a record that cannot be used or once stopped.
  int64_t Register(const FlutterDesktopTextureInfo* info);
  // Platform thread. The completion (may be null) runs once on another
  // thread; for an unknown id, too, so that a waiting owner is released.
  void Unregister(int64_t textureId, void (*completion)(void*), void* userData);
  // Any thread; never calls into the plugin. False for an unknown id.
  bool MarkFrameAvailable(int64_t textureId);

  // Dart side.
  std::shared_ptr<const TextureFrame> Fetch(int64_t textureId, std::chrono::milliseconds timeout);
  std::shared_ptr<const TextureFrame> Latest(int64_t textureId) const;
  std::shared_ptr<const TextureFrame> WaitForFrame(int64_t textureId,
                                                   const std::function<bool(const TextureFrame&)>& accept,
                                                   std::chrono::milliseconds timeout);
  uint64_t Marks(int64_t textureId) const;
  bool IsRegistered(int64_t textureId) const;
  bool IsRasterThread() const { return std::this_thread::get_id() == raster_.get_id(); }

  // Completes pending unregistrations and stops the raster thread. Textures
  // still registered are dropped without calls. Later registrations fail;
  // later unregistrations complete on a helper thread joined here or at
  // destruction.
  void Stop();

 private:
  struct Texture {
    int64_t id = -1;
    FlutterDesktopTextureType type = kFlutterDesktopPixelBufferTexture;
    FlutterDesktopPixelBufferTextureCallback pixelCallback = nullptr;
    FlutterDesktopGpuSurfaceTextureCallback surfaceCallback = nullptr;
    void* userData = nullptr;

    // Guarded by the registry's mutex.
    uint64_t marks = 0;
    uint64_t fetchedMarks = 0;
    uint64_t fetches = 0;
    bool unregistering = false;
    std::shared_ptr<const TextureFrame> latest;

    // Raster thread only.
    SurfaceReader reader;
    size_t requestedWidth = 0;
    size_t requestedHeight = 0;
  };
  struct Completion {
    void (*callback)(void*) = nullptr;
    void* userData = nullptr;
  };
  struct FetchRequest;

  void RunRaster();
  // Raster thread, no lock held. Without `copy`, the texture is fetched and
  // released and null is returned.
  std::shared_ptr<TextureFrame> FetchNow(Texture& texture, uint64_t marks, bool copy);
  void Publish(Texture& texture, std::shared_ptr<TextureFrame> frame, uint64_t marks);
  void CompleteLate(Completion completion);

  const std::chrono::microseconds frameInterval_;
  const std::chrono::microseconds descriptorHold_;
  const bool copyDisplayedFrames_;
  const std::shared_ptr<PixelPool> pixelPool_ = std::make_shared<PixelPool>();
  mutable std::mutex mutex_;
  std::condition_variable rasterWake_;      // marks, requests, unregistrations, stop
  mutable std::condition_variable frames_;  // a fetch was published or a texture went away
  std::map<int64_t, std::shared_ptr<Texture>> textures_;       // guarded by mutex_
  std::vector<std::pair<int64_t, Completion>> unregistered_;   // guarded by mutex_
  std::deque<std::shared_ptr<FetchRequest>> fetchRequests_;    // guarded by mutex_
  int64_t nextId_ = 1;                                         // guarded by mutex_
  bool stopped_ = false;                                       // guarded by mutex_
  std::vector<std::thread> lateCompletions_;                   // guarded by mutex_
  std::thread raster_;
};

}  // namespace corvane::embedder::internal

#endif  // CORVANE_EMBEDDER_TEXTURE_REGISTRY_H_
