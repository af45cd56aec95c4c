// Recycles the pixel storage of fetched frames. A video texture fetched at
// the display rate would otherwise allocate (and fault in) a full frame
// sixty times a second. A frame hands its storage back when the last
// holder lets go, on whatever thread that is.
#ifndef CORVANE_EMBEDDER_PIXEL_POOL_H_
#define CORVANE_EMBEDDER_PIXEL_POOL_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "embedder/engine.h"

namespace corvane::embedder::internal {

class PixelPool : public std::enable_shared_from_this<PixelPool> {
 public:
  // A new frame whose pixel vector already has room for `bytes`, when a
  // returned one is at hand.
  std::shared_ptr<TextureFrame> NewFrame(size_t bytes);

 private:
  struct ReturnToPool {
    std::weak_ptr<PixelPool> pool;
    void operator()(TextureFrame* frame) const;
  };
  void Give(std::vector<uint8_t> pixels);

  // A couple of textures (video and subtitles) per player, a few players.
  static constexpr size_t kMaxKept = 8;
  std::mutex mutex_;
  std::vector<std::vector<uint8_t>> kept_;  // guarded by mutex_
};

}  // namespace corvane::embedder::internal

#endif  // CORVANE_EMBEDDER_PIXEL_POOL_H_
