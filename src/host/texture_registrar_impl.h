// TextureRegistrar over the embedding's texture registrar.
#ifndef CORVANE_HOST_TEXTURE_REGISTRAR_IMPL_H_
#define CORVANE_HOST_TEXTURE_REGISTRAR_IMPL_H_

#include "host/flutter_desktop.h"
#include "host/texture_registrar.h"

namespace flutter {

// Holds nothing but the handle, so it needs no lock on any thread.
class TextureRegistrarImpl : public TextureRegistrar {
 public:
  explicit TextureRegistrarImpl(FlutterDesktopTextureRegistrarRef textureRegistrarRef)
      : textureRegistrarRef_(textureRegistrarRef) {}

  int64_t RegisterTexture(TextureVariant* texture) override;
  bool MarkTextureFrameAvailable(int64_t textureId) override;
  bool UnregisterTexture(int64_t textureId) override;
  void UnregisterTexture(int64_t textureId, std::function<void()> callback) override;

 private:
  FlutterDesktopTextureRegistrarRef textureRegistrarRef_;  // not owned
};

}  // namespace flutter

#endif  // CORVANE_HOST_TEXTURE_REGISTRAR_IMPL_H_
