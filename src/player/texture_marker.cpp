#include "player/texture_marker.h"

#include "host/texture_registrar.h"

namespace corvane::player {

void TextureMarker::Attach(flutter::TextureRegistrar* registrar) {
  std::lock_guard<std::mutex> lock(mutex_);
  registrar_ = registrar;
}

void TextureMarker::Detach() {
  std::lock_guard<std::mutex> lock(mutex_);
  registrar_ = nullptr;
}

void TextureMarker::MarkFrameAvailable(int64_t textureId) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (registrar_ != nullptr) registrar_->MarkTextureFrameAvailable(textureId);
}

}  // namespace corvane::player
