// TextureRegistrar over the embedding's texture registrar.
#ifndef CORVANE_HOST_TEXTURE_REGISTRAR_IMPL_H_
#define CORVANE_HOST_TEXTURE_REGISTRAR_IMPL_H_

#include "host/flutter_desktop.h"
#include "host/texture_registrar.h"

namespace flutter {

// Holds nothing but the handle, so it needs no lock on any thread.
class TextureRegistrarImpl : public TextureRegistrar {
 public:
  explicit TextureRegistrarImpl(FlutterDesktopTextureRegistrarRef texture_registrar_ref)
      : texture_registrar_ref_(texture_registrar_ref) {}

  int64_t RegisterTexture(TextureVariant* texture) override;
  bool MarkTextureFrameAvailable(int64_t texture_id) override;
  bool UnregisterTexture(int64_t texture_id) override;
  void UnregisterTexture(int64_t texture_id, std::function<void()> callback) override;

 private:
  FlutterDesktopTextureRegistrarRef texture_registrar_ref_;  // not owned
};

}  // namespace flutter

#endif  // CORVANE_HOST_TEXTURE_REGISTRAR_IMPL_H_
