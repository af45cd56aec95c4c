#include "host/texture_registrar_impl.h"

#include <exception>
#include <memory>
#include <string>

#include "host/diagnostics.h"

namespace flutter {
namespace {

// The texture callbacks run on the engine's raster thread inside C code; an
// exception from the texture's function is reported and yields no frame.
void ReportTextureException(const char* what) {
  internal::WriteDiagnosticLine(std::string("Exception from a texture callback: ") + what);
}

const FlutterDesktopPixelBuffer* ForwardPixelBufferRequest(size_t width, size_t height, void* userData) {
  try {
    return static_cast<const PixelBufferTexture*>(userData)->CopyPixelBuffer(width, height);
  } catch (const std::exception& error) {
    ReportTextureException(error.what());
  } catch (...) {
    ReportTextureException("unknown exception");
  }
  return nullptr;
}

const FlutterDesktopGpuSurfaceDescriptor* ForwardSurfaceRequest(size_t width, size_t height, void* userData) {
  try {
    return static_cast<const GpuSurfaceTexture*>(userData)->ObtainDescriptor(width, height);
  } catch (const std::exception& error) {
    ReportTextureException(error.what());
  } catch (...) {
    ReportTextureException("unknown exception");
  }
  return nullptr;
}

void RunUnregisterCompletion(void* userData) {
  std::unique_ptr<std::function<void()>> completion(static_cast<std::function<void()>*>(userData));  // Adopt
  try {
    (*completion)();
  } catch (const std::exception& error) {
    internal::WriteDiagnosticLine(std::string("Exception from a texture unregistration callback: ") + error.what());
  } catch (...) {
    internal::WriteDiagnosticLine("Unknown exception from a texture unregistration callback");
  }
}

}  // namespace

int64_t TextureRegistrarImpl::RegisterTexture(TextureVariant* texture) {
  FlutterDesktopTextureInfo info = {};
  if (auto* pixels = texture ? std::get_if<PixelBufferTexture>(texture) : nullptr) {
    info.type = kFlutterDesktopPixelBufferTexture;
    info.pixel_buffer_config.callback = &ForwardPixelBufferRequest;
    info.pixel_buffer_config.user_data = pixels;
  } else if (auto* surface = texture ? std::get_if<GpuSurfaceTexture>(texture) : nullptr) {
    info.type = kFlutterDesktopGpuSurfaceTexture;
    info.gpu_surface_config.struct_size = sizeof(FlutterDesktopGpuSurfaceTextureConfig);
    info.gpu_surface_config.type = surface->surfaceType();
    info.gpu_surface_config.callback = &ForwardSurfaceRequest;
    info.gpu_surface_config.user_data = surface;
  } else {
    internal::WriteDiagnosticLine("Attempting to register unknown texture variant.");
    return -1;
  }
  return FlutterDesktopTextureRegistrarRegisterExternalTexture(textureRegistrarRef_, &info);
}

bool TextureRegistrarImpl::MarkTextureFrameAvailable(int64_t textureId) {
  return FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(textureRegistrarRef_, textureId);
}

bool TextureRegistrarImpl::UnregisterTexture(int64_t textureId) {
  UnregisterTexture(textureId, nullptr);
  return true;
}

void TextureRegistrarImpl::UnregisterTexture(int64_t textureId, std::function<void()> callback) {
  if (!callback) {
    FlutterDesktopTextureRegistrarUnregisterExternalTexture(textureRegistrarRef_, textureId, nullptr, nullptr);
    return;
  }
  auto completion = std::make_unique<std::function<void()>>(std::move(callback));
  // The embedding owns the completion until it hands it to
  // RunUnregisterCompletion, exactly once.
  FlutterDesktopTextureRegistrarUnregisterExternalTexture(textureRegistrarRef_, textureId, &RunUnregisterCompletion,
                                                          completion.release());
}

}  // namespace flutter
