#include "pixel_pool.h"

#include <algorithm>

namespace corvane::embedder::internal {

std::shared_ptr<TextureFrame> PixelPool::NewFrame(size_t bytes) {
  std::unique_ptr<TextureFrame, ReturnToPool> frame(std::make_unique<TextureFrame>().release(),
                                                    ReturnToPool{weak_from_this()});
  std::lock_guard<std::mutex> lock(mutex_);
  // The smallest kept vector that fits, so that large ones stay for large frames.
  auto best = kept_.end();
  for (auto it = kept_.begin(); it != kept_.end(); ++it) {
    if (it->capacity() >= bytes && (best == kept_.end() || it->capacity() < best->capacity())) best = it;
  }
  if (best != kept_.end()) {
    frame->bgra = std::move(*best);
    kept_.erase(best);
  }
  return std::shared_ptr<TextureFrame>(std::move(frame));
}

void PixelPool::ReturnToPool::operator()(TextureFrame* frame) const {
  std::unique_ptr<TextureFrame> owned(frame);
  if (auto alive = pool.lock()) alive->Give(std::move(owned->bgra));
}

void PixelPool::Give(std::vector<uint8_t> pixels) {
  if (pixels.capacity() == 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (kept_.size() >= kMaxKept) {
    // Drop the smallest: the large ones are the expensive ones to make.
    auto smallest = std::min_element(kept_.begin(), kept_.end(), [](const auto& a, const auto& b) {
      return a.capacity() < b.capacity();
    });
    if (smallest->capacity() >= pixels.capacity()) return;
    kept_.erase(smallest);
  }
  kept_.push_back(std::move(pixels));
}

}  // namespace corvane::embedder::internal
