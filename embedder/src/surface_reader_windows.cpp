// Texture reading on Windows: pixel buffers are converted here without
// libyuv (which the Windows build does not have); GPU-surface descriptors
// name shared D3D textures, which this host does not open.
#include "surface_reader.h"

#include <cstdint>
#include <limits>

namespace corvane::embedder::internal {

std::string SurfaceReader::Read(const FlutterDesktopGpuSurfaceDescriptor& descriptor, std::vector<uint8_t>*,
                                size_t*, size_t*) {
  if (descriptor.struct_size < sizeof(FlutterDesktopGpuSurfaceDescriptor)) {
    return "descriptor struct_size " + std::to_string(descriptor.struct_size) + " is too small";
  }
  return "this host does not read shared GPU surfaces on Windows";
}

std::string ReadPixelBuffer(const FlutterDesktopPixelBuffer& buffer, std::vector<uint8_t>* bgra, size_t* width,
                            size_t* height) {
  if (buffer.buffer == nullptr) return "pixel buffer has no pixels";
  constexpr size_t kMax = std::numeric_limits<size_t>::max();
  if (buffer.width == 0 || buffer.height == 0 || buffer.width > kMax / 4 / buffer.height) {
    return "pixel buffer size " + std::to_string(buffer.width) + "x" + std::to_string(buffer.height) +
           " is empty or too large";
  }
  const size_t bytes = buffer.width * buffer.height * 4;
  bgra->resize(bytes);
  // RGBA in, BGRA out: red and blue swap places.
  for (size_t i = 0; i < bytes; i += 4) {
    (*bgra)[i] = buffer.buffer[i + 2];
    (*bgra)[i + 1] = buffer.buffer[i + 1];
    (*bgra)[i + 2] = buffer.buffer[i];
    (*bgra)[i + 3] = buffer.buffer[i + 3];
  }
  *width = buffer.width;
  *height = buffer.height;
  return {};
}

}  // namespace corvane::embedder::internal
