// Textures the plugin shares with the Flutter engine.
#ifndef CORVANE_HOST_TEXTURE_REGISTRAR_H_
#define CORVANE_HOST_TEXTURE_REGISTRAR_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <variant>

#include "host/flutter_desktop.h"

namespace flutter {

// A texture whose pixels the engine fetches as a CPU buffer.
class PixelBufferTexture {
 public:
  // Called on the engine's raster thread with the size the engine would
  // like; returns the buffer to show, or null.
  using CopyBufferCallback = std::function<const FlutterDesktopPixelBuffer*(size_t width, size_t height)>;

  explicit PixelBufferTexture(CopyBufferCallback copyBuffer) : copyBuffer_(std::move(copyBuffer)) {}

  const FlutterDesktopPixelBuffer* CopyPixelBuffer(size_t width, size_t height) const {
    return copyBuffer_(width, height);
  }

 private:
  CopyBufferCallback copyBuffer_;
};

// A texture the engine fetches as a shared GPU surface.
class GpuSurfaceTexture {
 public:
  // Called on the engine's raster thread; returns the surface to show, or
  // null when there is none yet.
  using ObtainDescriptorCallback =
      std::function<const FlutterDesktopGpuSurfaceDescriptor*(size_t width, size_t height)>;

  GpuSurfaceTexture(FlutterDesktopGpuSurfaceType surfaceType, ObtainDescriptorCallback obtainDescriptor)
      : surfaceType_(surfaceType), obtainDescriptor_(std::move(obtainDescriptor)) {}

  FlutterDesktopGpuSurfaceType surfaceType() const { return surfaceType_; }
  const FlutterDesktopGpuSurfaceDescriptor* ObtainDescriptor(size_t width, size_t height) const {
    return obtainDescriptor_(width, height);
  }

 private:
  FlutterDesktopGpuSurfaceType surfaceType_;
  ObtainDescriptorCallback obtainDescriptor_;
};

// The engine calls back with the address of the alternative, so a
// registered TextureVariant must stay alive, at the same address, until its
// unregistration has completed (the completion of UnregisterTexture ran).
using TextureVariant = std::variant<PixelBufferTexture, GpuSurfaceTexture>;

class TextureRegistrar {
 public:
  TextureRegistrar() = default;
  virtual ~TextureRegistrar() = default;
  TextureRegistrar(const TextureRegistrar&) = delete;
  TextureRegistrar& operator=(const TextureRegistrar&) = delete;

  // Platform thread. Returns the new texture id, or -1 when it failed.
  virtual int64_t RegisterTexture(TextureVariant* texture) = 0;
  // Any thread. Tells the engine to fetch the texture again.
  virtual bool MarkTextureFrameAvailable(int64_t textureId) = 0;
  // Starts unregistering and returns true at once, before the engine has
  // stopped using the texture; prefer the form with a completion when the
  // texture is about to be destroyed.
  virtual bool UnregisterTexture(int64_t textureId) = 0;
  // `callback`, which may be empty, runs once on some thread when the engine
  // no longer uses the texture.
  virtual void UnregisterTexture(int64_t textureId, std::function<void()> callback) = 0;
};

}  // namespace flutter

#endif  // CORVANE_HOST_TEXTURE_REGISTRAR_H_
